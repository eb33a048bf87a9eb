#include "win32/Hints.h"

#include "form/Layout.h"
#include "win32/Dpi.h"
#include "win32/Text.h"

#include <commctrl.h>

#include <algorithm>

namespace win32 {

namespace {

constexpr UINT_PTR HintTimer = 1;
// Wide enough for the longest hint line on one line.
constexpr int HintWidth = 600;
int HintHold = form::HintHidePause;

} // namespace

void Hints::setHold(int milliseconds) {
    HintHold = milliseconds;
}

void Hints::create(HWND window, HINSTANCE instance, const std::vector<HWND>& controls,
                   UINT idBase) {
    window_ = window;
    idBase_ = idBase;
    tooltip_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
    const auto& table = form::controls();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].hint.empty())
            continue;
        std::wstring hint = withCrLf(utf16(table[i].hint));
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window_;
        tool.lpszText = hint.data();
        // The control itself while it is enabled; while disabled, the pointer
        // over it reaches the window, so its place there too.
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.uId = reinterpret_cast<UINT_PTR>(controls[i]);
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        tool.uFlags = TTF_SUBCLASS;
        tool.uId = idBase_ + i;
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    // The longest the tooltip keeps a hint up by itself (a 16-bit count of
    // milliseconds); keep renews it up to the hint's full time.
    SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(32767, 0));
}

void Hints::place(UINT dpi) {
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, scaled(HintWidth, dpi));
    const auto& table = form::controls();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].hint.empty())
            continue;
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window_;
        tool.uId = idBase_ + i;
        tool.rect = placeAt(table[i].place, dpi);
        SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
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
