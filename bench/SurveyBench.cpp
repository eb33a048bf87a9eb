// The survey of a big program folder against the tools that list the same
// tree: `find DIR -type f`, and a bare readdir walk as the floor.
#include "Common.h"

#include "prepare/RunState.h"
#include "prepare/Survey.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {
namespace {

constexpr int Folders = 1000;
constexpr int FilesEach = 100;
constexpr std::size_t Files = std::size_t{Folders} * FilesEach;

const std::string& bigTree() {
    static const std::string path = [] {
        ensureTree("big", [](const std::string& top) { buildFlatTree(top, Folders, FilesEach); });
        return native("big");
    }();
    return path;
}

prepare::RunState stateFor(const std::string& folder) {
    prepare::RunState state;
    // As a browse for a program file of that folder does.
    prepare::setProgramFile(state, logic(folder, true) + "Sample.exe");
    return state;
}

// The platform layer as it was before the survey could skip the modes: every
// listing reads each entry's mode.
class StatEverySystem : public NoLaunchSystem {
public:
    bool
    enumerateWithoutReadOnly(const std::string& folder,
                             const std::function<void(const platform::DirEntry&)>& each) override {
        return platform::NativeSystem::enumerate(folder, each);
    }
};

template <typename Sys> void surveyWith(benchmark::State& st) {
    const std::string& tree = bigTree();
    const prepare::RunState state = stateFor(tree);
    Sys sys;
    for (auto _ : st) {
        prepare::SurveyResult result = prepare::surveyProgramFolder(sys, state);
        if (result.FolderFiles.size() != Files || !prepare::relocationRefused(result)) {
            st.SkipWithError("the survey did not list the whole tree");
            break;
        }
        benchmark::DoNotOptimize(result.FolderFiles.data());
    }
    st.counters["files"] = static_cast<double>(Files);
}

void BM_Survey(benchmark::State& st) {
    surveyWith<NoLaunchSystem>(st);
}
void BM_SurveyStatEvery(benchmark::State& st) {
    surveyWith<StatEverySystem>(st);
}

// `find DIR -type f`, its list thrown away.
void BM_FindTypeF(benchmark::State& st) {
    const std::string& tree = bigTree();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char find[] = "find";
    char typeOption[] = "-type";
    char typeF[] = "f";
    std::string dir = tree;
    char* argv[] = {find, dir.data(), typeOption, typeF, nullptr};
    for (auto _ : st) {
        pid_t pid;
        int status = 0;
        if (posix_spawnp(&pid, "find", &actions, nullptr, argv, environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            st.SkipWithError("find failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

// The floor: a depth-first readdir walk that counts regular files, without
// a single stat, a name conversion or a list.
std::size_t countFiles(int dirFd) {
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return 0;
    }
    std::size_t count = 0;
    while (const dirent* d = readdir(dir)) {
        if (d->d_type == DT_REG) {
            ++count;
        } else if (d->d_type == DT_DIR && d->d_name[0] != '.') {
            const int sub = openat(dirfd(dir), d->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub >= 0)
                count += countFiles(sub);
        }
    }
    closedir(dir);
    return count;
}

void BM_ReaddirWalk(benchmark::State& st) {
    const std::string& tree = bigTree();
    for (auto _ : st) {
        const std::size_t n = countFiles(open(tree.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (n != Files) {
            st.SkipWithError("the walk did not count the whole tree");
            break;
        }
    }
}

} // namespace

BENCHMARK(BM_FindTypeF)->Name("survey/find_type_f")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReaddirWalk)->Name("survey/readdir_walk")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Survey)->Name("survey/surveyProgramFolder")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SurveyStatEvery)
    ->Name("survey/surveyProgramFolder_stat_every_entry")
    ->Unit(benchmark::kMillisecond);

} // namespace bench
