// One look for the processes running the installer's file, in the Windows
// build: for a file no process runs, and for one a child runs (a copy of this
// program under the installer's name, started to wait); against the floor of
// the look, a bare process snapshot walked.
//
//   kw_windows_process_bench FOLDER
//
// FOLDER is a Windows path; the copies are made below it and removed again.
// Prints "look_none ms", "look_one ms", "snapshot ms" (medians of 50) and
// "processes N".
#include "Timing.h"
#include "platform/System.h"
#include "prepare/ControlFile.h"
#include "win32/Text.h"

#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::median;
using bench::milliseconds;

// The median of 50 looks for `program`, or a negative figure when a look did
// not find `running` processes.
double look(const std::string& program, std::size_t running) {
    platform::System& sys = platform::realSystem();
    std::vector<double> times;
    for (int i = 0; i < 50; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<platform::Process> found = sys.processesRunning(program);
        times.push_back(milliseconds(start));
        for (platform::Process p : found)
            sys.releaseProcess(p);
        if (found.size() != running)
            return -1;
    }
    return median(times);
}

// The processes a bare snapshot lists.
int snapshotCount() {
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        ++count;
    CloseHandle(snapshot);
    return count;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"--wait") {
        Sleep(60000);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: kw_windows_process_bench FOLDER\n");
        return 2;
    }
    wchar_t self[32768];
    GetModuleFileNameW(nullptr, self, 32768);
    const std::wstring root = argv[1];
    const std::wstring installer = win32::utf16(prepare::InstallerName);
    std::vector<std::wstring> copies;
    for (const wchar_t* name : {L"\\none", L"\\one"}) {
        CreateDirectoryW((root + name).c_str(), nullptr);
        copies.push_back(root + name + L"\\" + installer);
        CopyFileW(self, copies.back().c_str(), FALSE);
    }
    std::wstring line = L"\"" + copies[1] + L"\" --wait";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &child))
        return 1;
    platform::System& sys = platform::realSystem();
    const double none = look(*sys.fromNativePath(win32::utf8(copies[0])), 0);
    const double one = look(*sys.fromNativePath(win32::utf8(copies[1])), 1);
    std::vector<double> snapshots;
    int processes = 0;
    for (int i = 0; i < 50; ++i) {
        const auto start = std::chrono::steady_clock::now();
        processes = snapshotCount();
        snapshots.push_back(milliseconds(start));
    }
    TerminateProcess(child.hProcess, 0);
    WaitForSingleObject(child.hProcess, 10000);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    for (const std::wstring& copy : copies) {
        DeleteFileW(copy.c_str());
        RemoveDirectoryW(copy.substr(0, copy.rfind(L'\\')).c_str());
    }
    if (none < 0 || one < 0) {
        std::fprintf(stderr, "a look did not find what runs\n");
        return 1;
    }
    std::printf("look_none %.2f\nlook_one %.2f\nsnapshot %.2f\nprocesses %d\n", none, one,
                median(snapshots), processes);
    return 0;
}
