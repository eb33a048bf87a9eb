// The system's look as the window follows it: the visual style of the push
// button the window draws itself.
#pragma once

#include <windows.h>

namespace win32 {

// The theme's push-button state (PBS_*) for an owner-drawn button's itemState,
// `hot` while the pointer is over it.
int pushButtonState(UINT itemState, bool hot);

// The system's look for one window: its theme data.
class Theme {
public:
    Theme() = default;
    ~Theme();
    Theme(const Theme&) = delete;
    Theme& operator=(const Theme&) = delete;

    // Draws the frame and face of an owner-drawn push button in its state with
    // the theme and gives the place of its caption; false, with nothing drawn,
    // while no theme is active.
    bool drawPushButton(const DRAWITEMSTRUCT& item, RECT& content);

private:
    HANDLE data_ = nullptr; // the button's theme data, opened when first drawn
};

} // namespace win32
