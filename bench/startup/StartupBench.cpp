// Start-up of the tool against a bare Qt window with the same controls: the
// time from process start to the first window shown, and the peak resident
// memory until then. Each program runs with the show probe preloaded (see
// ShowProbe.cpp), which reports and ends it once its window is on screen.
//
//   kw_startup_bench PROBE.so RUNS NAME=PROGRAM NAME=PROGRAM ...
//
// The programs run in turn, RUNS times each after two unmeasured runs (warm
// caches); the environment is passed on (QT_QPA_PLATFORM chooses the window
// system). Prints "NAME ms KiB" per program: the medians.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct Program {
    std::string name;
    std::string path;
    std::vector<double> milliseconds;
    std::vector<double> peakKiB;
};

long long monotonicNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

// One start; false when the program did not report a shown window in time.
bool runOnce(const std::string& probe, Program& program, bool keep) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    // The probe writes to descriptor 3 of the child.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    // Their messages (Qt's warnings) would only clutter the table.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "LD_PRELOAD=", 11) != 0 && std::strncmp(*e, "KW_SHOW_PROBE_FD=", 17))
            env.emplace_back(*e);
    }
    env.push_back("LD_PRELOAD=" + probe);
    env.push_back("KW_SHOW_PROBE_FD=3");
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = program.path;
    char* argv[] = {path.data(), nullptr};

    const long long start = monotonicNs();
    pid_t pid;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        std::fprintf(stderr, "cannot start %s: %s\n", path.c_str(), std::strerror(spawned));
        return false;
    }

    // The report, or the end of the pipe when the program died; at most 30 s.
    std::string text;
    char buffer[128];
    alarm(30);
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            kill(pid, SIGKILL);
            break;
        }
        break;
    }
    alarm(0);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);

    long long shownNs = 0;
    long peak = 0;
    if (std::sscanf(text.c_str(), "shown %lld %ld", &shownNs, &peak) != 2) {
        std::fprintf(stderr, "%s did not report a shown window\n", program.name.c_str());
        return false;
    }
    if (keep) {
        program.milliseconds.push_back(static_cast<double>(shownNs - start) / 1e6);
        program.peakKiB.push_back(static_cast<double>(std::max(peak, usage.ru_maxrss)));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PROBE.so RUNS NAME=PROGRAM...\n", argv[0]);
        return 2;
    }
    struct sigaction onAlarm {};
    onAlarm.sa_handler = [](int) {};
    sigaction(SIGALRM, &onAlarm, nullptr); // interrupts the read, no restart

    const std::string probe = argv[1];
    const int runs = std::atoi(argv[2]);
    std::vector<Program> programs;
    for (int i = 3; i < argc; ++i) {
        const char* equals = std::strchr(argv[i], '=');
        if (equals == nullptr) {
            std::fprintf(stderr, "not NAME=PROGRAM: %s\n", argv[i]);
            return 2;
        }
        programs.push_back(
            Program{std::string(static_cast<const char*>(argv[i]), equals), equals + 1, {}, {}});
    }
    for (int round = 0; round < runs + 2; ++round) {
        for (Program& program : programs) {
            if (!runOnce(probe, program, round >= 2))
                return 1;
        }
    }
    for (const Program& program : programs)
        std::printf("%s %.1f %.0f\n", program.name.c_str(), median(program.milliseconds),
                    median(program.peakKiB));
    return 0;
}
