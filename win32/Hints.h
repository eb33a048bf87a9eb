// The controls' hints: one tooltip over the window, and how long a hint stays
// up. The tooltip keeps a hint up by itself for at most a 16-bit count of
// milliseconds; while the pointer rests, a timer renews that time until the
// hint's full time is up.
#pragma once

#include <windows.h>

#include <vector>

namespace win32 {

class Hints {
public:
    // The tooltip of `window` (which takes the timer) with the tabled hint of
    // each control; `controls` by ControlId, their ids counted from `idBase`.
    void create(HWND window, HINSTANCE instance, const std::vector<HWND>& controls, UINT idBase);
    // The hints' width and the controls' places at `dpi`.
    void place(UINT dpi);
    HWND tooltip() const { return tooltip_; }
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
    UINT idBase_ = 0;
    ULONGLONG shownAt_ = 0;
};

} // namespace win32
