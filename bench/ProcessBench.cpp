// One look for the processes that run the installer's file, over this
// machine's process table: a file no process runs, and one a child runs (a
// copy of sleep under the installer's name: it maps the file and its command
// line names it, as a program Wine runs); and the first with 400 more idle
// processes, as on a busy desktop, against the floor of any look: one small
// /proc file read per process. The close repeats a look every second.
#include "Common.h"

#include "prepare/ControlFile.h"

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {
namespace {

// A copy of sleep named as the installer, in a folder of its own (native path).
std::string installerCopy(const std::string& name) {
    makeFolders(native(name));
    const std::string file = native(name) + "/" + prepare::InstallerName;
    std::filesystem::copy_file("/bin/sleep", file,
                               std::filesystem::copy_options::overwrite_existing);
    return file;
}

double processCount() {
    double count = 0;
    if (DIR* proc = opendir("/proc")) {
        while (const dirent* e = readdir(proc))
            count += e->d_name[0] >= '0' && e->d_name[0] <= '9';
        closedir(proc);
    }
    return count;
}

void look(benchmark::State& st, const std::string& file, std::size_t running) {
    platform::System& sys = platform::realSystem();
    const std::string program = logic(file);
    // A child needs a moment to start.
    for (int i = 0; i < 500 && sys.processesRunning(program).size() != running; ++i)
        usleep(10000);
    for (auto _ : st) {
        if (sys.processesRunning(program).size() != running) {
            st.SkipWithError("the look did not find what runs");
            break;
        }
    }
    st.counters["processes"] = processCount();
}

// A child running `program` for an hour, or until killed.
pid_t start(const std::string& program) {
    const pid_t child = fork();
    if (child == 0) {
        execl(program.c_str(), program.c_str(), "3600", static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

void stop(const std::vector<pid_t>& children) {
    for (pid_t child : children)
        kill(child, SIGKILL);
    for (pid_t child : children)
        waitpid(child, nullptr, 0);
}

void BM_LookNoneRunning(benchmark::State& st, int idle) {
    std::vector<pid_t> children;
    for (int i = 0; i < idle; ++i)
        children.push_back(start("/bin/sleep"));
    look(st, installerCopy("processes-none"), 0);
    stop(children);
}

// The floor: each process's command line read once, nothing else done.
void BM_ReadEveryCommandLine(benchmark::State& st, int idle) {
    std::vector<pid_t> children;
    for (int i = 0; i < idle; ++i)
        children.push_back(start("/bin/sleep"));
    char buffer[4096];
    for (auto _ : st) {
        DIR* proc = opendir("/proc");
        while (const dirent* e = proc ? readdir(proc) : nullptr) {
            const int fd = openat(dirfd(proc), (std::string(e->d_name) + "/cmdline").c_str(),
                                  O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                benchmark::DoNotOptimize(read(fd, buffer, sizeof buffer));
                close(fd);
            }
        }
        if (proc)
            closedir(proc);
    }
    st.counters["processes"] = processCount();
    stop(children);
}

void BM_LookOneRunning(benchmark::State& st) {
    const std::string file = installerCopy("processes-one");
    const pid_t child = start(file);
    look(st, file, 1);
    stop({child});
}

BENCHMARK_CAPTURE(BM_LookNoneRunning, none, 0)
    ->Name("processes/look_none_running")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LookNoneRunning, idle, 400)
    ->Name("processes/look_none_running_400_idle")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadEveryCommandLine, idle, 400)
    ->Name("processes/read_every_command_line_400_idle")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LookOneRunning)->Name("processes/look_one_running")->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace bench
