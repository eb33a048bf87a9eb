// Code page 932 conversions through the Windows converters, named by number
// (never CP_ACP), so the tool reads and writes the same bytes whatever code
// page the system runs with.
//
// Nothing is replaced silently: the decoders run with MB_ERR_INVALID_CHARS,
// the encoder with WC_NO_BEST_FIT_CHARS and a check of lpUsedDefaultChar ("¥"
// would otherwise become the backslash 0x5C, "é" a plain "e"). On top of that
// every encoding is decoded again and compared, so a character whose bytes
// would read back as another one is refused as well.
//
// Windows also maps the single bytes 0x80, 0xA0 and 0xFD to 0xFF to U+0080
// and private-use characters. They are no Shift-JIS characters, and the
// converter on other systems refuses them, so they are refused here too: a
// text is valid or not the same way everywhere.
#include "platform/Cp932.h"

#include <windows.h>

#include <climits>

namespace platform {

namespace {

constexpr UINT Cp932 = 932;

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// False when a single byte outside a double-byte character is one Shift-JIS
// leaves unassigned (see above). Lead and trail bytes are left to the decoder.
bool singleBytesAssigned(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (isLead(b)) {
            ++i;
            continue;
        }
        if (b == 0x80 || b == 0xA0 || b >= 0xFD)
            return false;
    }
    return true;
}

bool fitsInt(std::size_t n) {
    return n <= static_cast<std::size_t>(INT_MAX) / 4;
}

// Bytes of `codePage` to UTF-16, refusing invalid input.
bool decode(UINT codePage, std::string_view in, std::wstring& out) {
    out.clear();
    if (in.empty())
        return true;
    if (!fitsInt(in.size()))
        return false;
    const int inLen = static_cast<int>(in.size());
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), inLen, nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<std::size_t>(n));
    n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), inLen, out.data(), n);
    if (n <= 0) {
        out.clear();
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

// UTF-16 to a multi-byte code page. For code page 932 every character that
// would need the default character or a best-fit stand-in is refused; for
// UTF-8 a lone surrogate fails.
bool encode(UINT codePage, std::wstring_view in, std::string& out) {
    out.clear();
    if (in.empty())
        return true;
    if (!fitsInt(in.size()))
        return false;
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault; // UTF-8 takes no default character
    const int inLen = static_cast<int>(in.size());
    int n =
        WideCharToMultiByte(codePage, flags, in.data(), inLen, nullptr, 0, nullptr, usedDefaultOut);
    if (n <= 0 || usedDefault)
        return false;
    out.resize(static_cast<std::size_t>(n));
    n = WideCharToMultiByte(codePage, flags, in.data(), inLen, out.data(), n, nullptr,
                            usedDefaultOut);
    if (n <= 0 || usedDefault) {
        out.clear();
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

bool encodeCp932(std::wstring_view in, std::string& out) {
    return encode(Cp932, in, out);
}
bool encodeUtf8(std::wstring_view in, std::string& out) {
    return encode(CP_UTF8, in, out);
}

bool decodeCp932(std::string_view in, std::wstring& out) {
    return singleBytesAssigned(in) && decode(Cp932, in, out);
}

} // namespace

std::optional<std::string> cp932FromUtf8(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    std::wstring wide;
    std::string out;
    if (!decode(CP_UTF8, utf8, wide) || !encodeCp932(wide, out))
        return std::nullopt;
    std::wstring back;
    if (!decodeCp932(out, back) || back != wide)
        return std::nullopt;
    return out;
}

std::optional<std::string> utf8FromCp932(std::string_view cp932) {
    if (isAscii(cp932))
        return std::string(cp932);
    std::wstring wide;
    std::string out;
    if (!decodeCp932(cp932, wide) || !encodeUtf8(wide, out))
        return std::nullopt;
    return out;
}

} // namespace platform
