#include "e2e/WindowDriver.h"

#include "win32/Text.h"

#include <stdexcept>

namespace e2e {

namespace {

// The file-name box of the system's open dialog.
constexpr int FileNameBoxId = 0x47c;
// The text of a message box.
constexpr int BoxTextId = 0xFFFF;

std::wstring className(HWND window) {
    wchar_t name[256];
    int n = GetClassNameW(window, name, 256);
    return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

} // namespace

Process::Process(const std::wstring& exe, const std::wstring& workingFolder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.c_str(), &startup, &info_))
        throw std::runtime_error("cannot start " + win32::utf8(exe) + ": error " +
                                 std::to_string(GetLastError()));
}

Process::~Process() {
    kill();
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

bool Process::running() const {
    return WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::waitExit(DWORD ms) const {
    if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void Process::kill() const {
    if (running()) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 10000);
    }
}

std::vector<HWND> topWindows(DWORD processId, const std::wstring& caption,
                             const std::wstring& windowClass) {
    struct Search {
        DWORD processId;
        const std::wstring& caption;
        const std::wstring& windowClass;
        std::vector<HWND> found;
    } search{processId, caption, windowClass, {}};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s.processId || !IsWindowVisible(window))
                return TRUE;
            if (!s.caption.empty() && text(window) != s.caption)
                return TRUE;
            if (!s.windowClass.empty() && className(window) != s.windowClass)
                return TRUE;
            s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitTopWindow(DWORD processId, const std::wstring& caption, const std::wstring& windowClass,
                   DWORD ms) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            auto windows = topWindows(processId, caption, windowClass);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        ms);
    return found;
}

std::wstring text(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return L"<no answer>";
    std::wstring out(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(out.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    out.resize(copied);
    return out;
}

void setText(HWND window, const std::wstring& text) {
    SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool enabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}

Box readBox(HWND box) {
    Box out;
    out.window = box;
    out.caption = text(box);
    if (HWND label = GetDlgItem(box, BoxTextId))
        out.text = text(label);
    // A line break as the tool's texts hold it: CR alone.
    for (std::size_t at = 0; (at = out.text.find(L"\r\n", at)) != std::wstring::npos; ++at)
        out.text.erase(at + 1, 1);
    struct Children {
        Box& out;
    } children{out};
    EnumChildWindows(
        box,
        [](HWND child, LPARAM context) -> BOOL {
            Box& b = reinterpret_cast<Children*>(context)->out;
            if (!IsWindowVisible(child))
                return TRUE;
            const std::wstring kind = className(child);
            const LONG style = GetWindowLongW(child, GWL_STYLE);
            if (kind == L"Button")
                b.buttons.push_back(text(child));
            else if (kind == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
                     SendMessageW(child, STM_GETICON, 0, 0) != 0)
                b.icon = true;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return out;
}

std::optional<Box> waitBox(DWORD processId, DWORD ms) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND w : topWindows(processId, {}, L"#32770"))
                if (GetDlgItem(w, FileNameBoxId) == nullptr) {
                    found = w;
                    return true;
                }
            return false;
        },
        ms);
    if (found == nullptr)
        return std::nullopt;
    return readBox(found);
}

bool answer(const Box& box, const std::wstring& buttonCaption) {
    struct Search {
        const std::wstring& caption;
        HWND button;
    } search{buttonCaption, nullptr};
    EnumChildWindows(
        box.window,
        [](HWND child, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            if (className(child) == L"Button" && text(child) == s.caption) {
                s.button = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.button == nullptr)
        return false;
    click(search.button);
    return true;
}

bool chooseFile(DWORD processId, const std::wstring& title, const std::wstring& path, DWORD ms) {
    HWND dialog = waitTopWindow(processId, title, L"#32770", ms);
    if (dialog == nullptr)
        return false;
    HWND fileName = nullptr;
    if (!waitUntil([&] { return (fileName = GetDlgItem(dialog, FileNameBoxId)) != nullptr; }, ms))
        return false;
    setText(fileName, path);
    click(GetDlgItem(dialog, IDOK));
    return waitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, ms);
}

} // namespace e2e
