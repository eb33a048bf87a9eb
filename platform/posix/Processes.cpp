// Processes on POSIX: this process's id, whether another still runs, the
// desktop's opener started for a file, detached, and the processes that run a
// program file.
#include "platform/posix/PosixSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
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
    // The desktop's opener hands the file to its program and ends, or stays
    // for as long as that runs; its exit status says whether it found one.
    if (started)
        *started = NoProcess;
    std::optional<std::string> native = nativeOf(path);
    if (!native)
        return LaunchResult::Failed;
    // Everything the child needs is prepared before fork: between fork and
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
        // A session of its own: the installer outlives the tool and its terminal.
        setsid();
        // Nobody asks how an opener ended: one more fork, and the middle gone
        // at once, so the opener is adopted by init and never our zombie.
        if (!started) {
            const pid_t grandchild = fork();
            if (grandchild != 0)
                _exit(grandchild > 0 ? 0 : 1);
        }
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
    close(report[1]);
    char failed = 0;
    ssize_t got = -1;
    if (child > 0) {
        while ((got = read(report[0], &failed, 1)) < 0 && errno == EINTR) {
        }
    }
    close(report[0]);
    if (devNull >= 0)
        close(devNull);
    if (child <= 0)
        return LaunchResult::Failed;
    // The middle process ends at once, and so does a child whose exec failed.
    int status = 0;
    if (!started || got != 0) {
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        return got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? LaunchResult::Handed
                                                                         : LaunchResult::Failed;
    }
    // Reaped once it has ended, by the look that asks.
    openers_[static_cast<Process>(child)] = std::nullopt;
    *started = static_cast<Process>(child);
    return LaunchResult::Handed;
}

void PosixSystem::reapOpeners() {
    for (auto& [process, status] : openers_) {
        if (status)
            continue;
        int raw = 0;
        const pid_t got = waitpid(static_cast<pid_t>(process), &raw, WNOHANG);
        if (got == static_cast<pid_t>(process))
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128;
        else if (got < 0 && errno == ECHILD)
            status = 0; // reaped elsewhere: nothing is known of its outcome
    }
}

bool PosixSystem::processEnded(Process process) {
    if (process == NoProcess)
        return true;
    const auto opener = openers_.find(process);
    if (opener == openers_.end())
        return !processRunning(static_cast<std::uint32_t>(process));
    reapOpeners();
    return opener->second.has_value();
}

void PosixSystem::releaseProcess(Process process) {
    // One still running is reaped once it ends.
    const auto opener = openers_.find(process);
    if (opener != openers_.end() && opener->second)
        openers_.erase(opener);
}

OpenerState PosixSystem::openerState(Process process) {
    // xdg-open's status when it found no program for the file.
    constexpr int noProgram = 3;
    const auto opener = openers_.find(process);
    if (opener != openers_.end()) {
        reapOpeners();
        if (!opener->second)
            return OpenerState::Running;
        if (*opener->second == noProgram)
            return OpenerState::NoProgram;
    } else if (processRunning(static_cast<std::uint32_t>(process))) {
        return OpenerState::Running;
    }
    // The opener led a session and process group of its own, which what it
    // starts stays in unless that starts a session of its own (Wine's server
    // and the programs Wine runs do, once they run).
    const bool groupLives = kill(-static_cast<pid_t>(process), 0) == 0 || errno == EPERM;
    return groupLives ? OpenerState::Ended : OpenerState::EndedAlone;
}

namespace {

// ASCII letters in lower case: Windows names fold so, and Wine keeps the
// spelling the program was started by.
std::string folded(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The whole of a small file below /proc (open as `proc`), or empty when it
// cannot be read.
std::string readProcFile(int proc, const std::string& path) {
    std::string out;
    const int fd = openat(proc, path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return out;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        out.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    close(fd);
    return out;
}

// Whether a process's memory maps the file stat'ed as `st` (its file name
// folded as `name`), from the whole text of its maps.
bool mapsFile(std::string_view maps, const struct stat& st, const std::string& name) {
    const StatOf statOf = [](const std::string& path, struct stat& there) {
        return stat(path.c_str(), &there) == 0;
    };
    while (!maps.empty()) {
        const std::size_t end = std::min(maps.find('\n'), maps.size());
        const std::optional<MapsLine> line = parseMapsLine(maps.substr(0, end));
        if (line && showsFile(*line, st, name, statOf))
            return true;
        maps.remove_prefix(std::min(end + 1, maps.size()));
    }
    return false;
}

} // namespace

std::optional<MapsLine> parseMapsLine(std::string_view line) {
    // "address perms offset major:minor inode path", the path after blanks.
    const std::string text(line);
    unsigned major = 0, minor = 0;
    unsigned long long inode = 0;
    int pathAt = static_cast<int>(text.size());
    if (std::sscanf(text.c_str(), "%*s %*s %*s %x:%x %llu %n", &major, &minor, &inode, &pathAt) < 3)
        return std::nullopt;
    MapsLine parsed{makedev(major, minor), static_cast<ino_t>(inode),
                    line.substr(static_cast<std::size_t>(pathAt)), false};
    constexpr std::string_view deleted = " (deleted)";
    if (parsed.path.ends_with(deleted)) {
        parsed.path.remove_suffix(deleted.size());
        parsed.deleted = true;
    }
    return parsed;
}

bool showsFile(const MapsLine& line, const struct stat& file, std::string_view name,
               const StatOf& statOf) {
    if (line.inode == 0)
        return false;
    if (line.inode == file.st_ino && line.device == file.st_dev)
        return true;
    // The path of a deleted file names another file now, or none.
    if (line.deleted || folded(std::string(line.path.substr(line.path.rfind('/') + 1))) != name)
        return false;
    struct stat there;
    return statOf(std::string(line.path), there) && there.st_dev == file.st_dev &&
           there.st_ino == file.st_ino;
}

bool isWineLoader(std::string_view exe) {
    // A loader updated while it runs is shown " (deleted)".
    constexpr std::string_view deleted = " (deleted)";
    if (exe.ends_with(deleted))
        exe.remove_suffix(deleted.size());
    const std::string_view name = exe.substr(exe.rfind('/') + 1);
    return name == "wine" || name == "wine64" || name == "wine-preloader" ||
           name == "wine64-preloader";
}

std::vector<Process> PosixSystem::processesRunning(const std::string& program) {
    std::vector<Process> found;
    const std::optional<std::string> native = nativeOf(program);
    struct stat st;
    if (!native || stat(native->c_str(), &st) != 0)
        return found;
    const std::string name = folded(native->substr(native->rfind('/') + 1));
    DIR* proc = opendir("/proc");
    if (!proc)
        return found;
    // Only a process whose command line names the file, or one Wine runs (a
    // program may start a copy of itself with arguments only), has its maps
    // read: they are long, and a desktop runs hundreds of processes.
    char exe[PATH_MAX];
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const unsigned long pid = std::strtoul(entry->d_name, &end, 10);
        if (pid == 0 || *end != '\0')
            continue;
        const std::string dir = entry->d_name;
        if (folded(readProcFile(dirfd(proc), dir + "/cmdline")).find(name) == std::string::npos) {
            const ssize_t size = readlinkat(dirfd(proc), (dir + "/exe").c_str(), exe, sizeof exe);
            if (size <= 0 || !isWineLoader(std::string_view(exe, static_cast<std::size_t>(size))))
                continue;
        }
        if (mapsFile(readProcFile(dirfd(proc), dir + "/maps"), st, name))
            found.push_back(static_cast<Process>(pid));
    }
    closedir(proc);
    return found;
}

} // namespace platform::posix
