// The window's fonts: its face in each height and weight the table asks for,
// made once per resolution. A change of resolution keeps the old ones until
// no control uses them.
#pragma once

#include <windows.h>

#include <vector>

namespace win32 {

class Fonts {
public:
    Fonts() = default;
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    // The face at `height` pixels of the design resolution (0: the default).
    HFONT get(int height, bool bold);
    // From now on fonts are made for `dpi`; those made so far are retired.
    void rescale(UINT dpi);
    // Frees the retired fonts, once every control has a new one.
    void dropRetired();

private:
    struct Font {
        int height;
        bool bold;
        HFONT handle;
    };
    std::vector<Font> fonts_, retired_;
    UINT dpi_ = 0;
};

} // namespace win32
