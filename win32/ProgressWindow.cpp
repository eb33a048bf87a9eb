#include "win32/ProgressWindow.h"

#include "form/Layout.h"
#include "prepare/Texts.h"
#include "win32/Dpi.h"
#include "win32/Text.h"

namespace win32 {

namespace {

constexpr const wchar_t* ProgressClass = L"KwarinoSurveyProgress";
constexpr int ProgressCancelId = IDCANCEL;

void registerClass(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXW progress{};
    progress.cbSize = sizeof progress;
    progress.lpszClassName = ProgressClass;
    progress.hInstance = instance;
    progress.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    progress.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    progress.lpfnWndProc = proc;
    RegisterClassExW(&progress);
}

} // namespace

LRESULT CALLBACK ProgressWindow::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* progress = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const bool cancel =
        (message == WM_COMMAND && LOWORD(wParam) == ProgressCancelId) || message == WM_CLOSE;
    if (progress && cancel) {
        progress->cancelled_ = true;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool ProgressWindow::update(HWND owner, HINSTANCE instance, UINT dpi, HFONT font,
                            const std::wstring& text) {
    if (!window_) {
        static const bool registered = (registerClass(instance, proc), true);
        (void)registered;
        // Modal: the main window takes no input while the window is up.
        cancelled_ = false;
        const int width = scaled(320, dpi);
        const int height = scaled(120, dpi);
        RECT outer{0, 0, width, height};
        const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
        adjustWindowRect(outer, style, WS_EX_DLGMODALFRAME, false, dpi);
        RECT ownerBox{};
        GetWindowRect(owner, &ownerBox);
        const int outerWidth = outer.right - outer.left;
        const int outerHeight = outer.bottom - outer.top;
        window_ = CreateWindowExW(WS_EX_DLGMODALFRAME, ProgressClass,
                                  utf16(prepare::text::ApplicationTitle).c_str(), style,
                                  (ownerBox.left + ownerBox.right - outerWidth) / 2,
                                  (ownerBox.top + ownerBox.bottom - outerHeight) / 2, outerWidth,
                                  outerHeight, owner, nullptr, instance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        const int margin = scaled(12, dpi);
        text_ = CreateWindowExW(
            0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, margin,
            margin, width - 2 * margin, scaled(40, dpi), window_, nullptr, instance, nullptr);
        const int buttonWidth = scaled(88, dpi);
        const int buttonHeight = scaled(26, dpi);
        HWND cancel = CreateWindowExW(
            0, L"BUTTON", utf16(prepare::text::SurveyCancel).c_str(),
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, (width - buttonWidth) / 2,
            height - margin - buttonHeight, buttonWidth, buttonHeight, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ProgressCancelId)), instance, nullptr);
        SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageW(cancel, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        EnableWindow(owner, FALSE);
        ShowWindow(window_, SW_SHOW);
        SetFocus(cancel);
    } else {
        SetWindowTextW(text_, text.c_str());
    }
    MSG msg;
    while (!cancelled_ && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (IsDialogMessageW(window_, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return !cancelled_;
}

void ProgressWindow::end(HWND owner) {
    if (!window_)
        return;
    // Enabled first, so the activation goes back to the main window.
    EnableWindow(owner, TRUE);
    destroy();
}

void ProgressWindow::destroy() {
    if (window_)
        DestroyWindow(window_);
    window_ = nullptr;
    text_ = nullptr;
}

void ProgressWindow::setFont(HFONT font) {
    for (HWND c = GetWindow(window_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

} // namespace win32
