// Inst.ini with a file list of 20,000 entries: written, then met by the restore
// at close, against one write and one read of the same bytes; and the close of
// long lists of missing files.
#include "Common.h"

#include "prepare/ControlFile.h"
#include "prepare/Restore.h"
#include "prepare/RunState.h"
#include "prepare/Texts.h"
#include "support/ProductNames.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench {
namespace {

using testing_support::Ini;

constexpr int Keys = 20000;

// Relative paths as a survey of a big tree gives them.
const std::vector<std::string>& folderFiles() {
    static const std::vector<std::string> files = [] {
        std::vector<std::string> v;
        char name[64];
        for (int i = 0; i < Keys; ++i) {
            std::snprintf(name, sizeof name, "d%04d\\file%03d.dat", i / 100, i % 100);
            v.emplace_back(name);
        }
        return v;
    }();
    return files;
}

const std::string& iniFolder() {
    static const std::string folder = [] {
        makeFolders(native("ini"));
        return native("ini");
    }();
    return folder;
}

// The request of a program folder holding the 20,000 files.
struct ControlFileSetup {
    prepare::RunState state;
    prepare::ControlFileRequest request;
    std::string path;
    ControlFileSetup() {
        prepare::setProgramFile(state, logic(iniFolder(), true) + "Sample.exe");
        request.application = prepare::sjis("サンプル");
        request.folderFiles = folderFiles();
        path = prepare::controlFilePath(state);
    }
};

// The bytes of that request's control file (written as for a relocated folder:
// two short lines more than the refused one's).
const std::string& controlFileBytes() {
    static const std::string bytes = [] {
        NoLaunchSystem sys;
        ControlFileSetup setup;
        std::string text;
        std::size_t items = 0;
        if (!prepare::writeControlFile(sys, setup.state, setup.request, items))
            text = sys.readFile(setup.path).value_or(std::string());
        sys.removeFile(setup.path);
        return text;
    }();
    return bytes;
}

// The list as a request on a folder of 20,000 files writes it: relocation
// is refused (more than 98 files), so the control file carries no InstallDir
// and the restore at close, run here as it is, reads no further than that.
void BM_ControlFileRefusedWriteClose(benchmark::State& st) {
    NoLaunchSystem sys;
    ControlFileSetup setup;
    setup.state.RelocationRefused = true;
    for (auto _ : st) {
        std::size_t items = 0;
        if (prepare::writeControlFile(sys, setup.state, setup.request, items)) {
            st.SkipWithError("the control file could not be written");
            break;
        }
        prepare::restoreControlFile(sys, setup.path);
        // The close leaves such a control file in place.
        if (!sys.removeFile(setup.path)) {
            st.SkipWithError("the control file was not left in place");
            break;
        }
    }
}

// The same bytes with one write (flushed to the disk, as the control file
// is) and one read.
void BM_RawWriteRead(benchmark::State& st) {
    const std::string& bytes = controlFileBytes();
    std::string back(bytes.size() + 1, '\0');
    const std::string path = iniFolder() + "/raw.ini";
    for (auto _ : st) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool ok = !bytes.empty() && fd >= 0 &&
                  write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        ok = ok && fsync(fd) == 0;
        if (fd >= 0)
            close(fd);
        fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ok = ok && fd >= 0 &&
             read(fd, back.data(), back.size()) == static_cast<ssize_t>(bytes.size());
        if (fd >= 0)
            close(fd);
        unlink(path.c_str());
        if (!ok) {
            st.SkipWithError("write or read failed");
            break;
        }
        benchmark::DoNotOptimize(back.data());
    }
    st.counters["bytes"] = static_cast<double>(bytes.size());
}

// The same bytes through the platform layer's own file calls: the atomic
// write the control file uses (a temporary name, flushed, renamed, the folder
// flushed) and one read; what the profile file adds beyond the disk.
void BM_AtomicWriteRead(benchmark::State& st) {
    NoLaunchSystem sys;
    const std::string& bytes = controlFileBytes();
    const std::string path = logic(iniFolder() + "/atomic.ini");
    for (auto _ : st) {
        const bool written = sys.writeFileAtomic(path, bytes);
        const std::optional<std::string> back = sys.readFile(path);
        sys.removeFile(path);
        if (bytes.empty() || !written || !back || back->size() != bytes.size()) {
            st.SkipWithError("write or read failed");
            break;
        }
    }
}

// A control file a careless or hostile download may ship: InstallDir and a
// list whose files are not there. The close meets it (timed alone); ten times
// the entries must cost about ten times as long.
void BM_CloseOfMissingFiles(benchmark::State& st) {
    NoLaunchSystem sys;
    std::string text = "[Install]\r\nInstallDir=Sample\r\n[Files]\r\n";
    char line[64];
    for (int i = 0; i < st.range(0); ++i) {
        std::snprintf(line, sizeof line, "Item%d=d%04d\\file%03d.dat\r\n", i + 1, i / 100, i % 100);
        text += line;
    }
    const std::string path = logic(iniFolder() + "/" + Ini);
    for (auto _ : st) {
        if (!sys.writeFileAtomic(path, text)) {
            st.SkipWithError("the control file could not be written");
            break;
        }
        const Stopwatch watch;
        const prepare::RestoreReport report = prepare::restoreControlFile(sys, path);
        st.SetIterationTime(watch.seconds());
        if (!report.notBack.empty() || !report.unreadable.empty() || platform::isFile(sys, path)) {
            st.SkipWithError("the close did not meet the list as expected");
            break;
        }
    }
}

} // namespace

BENCHMARK(BM_CloseOfMissingFiles)
    ->Name("ini/close_10001_missing_files")
    ->Arg(10001)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloseOfMissingFiles)
    ->Name("ini/close_100001_missing_files")
    ->Arg(100001)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWriteRead)->Name("ini/raw_one_write_one_read")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AtomicWriteRead)
    ->Name("ini/atomic_write_read_same_bytes")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ControlFileRefusedWriteClose)
    ->Name("ini/control_file_20000_refused_write_and_close")
    ->Unit(benchmark::kMillisecond);

} // namespace bench
