// Processes on Windows: this process's id, whether another still runs, and a
// file started by the shell, with the process it started when asked for.
#include "platform/win32/Win32System.h"

#include <shellapi.h>

#include "platform/SystemDll.h"

namespace platform::win32 {

std::uint32_t Win32System::processId() {
    return GetCurrentProcessId();
}

bool Win32System::processRunning(std::uint32_t id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER; // denied: it exists
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

LaunchResult Win32System::shellOpen(const std::string& path, Process* started) {
    if (started)
        *started = NoProcess;
    std::optional<std::wstring> native = wideOf(path);
    if (!native || native->empty())
        return LaunchResult::Failed;
    // shell32 loads on the first start, not with the window.
    static const auto shellExecute =
        systemFunction<decltype(ShellExecuteExW)>(L"shell32.dll", "ShellExecuteExW");
    if (!shellExecute)
        return LaunchResult::Failed;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The window says what went wrong; the process is kept when asked for.
    info.fMask = SEE_MASK_FLAG_NO_UI | (started ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpFile = native->c_str();
    info.nShow = SW_SHOWNORMAL;
    if (shellExecute(&info)) {
        if (started)
            *started = reinterpret_cast<Process>(info.hProcess);
        return LaunchResult::Started;
    }
    return GetLastError() == ERROR_CANCELLED ? LaunchResult::Cancelled : LaunchResult::Failed;
}

bool Win32System::processEnded(Process process) {
    return !process || WaitForSingleObject(reinterpret_cast<HANDLE>(process), 0) != WAIT_TIMEOUT;
}

void Win32System::releaseProcess(Process process) {
    if (process)
        CloseHandle(reinterpret_cast<HANDLE>(process));
}

} // namespace platform::win32

namespace platform::win32 {

std::vector<Process> Win32System::processesRunning(const std::string&) {
    return {}; // not yet looked for
}

} // namespace platform::win32
