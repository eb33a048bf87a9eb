// Processes on Windows: this process's id, whether another still runs, a
// file started by the shell, with the process it started when asked for, and
// the processes that run a program file.
#include "platform/win32/Win32System.h"

#include <shellapi.h>
#include <tlhelp32.h>

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

namespace {

// Whether a process runs the file of that identity; false when its image
// cannot be asked for.
bool runsFile(HANDLE process, const BY_HANDLE_FILE_INFORMATION& file) {
    std::wstring image(32768, L'\0');
    DWORD size = static_cast<DWORD>(image.size());
    if (!QueryFullProcessImageNameW(process, 0, image.data(), &size))
        return false;
    image.resize(size);
    BY_HANDLE_FILE_INFORMATION info;
    return fileIdentity(apiPath(image), info) && sameIdentity(info, file);
}

} // namespace

std::vector<Process> Win32System::processesRunning(const std::string& program) {
    std::vector<Process> found;
    std::optional<std::wstring> native = apiPathOf(program);
    BY_HANDLE_FILE_INFORMATION file;
    if (!native || native->empty() || !fileIdentity(*native, file))
        return found;
    // A process lists its image's long name, whatever spelling named the file:
    // a search for the file gives it.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(native->c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return found;
    FindClose(find);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        // Only a process of the file's name costs a look at its image.
        if (CompareStringOrdinal(entry.szExeFile, -1, data.cFileName, -1, TRUE) != CSTR_EQUAL)
            continue;
        // Limited information answers for an elevated installer too.
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                     entry.th32ProcessID);
        if (process && runsFile(process, file))
            found.push_back(reinterpret_cast<Process>(process));
        else if (process)
            CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found;
}

} // namespace platform::win32
