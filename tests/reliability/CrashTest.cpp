// A tool killed at any moment during relocation or restore loses no file, and
// the next run brings the folder back as it was found: with moves by rename,
// and with moves across devices, which copy. The request logic runs as its own
// program (CrashDriver.cpp), ended by SIGKILL on POSIX and by TerminateProcess
// on Windows.
//
// Random: the seed of the kill moments is printed; KW_TEST_SEED replays a run.
#include "platform/System.h"
#include "prepare/Restore.h"
#include "support/ProductNames.h"
#include "support/RequestFixture.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testing_support::ProgramFolderFixture;
using testing_support::TestFolder;

namespace {

using testing_support::Ini;
using testing_support::Installer;
using testing_support::Operation;

// The driver as a process of its own.
class Driver {
public:
    Driver(const std::filesystem::path& folder, const char* mode, bool across);
    ~Driver();
    bool started() const;
    // Why it did not start: the system's error number.
    int error() const { return error_; }
    // Waits for its end: its exit code, or -1 when it did not end by itself.
    int wait();
    // Ends it at once; false when it had already ended by itself.
    bool kill();

private:
    int error_ = 0;
#ifdef _WIN32
    HANDLE process_ = nullptr;
#else
    pid_t pid_ = 0;
#endif
};

#ifdef _WIN32
// The driver as built (under Wine a Unix path, reached through drive Z:).
std::wstring driverPath() {
    std::wstring p;
    for (const char* c = KW_CRASH_DRIVER; *c; ++c)
        p += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    return !p.empty() && p[0] == L'\\' ? L"Z:" + p : p;
}

Driver::Driver(const std::filesystem::path& folder, const char* mode, bool across) {
    const std::wstring exe = driverPath();
    std::wstring commandLine = L"\"" + exe + L"\" \"" + folder.wstring() + L"\" " +
                               std::wstring(mode, mode + std::strlen(mode)) +
                               (across ? L" across" : L"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Wine now and then refuses a start right after a kill (an internal error): try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
            return;
        }
        error_ = static_cast<int>(GetLastError());
        Sleep(100);
    }
}
Driver::~Driver() {
    if (process_)
        CloseHandle(process_);
}
bool Driver::started() const {
    return process_ != nullptr;
}
int Driver::wait() {
    DWORD code = 0;
    if (WaitForSingleObject(process_, 120000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process_, &code)) {
        TerminateProcess(process_, 99);
        return -1;
    }
    return static_cast<int>(code);
}
bool Driver::kill() {
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process_, &code) && code == STILL_ACTIVE;
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, INFINITE);
    return running;
}
#else
Driver::Driver(const std::filesystem::path& folder, const char* mode, bool across) {
    const std::string native = folder.string();
    const char* argv[] = {KW_CRASH_DRIVER, native.c_str(), mode, across ? "across" : nullptr,
                          nullptr};
    error_ = posix_spawn(&pid_, KW_CRASH_DRIVER, nullptr, nullptr, const_cast<char* const*>(argv),
                         environ);
    if (error_ != 0)
        pid_ = 0;
}
Driver::~Driver() = default;
bool Driver::started() const {
    return pid_ != 0;
}
int Driver::wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
bool Driver::kill() {
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    return WIFSIGNALED(status);
}
#endif

int runDriver(const std::filesystem::path& folder, const char* mode, bool across) {
    Driver driver(folder, mode, across);
    return driver.started() ? driver.wait() : -1;
}

using Tree = std::map<std::string, std::string>; // relative path -> contents

// The paths where two trees differ, for a readable failure.
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

bool isTemporary(const std::string& path) {
    return platform::parseTemporaryName(topName(path)).has_value();
}

// Every original file exists exactly once, whole: where it was, or moved up
// (its place in the program folder "Sample/"). A move across devices cut short
// between its copy's rename and the deletion of its source leaves it whole in
// both places (`twiceAllowed`), which the next close resolves. Temporary copies
// may be left, which the next run removes. The first fault found, or "".
std::string everyFileOnce(const Tree& original, const Tree& now, bool twiceAllowed) {
    for (const auto& [path, contents] : original) {
        const std::string up = "Sample/" + topName(path);
        const int copies = int(now.count(path)) + (up != path ? int(now.count(up)) : 0);
        if (copies == 0 || (copies == 2 && !twiceAllowed))
            return path + (copies ? " twice" : " lost");
        for (const std::string& place : {path, up})
            if (now.count(place) && now.at(place) != contents)
                return place + " changed";
    }
    for (const auto& [path, contents] : now) {
        if (original.count(path) || path == "Sample/" + Ini || isTemporary(path))
            continue;
        bool movedUp = false;
        for (const auto& [o, c] : original)
            movedUp = movedUp || "Sample/" + topName(o) == path;
        if (!movedUp)
            return "stray file " + path;
    }
    return "";
}

unsigned seed() {
    static const unsigned value = [] {
        const char* given = std::getenv("KW_TEST_SEED");
        const unsigned s = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10))
                                 : std::random_device{}();
        std::printf("KW_TEST_SEED=%u\n", s);
        return s;
    }();
    return value;
}

class CrashTest : public ::testing::TestWithParam<bool> {
protected:
    TestFolder tmp;
    Tree original;

    void SetUp() override {
        tmp.write("Sample/Sample.exe", "program");
        tmp.write("Sample/" + Installer, "installer");
        std::mt19937 rng(12345);
        const char* dirs[] = {"doc", "doc/img", "ソフト", "ソフト/表示", ".cfg", "data/a/b/c"};
        for (int i = 0; i < 60; ++i) {
            std::string dir = dirs[i % 6];
            std::string name = (i % 3 == 0 ? "表" : "f") + std::to_string(i) + ".dat";
            std::string contents(rng() % 20000, char('a' + i % 26));
            tmp.write("Sample/" + dir + "/" + name, contents);
        }
        // Files whose copies take long enough for kills to fall inside them.
        for (int i = 0; i < 4; ++i)
            tmp.write("Sample/big/b" + std::to_string(i) + ".dat",
                      std::string(3 << 20, char('A' + i)));
        original = tmp.snapshot();
    }

    void expectEveryFileOnce(int round) {
        ASSERT_EQ(everyFileOnce(original, tmp.snapshot(), GetParam()), "") << "kill " << round;
    }
};

TEST_P(CrashTest, KilledAtRandomMomentsLosesNothingAndRecovers) {
    const bool across = GetParam();
    const std::filesystem::path folder = tmp.native("Sample");

    // One whole request and close, timed: the kills fall within twice that.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(runDriver(folder, "once", across), 0);
    const auto once = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
    ASSERT_EQ(difference(original, tmp.snapshot()), "") << "one request and close";

    std::mt19937 rng(seed());
    for (int round = 0; round < 30; ++round) {
        Driver driver(folder, "cycle", across);
        ASSERT_TRUE(driver.started()) << "error " << driver.error() << " in round " << round;
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % (2 * once + 1)));
        ASSERT_TRUE(driver.kill()) << "the driver stopped by itself";
        expectEveryFileOnce(round);
        if (round % 4 == 1) {
            // A folder left relocated is offered back, and taken, is as it was.
            const Tree now = tmp.snapshot();
            bool movedUp = false;
            for (const auto& [path, contents] : original)
                movedUp = movedUp || (path != "Sample/" + topName(path) &&
                                      now.count("Sample/" + topName(path)) > 0);
            const std::string ini = tmp.logic("Sample/" + Ini);
            ASSERT_EQ(prepare::leftRelocated(platform::realSystem(), ini), movedUp) << round;
            prepare::restoreControlFile(platform::realSystem(), ini);
            if (movedUp) {
                ASSERT_EQ(difference(original, tmp.snapshot()), "") << "offered back " << round;
            }
        }
        if (round % 4 == 3) {
            // A further request and close bring back the original tree.
            ASSERT_EQ(runDriver(folder, "once", across), 0);
            ASSERT_EQ(difference(original, tmp.snapshot()), "") << "after kill " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Moves, CrashTest, ::testing::Values(false, true), [](const auto& info) {
    return info.param ? "AcrossDevices" : "ByRename";
});

// Every operation that changes the disk or reads the control file, in turn,
// on a small folder, with moves by rename and across devices: (a) it fails: a
// failed move up is undone, and whatever stays at the top is said; (b) the run
// ends there, every later one refused as after a kill, and a fresh request and
// close bring the folder back.
TEST(EveryStep, FailedOrCutShortLosesNothingAndRecovers) {
    int points = 0;
    for (bool across : {false, true}) {
        for (bool cut : {false, true}) {
            for (int n = 1;; ++n) {
                ProgramFolderFixture f;
                f.tmp.write("Outside/o.txt", "outside");
                for (const std::string& name : std::vector<std::string>{
                         "Sample.exe", Installer, "doc/a.txt", "doc/b.txt", "sub/deep/c.txt"})
                    f.file(name, name);
                const Tree original = f.tmp.snapshot();
                f.browse("Sample.exe");
                f.sys.otherDevice = across;
                int count = 0;
                f.sys.fail = [&](Operation op, const std::string& path) {
                    const bool changes = op == Operation::copyNoReplace ||
                                         op == Operation::rename || op == Operation::removeFile ||
                                         op == Operation::createFile ||
                                         (op == Operation::readFile && path == f.logic(Ini));
                    return changes && (cut ? ++count >= n : ++count == n);
                };
                auto outcome = f.run(f.texts("Sample.exe", "a"));
                const Tree requested = f.tmp.snapshot();
                const auto closed = prepare::restoreOnClose(f.sys, f.state);
                std::vector<std::string> notBack;
                for (const auto& stays : {outcome.notBack, closed.notBack})
                    for (const prepare::NotBack& file : stays)
                        notBack.push_back(file.path());
                if (count < n)
                    break; // the run no longer reaches n
                ++points;
                SCOPED_TRACE(std::string(cut ? "cut short" : "failed") + " at operation " +
                             std::to_string(n) + (across ? " across devices" : ""));
                ASSERT_EQ(everyFileOnce(original, requested, cut), "");
                if (!cut && outcome.kind == prepare::RequestOutcome::Kind::MoveFailed) {
                    EXPECT_EQ(difference(original, requested), "") << "undone";
                }
                Tree now = f.tmp.snapshot();
                ASSERT_EQ(everyFileOnce(original, now, cut && across), "");
                // A control file the close cannot read stays, and so do its files.
                const bool unread = !closed.unreadable.empty();
                EXPECT_TRUE(!unread || now.count("Sample/" + Ini));
                if (!cut && !unread) {
                    // Back in place, but for what the close said stays at the top.
                    for (const auto& [path, contents] : original) {
                        const bool said =
                            std::count(notBack.begin(), notBack.end(), f.tmp.logic(path)) > 0;
                        EXPECT_EQ(now.count(path), said ? 0u : 1u) << path;
                    }
                    continue;
                }
                // The next run, as the read-me tells the user.
                f.sys.fail = nullptr;
                f.state = prepare::RunState();
                f.browse("Sample.exe");
                ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind,
                          prepare::RequestOutcome::Kind::Started);
                EXPECT_TRUE(prepare::restoreOnClose(f.sys, f.state).notBack.empty());
                EXPECT_EQ(difference(original, f.tmp.snapshot()), "");
            }
        }
    }
    std::printf("EveryStep: %d points tried\n", points);
    EXPECT_GE(points, 40);
}

} // namespace
