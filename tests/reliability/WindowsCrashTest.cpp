// On Windows: the request logic ended with TerminateProcess at random moments of
// relocation and restore loses no file, and a further request and close bring
// the folder back as it was found. The same driver as on POSIX
// (CrashDriver.cpp), started and ended through the Windows process API.
//
// Random: the seed is printed; KW_CRASH_SEED replays a run.
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

using testing_support::TestFolder;

namespace {

using Tree = std::map<std::string, std::string>; // relative path -> contents

std::string difference(const Tree& a, const Tree& b) {
    std::string out;
    for (const auto& [path, contents] : a)
        if (!b.count(path) || b.at(path) != contents)
            out += " -" + path;
    for (const auto& [path, contents] : b)
        if (!a.count(path))
            out += " +" + path;
    return out;
}

std::string topName(const std::string& relative) {
    const auto slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

// The driver as built (under Wine a Unix path, reached through drive Z:).
std::wstring driverPath() {
    std::wstring p;
    for (const char* c = KW_CRASH_DRIVER; *c; ++c)
        p += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return !p.empty() && p[0] == L'\\' ? L"Z:" + p : p;
}

// Starts the driver on the folder; its process handle, or nullptr.
HANDLE startDriver(const std::wstring& folder, const wchar_t* mode) {
    const std::wstring exe = driverPath();
    std::wstring commandLine = L"\"" + exe + L"\" \"" + folder + L"\" " + mode;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

// Runs the driver to its end; its exit code, or -1.
long runDriver(const std::wstring& folder, const wchar_t* mode) {
    HANDLE process = startDriver(folder, mode);
    if (process == nullptr)
        return -1;
    DWORD code = 0;
    const bool ended =
        WaitForSingleObject(process, 120000) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    if (!ended)
        TerminateProcess(process, 99);
    CloseHandle(process);
    return ended ? static_cast<long>(code) : -1;
}

unsigned seedOfThisRun() {
    if (const char* given = std::getenv("KW_CRASH_SEED"))
        return static_cast<unsigned>(std::strtoul(given, nullptr, 10));
    return std::random_device{}();
}

// The temporary copy a write of the control file makes ("~Inst.ini.<pid>-<n>.tmp").
bool isTemporary(const std::string& path) {
    return path.rfind("Sample/~Inst.ini.", 0) == 0 && path.size() > 4 &&
           path.compare(path.size() - 4, 4, ".tmp") == 0;
}

class WindowsCrashTest : public ::testing::Test {
protected:
    TestFolder tmp;
    Tree original;

    void SetUp() override {
        tmp.write("Sample/Sample.exe", "program");
        tmp.write("Sample/Inst.exe", "installer");
        std::mt19937 rng(12345);
        const char* dirs[] = {"doc", "doc/img", "ソフト", "ソフト/表示", "data/a/b/c"};
        for (int i = 0; i < 60; ++i) {
            const std::string name = (i % 3 == 0 ? "表" : "f") + std::to_string(i) + ".dat";
            tmp.write("Sample/" + std::string(dirs[i % 5]) + "/" + name,
                      std::string(rng() % 20000, char('a' + i % 26)));
        }
        original = tmp.snapshot();
    }

    // Every original file exists exactly once, with its contents: where it
    // was, or moved up; nothing else but the control file and the temporary
    // copy of a write the kill cut short.
    void expectEveryFileOnce(int round) {
        Tree now = tmp.snapshot();
        for (const auto& [path, contents] : original) {
            const std::string up = "Sample/" + topName(path);
            const int copies = int(now.count(path)) + (up != path ? int(now.count(up)) : 0);
            ASSERT_EQ(copies, 1) << path << " after kill " << round;
            ASSERT_EQ(now.count(path) ? now[path] : now[up], contents)
                << path << " after kill " << round;
        }
        for (const auto& [path, contents] : now) {
            if (original.count(path) || path == "Sample/Inst.ini" || isTemporary(path))
                continue;
            bool movedUp = false;
            for (const auto& [o, c] : original)
                movedUp = movedUp || "Sample/" + topName(o) == path;
            ASSERT_TRUE(movedUp) << "stray file " << path << " after kill " << round;
        }
    }
};

TEST_F(WindowsCrashTest, TerminatedAtRandomMomentsLosesNothingAndRecovers) {
    const unsigned seed = seedOfThisRun();
    std::cout << "KW_CRASH_SEED=" << seed << "\n";
    std::mt19937 rng(seed);
    const std::wstring folder = tmp.native("Sample").wstring();

    // One whole request and close, timed to spread the kills over such runs.
    const ULONGLONG started = GetTickCount64();
    ASSERT_EQ(runDriver(folder, L"once"), 0);
    const DWORD once = static_cast<DWORD>(GetTickCount64() - started);
    ASSERT_EQ(difference(original, tmp.snapshot()), "") << "one request and close";
    std::cout << "one request and close: " << once << " ms; kills within twice that\n";
    int leftChanged = 0; // kills that left the folder other than found

    for (int round = 0; round < 30; ++round) {
        HANDLE driver = startDriver(folder, L"cycle");
        ASSERT_NE(driver, nullptr);
        Sleep(rng() % (2 * once + 1));
        DWORD code = 0;
        ASSERT_TRUE(GetExitCodeProcess(driver, &code));
        EXPECT_EQ(code, STILL_ACTIVE) << "the driver stopped by itself";
        TerminateProcess(driver, 99);
        WaitForSingleObject(driver, INFINITE);
        CloseHandle(driver);
        expectEveryFileOnce(round);
        if (HasFatalFailure())
            return;
        leftChanged += tmp.snapshot() != original;
        if (round % 4 == 3) {
            // A further request and close bring back the original tree.
            ASSERT_EQ(runDriver(folder, L"once"), 0);
            ASSERT_EQ(difference(original, tmp.snapshot()), "") << "after kill " << round;
        }
    }
    std::cout << leftChanged << " of 30 kills left the folder changed\n";
}

} // namespace
