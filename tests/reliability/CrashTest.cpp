// A tool killed at any moment during relocation or restore loses no file, and
// the next run brings the folder back as it was found.
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using testing_support::TestFolder;

namespace {

struct Tree {
    std::map<std::string, std::string> files; // relative path -> contents
};

// The paths where two trees differ, for a readable failure.
std::string difference(const std::map<std::string, std::string>& a,
                       const std::map<std::string, std::string>& b) {
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

int runDriver(const std::string& folder, const char* mode, pid_t* pidOut = nullptr) {
    const char* argv[] = {KW_CRASH_DRIVER, folder.c_str(), mode, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, KW_CRASH_DRIVER, nullptr, nullptr, const_cast<char* const*>(argv),
                    environ) != 0)
        return -1;
    if (pidOut) {
        *pidOut = pid;
        return 0;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CrashTest : public ::testing::Test {
protected:
    TestFolder tmp;
    std::map<std::string, std::string> original;

    void SetUp() override {
        tmp.write("Sample/Sample.exe", "program");
        tmp.write("Sample/Inst.exe", "installer");
        std::mt19937 rng(12345);
        const char* dirs[] = {"doc", "doc/img", "ソフト", "ソフト/表示", ".cfg", "data/a/b/c"};
        for (int i = 0; i < 60; ++i) {
            std::string dir = dirs[i % 6];
            std::string name = (i % 3 == 0 ? "表" : "f") + std::to_string(i) + ".dat";
            std::string contents(rng() % 20000, char('a' + i % 26));
            tmp.write("Sample/" + dir + "/" + name, contents);
        }
        original = tmp.snapshot();
    }

    // Every original file exists exactly once: where it was, or moved up.
    void expectEveryFileOnce(int round) {
        auto now = tmp.snapshot();
        for (const auto& [path, contents] : original) {
            const std::string up = "Sample/" + topName(path);
            const int copies = int(now.count(path)) + (up != path ? int(now.count(up)) : 0);
            ASSERT_EQ(copies, 1) << path << " after kill " << round;
            const std::string& found = now.count(path) ? now[path] : now[up];
            ASSERT_EQ(found, contents) << path << " after kill " << round;
        }
        for (const auto& [path, contents] : now) {
            // The control file, or the temporary copy of a write that the
            // kill cut short, which the next request removes.
            if (original.count(path) || path == "Sample/Inst.ini" ||
                path.rfind("Sample/.Inst.ini.tmp-", 0) == 0)
                continue;
            bool movedUp = false;
            for (const auto& [o, c] : original)
                movedUp = movedUp || "Sample/" + topName(o) == path;
            ASSERT_TRUE(movedUp) << "stray file " << path << " after kill " << round;
        }
    }
};

TEST_F(CrashTest, KilledAtRandomMomentsLosesNothingAndRecovers) {
    const std::string folder = tmp.native("Sample").string();
    ASSERT_EQ(runDriver(folder, "once"), 0);
    ASSERT_EQ(difference(original, tmp.snapshot()), "") << "one request and close";

    std::mt19937 rng(std::random_device{}());
    for (int round = 0; round < 40; ++round) {
        pid_t pid = 0;
        ASSERT_EQ(runDriver(folder, "cycle", &pid), 0);
        std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 30000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the driver stopped by itself";
        expectEveryFileOnce(round);
        if (round % 4 == 3) {
            // A further request and close bring back the original tree.
            ASSERT_EQ(runDriver(folder, "once"), 0);
            ASSERT_EQ(difference(original, tmp.snapshot()), "") << "after kill " << round;
        }
    }
}

} // namespace
