#include "win32/Fonts.h"

#include "form/Layout.h"
#include "win32/Dpi.h"
#include "win32/Text.h"

namespace win32 {

Fonts::~Fonts() {
    rescale(dpi_);
    dropRetired();
}

HFONT Fonts::get(int height, bool bold) {
    if (height == 0)
        height = form::DefaultFontHeight;
    for (const Font& f : fonts_) {
        if (f.height == height && f.bold == bold)
            return f.handle;
    }
    LOGFONTW lf{};
    lf.lfHeight = -scaled(height, dpi_); // the character height, without internal leading
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = SHIFTJIS_CHARSET;
    const std::wstring face = utf16(form::FontFamily);
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    fonts_.push_back({height, bold, CreateFontIndirectW(&lf)});
    return fonts_.back().handle;
}

void Fonts::rescale(UINT dpi) {
    dpi_ = dpi;
    retired_.insert(retired_.end(), fonts_.begin(), fonts_.end());
    fonts_.clear();
}

void Fonts::dropRetired() {
    for (const Font& f : retired_)
        DeleteObject(f.handle);
    retired_.clear();
}

} // namespace win32
