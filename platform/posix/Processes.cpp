// Processes on POSIX: this process's id, whether another still runs, and the
// desktop's opener started for a file, detached.
#include "platform/posix/PosixSystem.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform::posix {

namespace {

// The full path of an executable found on PATH, or empty.
std::string findOnPath(const char* program) {
    const char* path = getenv("PATH");
    std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (;;) {
        std::size_t colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        std::string candidate = dir.empty() ? "." : std::string(dir);
        candidate += '/';
        candidate += program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos)
            return {};
        rest.remove_prefix(colon + 1);
    }
}

} // namespace

std::uint32_t PosixSystem::processId() {
    return static_cast<std::uint32_t>(getpid());
}

bool PosixSystem::processRunning(std::uint32_t id) {
    return kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
}

LaunchResult PosixSystem::shellOpen(const std::string& path, Process* started) {
    // The desktop's opener starts the program and ends: no process to follow.
    if (started)
        *started = NoProcess;
    std::optional<std::string> native = nativeOf(path);
    if (!native)
        return LaunchResult::Failed;
    // Everything the children need is prepared before fork: between fork and
    // exec only async-signal-safe calls are made.
    std::string opener = findOnPath("xdg-open");
    if (opener.empty())
        return LaunchResult::Failed;
    char* argv[] = {opener.data(), native->data(), nullptr};
    // The opener's exec closes this pipe; a failed exec writes to it first.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return LaunchResult::Failed;
    int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    sigset_t none;
    sigemptyset(&none);

    pid_t child = fork();
    if (child == 0) {
        // The middle process: a new session, one more fork, and gone at once,
        // so the opener is adopted by init and never becomes our zombie.
        setsid();
        pid_t grandchild = fork();
        if (grandchild == 0) {
            sigprocmask(SIG_SETMASK, &none, nullptr);
            if (devNull >= 0) {
                for (int target = 0; target <= 2; ++target) {
                    if (devNull == target)
                        fcntl(target, F_SETFD, 0);
                    else
                        dup2(devNull, target);
                }
            }
#ifdef SYS_close_range
            const unsigned keep = static_cast<unsigned>(report[1]);
            if (keep > 3)
                syscall(SYS_close_range, 3u, keep - 1, 0u);
            syscall(SYS_close_range, keep + 1, ~0u, 0u);
#endif
            execve(argv[0], argv, environ);
            const char failed = 1;
            ssize_t ignored = write(report[1], &failed, 1);
            (void)ignored;
            _exit(127);
        }
        _exit(grandchild > 0 ? 0 : 1);
    }
    close(report[1]);
    int status = 1;
    if (child > 0) {
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    char failed = 0;
    ssize_t got;
    while ((got = read(report[0], &failed, 1)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (devNull >= 0)
        close(devNull);
    const bool opened = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
    return opened ? LaunchResult::Started : LaunchResult::Failed;
}

} // namespace platform::posix

namespace platform::posix {

std::vector<Process> PosixSystem::processesRunning(const std::string&) {
    return {}; // not yet looked for
}

} // namespace platform::posix
