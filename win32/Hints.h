// How long a control's hint stays up. The tooltip keeps a hint up by itself
// for at most a 16-bit count of milliseconds; while the pointer rests, a timer
// renews that time until the hint's full time is up.
#pragma once

#include <windows.h>

namespace win32 {

class Hints {
public:
    // Times the hints of `tooltip`; `window`, its owner, takes the timer.
    void start(HWND window, HWND tooltip);
    // A note from the tooltip (TTN_SHOW, TTN_POP): a hint shown or gone.
    void noted(UINT code);
    // A tick of the window's timer `timer`; false when it is not the hints'.
    bool tick(UINT_PTR timer);
    // How long a shown hint stays up (milliseconds; tests shorten it).
    static void setHold(int milliseconds);

private:
    // A hint keeps showing while the pointer rests, until its time is up.
    void keep();

    HWND window_ = nullptr;
    HWND tooltip_ = nullptr;
    ULONGLONG shownAt_ = 0;
};

} // namespace win32
