#include "win32/Form1View.h"

#include "form/Unit1.h"
#include "win32/AccessibleName.h"
#include "win32/Dialogs.h"
#include "win32/Dpi.h"
#include "win32/Text.h"

#include "platform/SystemDll.h"
#include "prepare/Texts.h"

#include <commctrl.h>

#include <algorithm>
#include <string_view>

namespace win32 {

namespace {

constexpr const wchar_t* WindowClass = L"TForm1";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Files dropped from the file manager reach the window.
constexpr DWORD WindowExStyle = WS_EX_ACCEPTFILES;

std::wstring windowText(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void registerClass(HINSTANCE instance, WNDPROC formProc) {
    WNDCLASSEXW form{};
    form.cbSize = sizeof form;
    form.lpszClassName = WindowClass;
    form.hInstance = instance;
    form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    form.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON),
                                                 GetSystemMetrics(SM_CYSMICON), 0));
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpfnWndProc = formProc;
    RegisterClassExW(&form);
}

} // namespace

Form1View::Form1View(HINSTANCE instance) : instance_(instance) {
    static const bool registered = (registerClass(instance, windowProc), true);
    (void)registered;
    HMENU menu = CreateMenu();
    AppendMenuW(menu, MF_STRING, Help1CommandId, utf16(prepare::text::HelpMenu).c_str());
    window_ =
        CreateWindowExW(WindowExStyle, WindowClass, utf16(prepare::text::ApplicationTitle).c_str(),
                        WindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                        nullptr, menu, instance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    dpi_ = dpiOf(window_);
    createControls();
    hints_.create(window_, instance_, controls_, ControlIdBase);
    layOut();
}

Form1View::~Form1View() {
    form_ = nullptr;
    progress_.destroy();
    if (IsWindow(window_)) {
        // Gone with the view: no handler runs, and no message loop is ended.
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void Form1View::createControls() {
    const auto& table = form::controls();
    controls_.reserve(table.size());
    // Creation order is the tab order of the controls that take the focus.
    for (std::size_t i = 0; i < table.size(); ++i) {
        const form::ControlEntry& entry = table[i];
        const wchar_t* cls = L"STATIC";
        DWORD style = WS_CHILD;
        DWORD exStyle = 0;
        switch (entry.kind) {
        case form::Kind::Label:
            style |= SS_NOPREFIX | (entry.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP);
            break;
        case form::Kind::Field:
            cls = L"EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case form::Kind::Button:
            cls = L"BUTTON";
            // A coloured caption needs a button the window draws itself.
            style |= WS_TABSTOP |
                     (entry.colour == form::Colour::WindowText ? BS_PUSHBUTTON : BS_OWNERDRAW);
            break;
        }
        if (entry.visible)
            style |= WS_VISIBLE;
        if (!entry.enabled)
            style |= WS_DISABLED;
        controls_.push_back(CreateWindowExW(
            exStyle, cls, utf16(entry.caption).c_str(), style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIdBase + i)), instance_, nullptr));
        if (!entry.accessibleName.empty())
            setAccessibleName(controls_.back(), utf16(entry.accessibleName));
    }
}

void Form1View::layOut() {
    const auto& table = form::controls();
    fonts_.rescale(dpi_);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const RECT place = placeAt(table[i].place, dpi_);
        SetWindowPos(controls_[i], nullptr, place.left, place.top, place.right - place.left,
                     place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(controls_[i], WM_SETFONT,
                     reinterpret_cast<WPARAM>(fonts_.get(table[i].fontHeight, table[i].bold)),
                     TRUE);
    }
    // A survey's progress window may be up: it must not keep a font freed below.
    if (progress_.window())
        progress_.setFont(fonts_.get(0, false));
    fonts_.dropRetired();
    hints_.place(dpi_);

    // The client area as tabled, below the menu bar; a menu bar that wraps
    // takes more room than the frame calculation knows, so measure once more.
    const int width = scaled(form::ClientWidth, dpi_);
    const int height = scaled(form::ClientHeight, dpi_);
    RECT outer{0, 0, width, height};
    adjustWindowRect(outer, WindowStyle, WindowExStyle, true, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client{};
    GetClientRect(window_, &client);
    if (client.bottom != height || client.right != width) {
        SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + width - client.right,
                     outer.bottom - outer.top + height - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Form1View::show(int showCommand) {
    RECT box{};
    GetWindowRect(window_, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
}

int Form1View::indexOf(HWND control) const {
    const auto it = std::find(controls_.begin(), controls_.end(), control);
    return it == controls_.end() ? -1 : static_cast<int>(it - controls_.begin());
}

LRESULT CALLBACK Form1View::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = reinterpret_cast<Form1View*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!view)
        return DefWindowProcW(window, message, wParam, lParam);
    return view->handle(message, wParam, lParam);
}

LRESULT Form1View::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (lParam == 0 && LOWORD(wParam) == Help1CommandId) {
            if (form_)
                form_->Help1Click();
            return 0;
        }
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC: {
        const int index = indexOf(reinterpret_cast<HWND>(lParam));
        if (index < 0 || form::controls()[index].kind != form::Kind::Label)
            break;
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, textColour(form::controls()[index].colour, theme_.highContrast(), false));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_NOTIFY: {
        const auto& note = *reinterpret_cast<const NMHDR*>(lParam);
        if (note.code == BCN_HOTITEMCHANGE) {
            // Windows repaints no button it does not draw itself when the
            // pointer comes or goes: the install button's hot look needs it.
            InvalidateRect(note.hwndFrom, nullptr, FALSE);
            return 0;
        }
        if (note.hwndFrom != hints_.tooltip())
            break;
        hints_.noted(note.code);
        return 0;
    }
    case WM_TIMER:
        if (!hints_.tick(wParam))
            break;
        return 0;
    case WM_DROPFILES:
        dropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // The user changed the theme, the colours or high contrast: draw anew.
        theme_.refresh();
        if (message == WM_SYSCOLORCHANGE) {
            // Common controls learn of new colours only from their window.
            for (HWND c : controls_)
                SendMessageW(c, message, wParam, lParam);
            SendMessageW(hints_.tooltip(), message, wParam, lParam);
        }
        RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        break;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const int index = indexOf(item.hwndItem);
        if (index >= 0)
            theme_.drawButton(item, windowText(item.hwndItem), form::controls()[index].colour);
        return TRUE;
    }
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested.left, suggested.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        layOut();
        return 0;
    }
    case WM_CLOSE:
        // The close box, the system menu, Alt+F4 and the logic's own close.
        if (!form_ || form_->FormCloseQuery())
            DestroyWindow(window_);
        return 0;
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION:
        // The session ends: the folder is put back before the process goes.
        if (form_ && (message == WM_QUERYENDSESSION || wParam))
            form_->SessionEnding();
        return message == WM_QUERYENDSESSION ? TRUE : 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void Form1View::command(int id, int code) {
    const int index = id - ControlIdBase;
    if (!form_ || index < 0 || index >= static_cast<int>(controls_.size()))
        return;
    const form::ControlEntry& entry = form::controls()[index];
    using form::Role;
    if (code == BN_CLICKED && entry.kind == form::Kind::Button) {
        switch (entry.role) {
        case Role::BtnSansho:
            form_->BtnSanshoClick();
            break;
        case Role::BitBtnInstall:
            form_->BitBtnInstallClick();
            break;
        case Role::BtnStartMenuSansho:
            form_->BtnStartMenuSanshoClick(entry.row);
            break;
        default:
            break;
        }
    } else if (code == EN_CHANGE) {
        if (entry.role == Role::EditProgramFile)
            form_->EditProgramFileChange();
        else if (entry.role == Role::EditApplication)
            form_->EditApplicationChange();
    }
}

void Form1View::dropFiles(HDROP drop) {
    static const auto query =
        platform::systemFunction<decltype(DragQueryFileW)>(L"shell32.dll", "DragQueryFileW");
    static const auto point =
        platform::systemFunction<decltype(DragQueryPoint)>(L"shell32.dll", "DragQueryPoint");
    static const auto finish =
        platform::systemFunction<decltype(DragFinish)>(L"shell32.dll", "DragFinish");
    if (!query || !point || !finish)
        return;
    std::vector<std::string> paths;
    const UINT count = query(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(query(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(query(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(utf8(path));
    }
    POINT at{};
    point(drop, &at);
    finish(drop);
    // The start-menu row of the control under the drop, if any.
    const int index = indexOf(ChildWindowFromPointEx(window_, at, CWP_SKIPINVISIBLE));
    if (form_)
        form_->FilesDropped(paths, index < 0 ? 0 : form::controls()[index].row);
}

std::string Form1View::text(form::ControlId control) const {
    return utf8(windowText(controls_[control]));
}

void Form1View::setText(form::ControlId control, const std::string& text) {
    // The edit reports the change (EN_CHANGE) before SetWindowText returns.
    SetWindowTextW(controls_[control], utf16(text).c_str());
}

bool Form1View::isEnabled(form::ControlId control) const {
    return IsWindowEnabled(controls_[control]);
}

void Form1View::setEnabled(form::ControlId control, bool enabled) {
    EnableWindow(controls_[control], enabled);
}

void Form1View::setVisible(form::ControlId control, bool visible) {
    ShowWindow(controls_[control], visible ? SW_SHOWNA : SW_HIDE);
}

void Form1View::setFocus(form::ControlId control) {
    SetFocus(controls_[control]);
}

void Form1View::plainBox(const std::string& text) {
    showBox(window_, BoxKind::Plain, utf16(prepare::text::ApplicationTitle), utf16(text));
}

form::Answer Form1View::questionBox(const std::string& caption, const std::string& text) {
    return showBox(window_, BoxKind::Question, utf16(caption), utf16(text));
}

void Form1View::errorBox(const std::string& text) {
    showBox(window_, BoxKind::Error, utf16(prepare::text::ApplicationTitle), utf16(text));
}

form::Answer Form1View::retryBox(const std::string& text) {
    return showBox(window_, BoxKind::Retry, utf16(prepare::text::ApplicationTitle), utf16(text));
}

void Form1View::beep() {
    MessageBeep(MB_OK);
}

bool Form1View::openDialog(form::OpenDialogState& dialog) {
    OpenRequest request{utf16(dialog.filter), utf16(dialog.title), utf16(dialog.fileName),
                        dialog.filterIndex};
    if (!showOpenDialog(window_, request))
        return false;
    dialog.fileName = utf8(request.fileName);
    dialog.filterIndex = request.filterIndex;
    return true;
}

void Form1View::keepPainted() {
    // Paint messages only: the user's input waits until the survey is done.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT))
        DispatchMessageW(&msg);
}

bool Form1View::surveyProgress(std::size_t entriesSoFar) {
    return progress_.update(window_, instance_, dpi_, fonts_.get(0, false),
                            withCrLf(utf16(prepare::text::surveyProgress(entriesSoFar))));
}

void Form1View::endSurveyProgress() {
    progress_.end(window_);
}

void Form1View::closeWindow() {
    SendMessageW(window_, WM_CLOSE, 0, 0);
}

} // namespace win32
