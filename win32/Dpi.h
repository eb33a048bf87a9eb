// Screen resolution. The window's table gives pixels of its design
// resolution (form::DesignDpi); every other resolution scales them.
#pragma once

#include "form/Layout.h"

#include <windows.h>

namespace win32 {

// The resolution of the monitor the window is on (the system's on Windows
// versions without per-monitor resolution).
UINT dpiOf(HWND window);

// Pixels of the design resolution at `dpi`.
inline int scaled(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), form::DesignDpi);
}

// A control's place in client pixels at `dpi`.
inline RECT placeAt(const form::Rect& r, UINT dpi) {
    const int left = scaled(r.left, dpi);
    const int top = scaled(r.top, dpi);
    return {left, top, left + scaled(r.width, dpi), top + scaled(r.height, dpi)};
}

// The outer size of a window whose client area is `client`, at `dpi`.
void adjustWindowRect(RECT& client, DWORD style, DWORD exStyle, bool menu, UINT dpi);

} // namespace win32
