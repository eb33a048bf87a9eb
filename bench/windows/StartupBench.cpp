// Start-up on Windows: kwarino.exe against a bare Win32 window with the same
// controls (BareWindow.cpp). Each program is started, timed until a top-level
// window of its process is visible, its peak working set read at that moment,
// and ended.
//
//   kw_windows_startup_bench RUNS NAME=PROGRAM NAME=PROGRAM ...
//
// The programs run in turn, RUNS times each after two unmeasured runs (warm
// caches). Prints "NAME ms KiB" per program: the medians.
#include "Timing.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using bench::median;

struct Program {
    std::wstring name;
    std::wstring path;
    std::vector<double> milliseconds;
    std::vector<double> peakKiB;
};

bool hasVisibleWindow(DWORD processId) {
    struct Search {
        DWORD processId;
        bool found;
    } search{processId, false};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s.processId && IsWindowVisible(window)) {
                s.found = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// One start; false when no window was shown within 30 seconds.
bool runOnce(Program& program, bool keep) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + program.path + L"\"";
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &info))
        return false;
    bool shown = false;
    for (int spin = 0; spin < 30000 && !shown; ++spin) {
        shown = hasVisibleWindow(info.dwProcessId);
        if (!shown)
            Sleep(1);
    }
    QueryPerformanceCounter(&now);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    const bool measured = GetProcessMemoryInfo(info.hProcess, &memory, sizeof memory);
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (!shown || !measured)
        return false;
    if (keep) {
        program.milliseconds.push_back(1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                                       static_cast<double>(frequency.QuadPart));
        program.peakKiB.push_back(static_cast<double>(memory.PeakWorkingSetSize) / 1024.0);
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kw_windows_startup_bench RUNS NAME=PROGRAM ...\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    std::vector<Program> programs;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const std::size_t eq = arg.find(L'=');
        if (eq == std::wstring::npos)
            return 2;
        programs.push_back({arg.substr(0, eq), arg.substr(eq + 1), {}, {}});
    }
    for (int run = 0; run < runs + 2; ++run)
        for (Program& p : programs)
            if (!runOnce(p, run >= 2)) {
                std::fprintf(stderr, "%ls showed no window\n", p.path.c_str());
                return 1;
            }
    for (Program& p : programs)
        std::printf("%ls %.1f %.0f\n", p.name.c_str(), median(p.milliseconds), median(p.peakKiB));
    return 0;
}
