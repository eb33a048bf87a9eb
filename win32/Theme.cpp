#include "win32/Theme.h"

#include "platform/SystemDll.h"

#include <uxtheme.h>
#include <vssym32.h>

namespace win32 {

namespace {

template <typename Function> Function* themeFunction(const char* name) {
    return platform::systemFunction<Function>(L"uxtheme.dll", name);
}

// The theme functions, looked up when the button is first drawn; null where
// missing.
struct UxTheme {
    decltype(IsThemeActive)* isThemeActive =
        themeFunction<decltype(IsThemeActive)>("IsThemeActive");
    decltype(IsAppThemed)* isAppThemed = themeFunction<decltype(IsAppThemed)>("IsAppThemed");
    decltype(OpenThemeData)* open = themeFunction<decltype(OpenThemeData)>("OpenThemeData");
    decltype(CloseThemeData)* close = themeFunction<decltype(CloseThemeData)>("CloseThemeData");
    decltype(DrawThemeParentBackground)* drawParent =
        themeFunction<decltype(DrawThemeParentBackground)>("DrawThemeParentBackground");
    decltype(DrawThemeBackground)* draw =
        themeFunction<decltype(DrawThemeBackground)>("DrawThemeBackground");
    decltype(GetThemeBackgroundContentRect)* contentRect =
        themeFunction<decltype(GetThemeBackgroundContentRect)>("GetThemeBackgroundContentRect");

    bool complete() const {
        return isThemeActive && isAppThemed && open && close && drawParent && draw && contentRect;
    }
};

const UxTheme& uxTheme() {
    static const UxTheme functions;
    return functions;
}

bool highContrastOn() {
    HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
}

// The theme's push-button state for an owner-drawn button's itemState, `hot`
// while the pointer is over it.
int pushButtonState(UINT itemState, bool hot) {
    if (itemState & ODS_DISABLED)
        return PBS_DISABLED;
    if (itemState & ODS_SELECTED)
        return PBS_PRESSED;
    return hot ? PBS_HOT : PBS_NORMAL;
}

} // namespace

COLORREF textColour(form::Colour colour, bool highContrast, bool disabled) {
    if (disabled)
        return GetSysColor(COLOR_GRAYTEXT);
    if (colour == form::Colour::WindowText)
        return GetSysColor(COLOR_WINDOWTEXT);
    if (highContrast)
        return GetSysColor(COLOR_BTNTEXT);
    const form::Rgb c = form::rgb(colour);
    return RGB(c.r, c.g, c.b);
}

Theme::Theme() : highContrast_(highContrastOn()) {}

Theme::~Theme() {
    if (data_)
        uxTheme().close(data_);
}

void Theme::refresh() {
    if (data_)
        uxTheme().close(data_);
    data_ = nullptr;
    highContrast_ = highContrastOn();
}

bool Theme::drawPushButton(const DRAWITEMSTRUCT& item, RECT& content) {
    const UxTheme& ux = uxTheme();
    if (!ux.complete() || !ux.isThemeActive() || !ux.isAppThemed())
        return false;
    if (!data_)
        data_ = ux.open(item.hwndItem, L"BUTTON");
    if (!data_)
        return false;
    // The button itself knows whether the pointer is over it: it repaints on
    // entering and leaving.
    const bool hot = SendMessageW(item.hwndItem, BM_GETSTATE, 0, 0) & BST_HOT;
    const int state = pushButtonState(item.itemState, hot);
    // The frame's rounded corners show the window behind them.
    ux.drawParent(item.hwndItem, item.hDC, nullptr);
    ux.draw(data_, item.hDC, BP_PUSHBUTTON, state, &item.rcItem, nullptr);
    ux.contentRect(data_, item.hDC, BP_PUSHBUTTON, state, &item.rcItem, &content);
    return true;
}

void Theme::drawButton(const DRAWITEMSTRUCT& item, const std::wstring& caption,
                       form::Colour colour) {
    const bool disabled = item.itemState & ODS_DISABLED;
    RECT text = item.rcItem;
    const bool themed = drawPushButton(item, text);
    if (!themed) {
        // No visual style: the classic raised bevel, the caption moving with a push.
        const bool pushed = item.itemState & ODS_SELECTED;
        RECT frame = item.rcItem;
        DrawFrameControl(item.hDC, &frame, DFC_BUTTON,
                         DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0) |
                             (disabled ? DFCS_INACTIVE : 0));
        if (pushed)
            OffsetRect(&text, 1, 1);
    }
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, textColour(colour, highContrast_, disabled));
    DrawTextW(item.hDC, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    // The focus rectangle, unless hidden until the keyboard is used; a themed
    // button shows it around its content.
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(item.hDC, themed ? &text : &focus);
    }
}

} // namespace win32
