#include "win32/Dialogs.h"

#include "win32/Dpi.h"
#include "win32/Text.h"

#include "platform/SystemDll.h"
#include "prepare/Texts.h"

#include <commdlg.h>
#include <objbase.h>

#include <algorithm>
#include <deque>
#include <optional>

namespace win32 {

namespace {

struct Seam {
    std::deque<form::Answer> answers;
    std::deque<std::optional<std::wstring>> fileNames; // nullopt: cancel
    bool failOnUnexpected = false;
    int unexpected = 0;
    std::vector<seam::Shown> boxes;
    std::vector<seam::ShownDialog> dialogs;
};

Seam& theSeam() {
    static Seam seam;
    return seam;
}

// The question box. The standard message box cannot tell Escape ("いいえ")
// from its close button (neither answer), so it is a small dialog of its own.
struct Question {
    std::wstring caption;
    std::wstring text;
    HFONT font = nullptr;
};

constexpr int ClosedResult = IDCLOSE;

void centreOnScreen(HWND window) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT box{};
    GetWindowRect(window, &box);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND child(HWND parent, const wchar_t* cls, const std::wstring& text, DWORD style, int id,
           const RECT& place, HFONT font) {
    HWND control = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                                   place.top, place.right - place.left, place.bottom - place.top,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// Lays out icon, text and the two buttons as a message box does.
void layOutQuestion(HWND dialog, Question& question) {
    const UINT dpi = dpiOf(dialog);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    question.font = CreateFontIndirectW(&metrics.lfMessageFont);
    SetWindowTextW(dialog, question.caption.c_str());

    const std::wstring text = withCrLf(question.text);
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, question.font);
    RECT textRect{0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
    DrawTextW(dc, text.c_str(), -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);

    const int margin = scaled(12, dpi);
    const int icon = GetSystemMetrics(SM_CXICON);
    const int buttonWidth = scaled(88, dpi);
    const int buttonHeight = scaled(26, dpi);
    const int gap = scaled(8, dpi);
    const int textLeft = margin + icon + margin;
    const int textHeight = std::max<int>(textRect.bottom, icon);
    const int clientWidth =
        std::max<int>(textLeft + textRect.right + margin, 2 * buttonWidth + gap + 2 * margin);
    const int buttonsTop = margin + textHeight + margin;
    const int clientHeight = buttonsTop + buttonHeight + margin;

    HWND iconControl = child(dialog, L"STATIC", L"", SS_ICON, -1,
                             {margin, margin, margin + icon, margin + icon}, question.font);
    SendMessageW(iconControl, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_QUESTION)), 0);
    child(dialog, L"STATIC", text, SS_LEFT | SS_NOPREFIX, 0xFFFF,
          {textLeft, margin, textLeft + textRect.right, margin + textHeight}, question.font);
    const int left = (clientWidth - 2 * buttonWidth - gap) / 2;
    HWND yes =
        child(dialog, L"BUTTON", utf16(prepare::text::Yes).c_str(),
              BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDYES,
              {left, buttonsTop, left + buttonWidth, buttonsTop + buttonHeight}, question.font);
    child(dialog, L"BUTTON", utf16(prepare::text::No).c_str(), BS_PUSHBUTTON | WS_TABSTOP, IDNO,
          {left + buttonWidth + gap, buttonsTop, left + 2 * buttonWidth + gap,
           buttonsTop + buttonHeight},
          question.font);

    RECT outer{0, 0, clientWidth, clientHeight};
    adjustWindowRect(outer, GetWindowLongW(dialog, GWL_STYLE), GetWindowLongW(dialog, GWL_EXSTYLE),
                     false, dpi);
    SetWindowPos(dialog, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    centreOnScreen(dialog);
    SendMessageW(dialog, DM_SETDEFID, IDYES, 0);
    SetFocus(yes);
    MessageBeep(MB_ICONQUESTION);
}

INT_PTR CALLBACK questionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        layOutQuestion(dialog, *reinterpret_cast<Question*>(lParam));
        return FALSE; // the focus is set
    case WM_SYSCOMMAND:
        // The close button (and Alt+F4) is neither answer.
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            EndDialog(dialog, ClosedResult);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDYES:
            EndDialog(dialog, IDYES);
            return TRUE;
        case IDNO:
        case IDCANCEL: // Escape
            EndDialog(dialog, IDNO);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        if (auto* question = reinterpret_cast<Question*>(GetWindowLongPtrW(dialog, DWLP_USER)))
            DeleteObject(question->font);
        return FALSE;
    }
    return FALSE;
}

form::Answer askQuestion(HWND owner, const std::wstring& caption, const std::wstring& text) {
    // A template without items (the dialog makes its controls when it starts):
    // style, extended style, item count, x, y, cx, cy, no menu, the standard
    // class, no title.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    alignas(4) WORD tmpl[12] = {LOWORD(style), HIWORD(style), 0, 0, 0, 0, 0, 200, 80, 0, 0, 0};
    Question question{caption, text};
    const INT_PTR result = DialogBoxIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(tmpl), owner, questionProc,
        reinterpret_cast<LPARAM>(&question));
    switch (result) {
    case IDYES:
        return form::Answer::Yes;
    case IDNO:
        return form::Answer::No;
    default:
        return form::Answer::Closed;
    }
}

} // namespace

form::Answer showBox(HWND owner, BoxKind kind, const std::wstring& caption,
                     const std::wstring& text) {
    Seam& seam = theSeam();
    seam.boxes.push_back({kind, caption, text});
    if (!seam.answers.empty()) {
        const form::Answer answer = seam.answers.front();
        seam.answers.pop_front();
        return answer;
    }
    if (seam.failOnUnexpected) {
        ++seam.unexpected;
        return form::Answer::Closed;
    }
    if (kind == BoxKind::Question)
        return askQuestion(owner, caption, text);
    if (kind == BoxKind::Retry)
        return MessageBoxW(owner, withCrLf(text).c_str(), caption.c_str(),
                           MB_RETRYCANCEL | MB_ICONSTOP) == IDRETRY
                   ? form::Answer::Retry
                   : form::Answer::Cancel;
    const UINT icon = kind == BoxKind::Error ? MB_ICONSTOP : 0;
    MessageBoxW(owner, withCrLf(text).c_str(), caption.c_str(), MB_OK | icon);
    return form::Answer::Ok;
}

bool showOpenDialog(HWND owner, OpenRequest& request) {
    Seam& seam = theSeam();
    seam.dialogs.push_back({request});
    if (!seam.fileNames.empty()) {
        const std::optional<std::wstring> choice = seam.fileNames.front();
        seam.fileNames.pop_front();
        if (!choice)
            return false;
        request.fileName = *choice;
        return true;
    }
    if (seam.failOnUnexpected) {
        ++seam.unexpected;
        return false;
    }

    // "description|pattern|..." as the NUL-separated, doubly ended list.
    std::wstring filter = request.filter;
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.append(2, L'\0');
    std::wstring file = request.fileName;
    file.resize(std::max<std::size_t>(file.size() + 1, 32768), L'\0');

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(request.filterIndex);
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = request.title.c_str();
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_EXPLORER;
    // comdlg32 and COM load with the first dialog, not with the window.
    static const auto getOpenFileName = [] {
        if (auto initialise =
                platform::systemFunction<decltype(CoInitializeEx)>(L"ole32.dll", "CoInitializeEx"))
            initialise(nullptr, COINIT_APARTMENTTHREADED);
        return platform::systemFunction<decltype(GetOpenFileNameW)>(L"comdlg32.dll",
                                                                    "GetOpenFileNameW");
    }();
    if (!getOpenFileName || !getOpenFileName(&dialog))
        return false;
    request.fileName = file.c_str();
    request.filterIndex = static_cast<int>(dialog.nFilterIndex);
    return true;
}

namespace seam {

void setNextAnswer(form::Answer answer) {
    theSeam().answers.push_back(answer);
}
void setNextFileName(const std::wstring& fileName) {
    theSeam().fileNames.emplace_back(fileName);
}
void setNextCancel() {
    theSeam().fileNames.emplace_back(std::nullopt);
}
void setFailOnUnexpected(bool fail) {
    theSeam().failOnUnexpected = fail;
}
int unexpectedCount() {
    return theSeam().unexpected;
}
const std::vector<Shown>& shownBoxes() {
    return theSeam().boxes;
}
const std::vector<ShownDialog>& shownDialogs() {
    return theSeam().dialogs;
}
void reset() {
    Seam& seam = theSeam();
    seam = Seam{{}, {}, seam.failOnUnexpected, 0, {}, {}};
}

} // namespace seam

} // namespace win32
