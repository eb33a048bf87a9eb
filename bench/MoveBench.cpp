// Relocation and restore of 98 files: files of 20 MB against empty files. The
// moves are renames, so their size should not count.
#include "Common.h"

#include "prepare/ControlFile.h"
#include "prepare/Restore.h"
#include "prepare/RunState.h"
#include "prepare/Survey.h"
#include "prepare/Texts.h"

#include <cstdio>
#include <map>
#include <unistd.h>

namespace bench {
namespace {

constexpr int Folders = 7;
constexpr int FilesEach = 14; // 98 files, the most that can be relocated
constexpr std::size_t Big = std::size_t{20} << 20;

struct MoveTree {
    std::string folder; // native
    prepare::RunState state;
    std::vector<std::string> files; // relative, logic form
};

MoveTree moveTree(const std::string& name, std::size_t size) {
    MoveTree tree;
    char relative[64];
    for (int d = 0; d < Folders; ++d) {
        for (int f = 0; f < FilesEach; ++f) {
            std::snprintf(relative, sizeof relative, "s%d\\f%d_%02d.bin", d, d, f);
            tree.files.emplace_back(relative);
        }
    }
    ensureTree(name, [&](const std::string& top) {
        for (const std::string& file : tree.files) {
            std::string path = top + "/" + file;
            path[path.find('\\')] = '/';
            makeFile(path, size);
        }
    });
    tree.folder = native(name);
    prepare::setProgramFile(tree.state, logic(tree.folder, true) + "Sample.exe");
    return tree;
}

// One cycle: the control file written, every file moved up, every file moved
// back at close. Only the part named by `timeRelocation` is timed.
void cycle(benchmark::State& st, const MoveTree& tree, bool timeRelocation) {
    NoLaunchSystem sys;
    prepare::ControlFileRequest request;
    request.application = prepare::sjis("サンプル");
    request.folderFiles = tree.files;
    const std::string firstSource = tree.folder + "/s0/f0_00.bin";
    prepare::RunState state = tree.state; // the write records what it wrote
    for (auto _ : st) {
        std::size_t items = 0;
        if (prepare::writeControlFile(sys, state, request, items)) {
            st.SkipWithError("the control file could not be written");
            break;
        }
        Stopwatch relocation;
        const std::size_t moved =
            prepare::relocate(sys, tree.state.ProgramFolder, tree.files).moved.size();
        const double relocationSeconds = relocation.seconds();
        Stopwatch restore;
        prepare::restoreControlFile(sys, prepare::controlFilePath(tree.state));
        const double restoreSeconds = restore.seconds();
        st.SetIterationTime(timeRelocation ? relocationSeconds : restoreSeconds);
        if (moved != tree.files.size() || access(firstSource.c_str(), F_OK) != 0) {
            st.SkipWithError("not every file was moved up and back");
            break;
        }
    }
}

void BM_Relocate(benchmark::State& st, const char* name, std::size_t size) {
    static std::map<std::string, MoveTree> trees;
    auto it = trees.find(name);
    if (it == trees.end())
        it = trees.emplace(name, moveTree(name, size)).first;
    cycle(st, it->second, true);
}

void BM_Restore(benchmark::State& st, const char* name, std::size_t size) {
    static std::map<std::string, MoveTree> trees;
    auto it = trees.find(name);
    if (it == trees.end())
        it = trees.emplace(name, moveTree(name, size)).first;
    cycle(st, it->second, false);
}

} // namespace

BENCHMARK_CAPTURE(BM_Relocate, big, "move20MB", Big)
    ->Name("move/relocate_98x20MB")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Relocate, empty, "move0", 0)
    ->Name("move/relocate_98x0")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Restore, big, "move20MB", Big)
    ->Name("move/restore_98x20MB")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Restore, empty, "move0", 0)
    ->Name("move/restore_98x0")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace bench
