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

// The outer size of a window whose client area is `client`, at `dpi`.
void adjustWindowRect(RECT& client, DWORD style, DWORD exStyle, bool menu, UINT dpi);

} // namespace win32
