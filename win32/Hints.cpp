#include "win32/Hints.h"

#include "form/Layout.h"

#include <commctrl.h>

#include <algorithm>

namespace win32 {

namespace {

constexpr UINT_PTR HintTimer = 1;
int HintHold = form::HintHidePause;

} // namespace

void Hints::setHold(int milliseconds) {
    HintHold = milliseconds;
}

void Hints::start(HWND window, HWND tooltip) {
    window_ = window;
    tooltip_ = tooltip;
    // The longest the tooltip keeps a hint up by itself (a 16-bit count of
    // milliseconds); keep renews it up to the hint's full time.
    SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(32767, 0));
}

void Hints::noted(UINT code) {
    if (code == TTN_SHOW) {
        shownAt_ = GetTickCount64();
        const auto autoPop = SendMessageW(tooltip_, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0);
        SetTimer(window_, HintTimer, static_cast<UINT>(std::max<LRESULT>(autoPop / 2, 10)),
                 nullptr);
    } else if (code == TTN_POP) {
        KillTimer(window_, HintTimer);
    }
}

bool Hints::tick(UINT_PTR timer) {
    if (timer != HintTimer)
        return false;
    keep();
    return true;
}

void Hints::keep() {
    if (GetTickCount64() - shownAt_ >= static_cast<ULONGLONG>(HintHold)) {
        SendMessageW(tooltip_, TTM_POP, 0, 0);
        return;
    }
    // A pointer move over the tool, where the pointer rests, starts the
    // tooltip's own time afresh.
    POINT at{};
    GetCursorPos(&at);
    MSG move{};
    move.hwnd = WindowFromPoint(at);
    ScreenToClient(move.hwnd, &at);
    move.message = WM_MOUSEMOVE;
    move.lParam = MAKELPARAM(at.x, at.y);
    SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
}

} // namespace win32
