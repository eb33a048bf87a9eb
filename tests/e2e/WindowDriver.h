// Drives a program's windows from another process, only through window
// messages, as a user would: find its window, set field texts, click buttons,
// read and answer its boxes, choose a file in its open dialog. Every wait has a
// deadline; nothing here sleeps longer than it must.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// A program started by the test, ended (TerminateProcess) if it still runs
// when this goes.
class Process {
public:
    Process(const std::wstring& exe, const std::wstring& workingFolder);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD id() const { return info_.dwProcessId; }
    bool running() const;
    // The exit code once it has ended within `ms`, else nothing.
    std::optional<DWORD> waitExit(DWORD ms) const;
    void kill() const;

private:
    PROCESS_INFORMATION info_{};
};

// Waits until `ready` holds, polling; false when `ms` passed first.
template <typename Ready> bool waitUntil(Ready ready, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        if (ready())
            return true;
        if (GetTickCount64() >= end)
            return false;
        Sleep(20);
    }
}

// The visible top-level windows of a process with this caption and, when
// given, this window class ("#32770" for dialogs).
std::vector<HWND> topWindows(DWORD processId, const std::wstring& caption = {},
                             const std::wstring& windowClass = {});
// The first such window met within `ms`, or nullptr.
HWND waitTopWindow(DWORD processId, const std::wstring& caption, const std::wstring& windowClass,
                   DWORD ms);

std::wstring text(HWND window);                      // WM_GETTEXT
void setText(HWND window, const std::wstring& text); // WM_SETTEXT, returns once handled
void click(HWND button); // BM_CLICK, posted: a box it opens does not block
bool enabled(HWND window);

// What a box shows: caption, text (the static with ID 0xFFFF; each line break
// as CR alone), the captions of its buttons in creation order, and whether it
// shows an icon.
struct Box {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<std::wstring> buttons;
    bool icon = false;
};
Box readBox(HWND box);
// The first dialog-class window of the process, other than the open dialog,
// that appears within `ms`.
std::optional<Box> waitBox(DWORD processId, DWORD ms);
// Presses the button of the box with this caption; false when it has none.
bool answer(const Box& box, const std::wstring& buttonCaption);

// Waits for the open dialog with this title, types the full path into its
// file-name box and presses its open button; false when no dialog came or it
// did not close.
bool chooseFile(DWORD processId, const std::wstring& title, const std::wstring& path, DWORD ms);

} // namespace e2e
