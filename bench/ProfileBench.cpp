// Inst.ini with a file list of 20,000 entries: written, then read back as the
// restore at close reads it, against one write and one read of the same bytes.
#include "Common.h"

#include "platform/ProfileFile.h"
#include "prepare/ControlFile.h"
#include "prepare/RunState.h"
#include "prepare/Texts.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench {
namespace {

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

// Writes the list as the control file does and reads it back as the restore
// does; returns the number of bytes read back, to be checked.
std::size_t writeAndReadBack(platform::System& sys, const std::string& path) {
    platform::ProfileFile out;
    std::size_t n = 0;
    for (const std::string& file : folderFiles())
        out.write("Files", "Item" + std::to_string(++n), file);
    out.write("Files", "Item" + std::to_string(n + 1), "Inst.ini");
    if (!out.save(sys, path))
        return 0;

    const platform::ProfileFile in = platform::ProfileFile::load(sys, path);
    std::size_t bytes = in.hasKey("Install", "InstallDir") ? 1 : 0;
    for (const std::string& key : in.keys("Files"))
        bytes += in.read("Files", key, "Nothing").size();
    return bytes;
}

std::size_t expectedBytes() {
    std::size_t bytes = 8; // "Inst.ini"
    for (const std::string& file : folderFiles())
        bytes += file.size();
    return bytes;
}

void BM_ProfileWriteRead(benchmark::State& st) {
    NoLaunchSystem sys(platform::realSystem());
    const std::string path = logic(iniFolder() + "/Inst.ini");
    const std::size_t expected = expectedBytes();
    for (auto _ : st) {
        if (writeAndReadBack(sys, path) != expected) {
            st.SkipWithError("the file did not read back as written");
            break;
        }
        sys.removeFile(path);
    }
    st.counters["keys"] = Keys + 1;
}

// The same bytes with one write (flushed to the disk, as the control file
// is) and one read.
void BM_RawWriteRead(benchmark::State& st) {
    platform::ProfileFile profile;
    std::size_t n = 0;
    for (const std::string& file : folderFiles())
        profile.write("Files", "Item" + std::to_string(++n), file);
    profile.write("Files", "Item" + std::to_string(n + 1), "Inst.ini");
    const std::string bytes = profile.serialize();
    std::string back(bytes.size() + 1, '\0');
    const std::string path = iniFolder() + "/raw.ini";
    for (auto _ : st) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool ok =
            fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
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
// write the control file uses (an unnamed file, flushed, linked, the folder
// flushed) and one read; what the profile file adds beyond the disk.
void BM_AtomicWriteRead(benchmark::State& st) {
    NoLaunchSystem sys(platform::realSystem());
    platform::ProfileFile profile;
    std::size_t n = 0;
    for (const std::string& file : folderFiles())
        profile.write("Files", "Item" + std::to_string(++n), file);
    profile.write("Files", "Item" + std::to_string(n + 1), "Inst.ini");
    const std::string bytes = profile.serialize();
    const std::string path = logic(iniFolder() + "/atomic.ini");
    for (auto _ : st) {
        const bool written = sys.writeFileAtomic(path, bytes);
        const std::optional<std::string> back = sys.readFile(path);
        sys.removeFile(path);
        if (!written || !back || back->size() != bytes.size()) {
            st.SkipWithError("write or read failed");
            break;
        }
    }
}

// The whole control file of a request with 20,000 files, then read back as at
// close (the key InstallDir, the list, every value).
void BM_ControlFileWriteRead(benchmark::State& st) {
    NoLaunchSystem sys(platform::realSystem());
    prepare::RunState state;
    prepare::setProgramFile(state, logic(iniFolder(), true) + "Sample.exe");
    prepare::ControlFileRequest request;
    request.application = prepare::sjis("サンプル");
    request.folderFiles = folderFiles();
    const std::string path = prepare::controlFilePath(state);
    for (auto _ : st) {
        if (prepare::writeControlFile(sys, state, request)) {
            st.SkipWithError("the control file could not be written");
            break;
        }
        const platform::ProfileFile in = platform::ProfileFile::load(sys, path);
        std::size_t entries = in.hasKey("Install", "InstallDir") ? 0 : 1;
        for (const std::string& key : in.keys("Files"))
            entries += in.read("Files", key, "Nothing").empty() ? 0 : 1;
        if (entries != folderFiles().size() + 1) {
            st.SkipWithError("the control file did not read back");
            break;
        }
        sys.removeFile(path);
    }
}

} // namespace

BENCHMARK(BM_RawWriteRead)->Name("ini/raw_one_write_one_read")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AtomicWriteRead)
    ->Name("ini/atomic_write_read_same_bytes")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileWriteRead)
    ->Name("ini/profile_20000_write_save_load_read")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ControlFileWriteRead)
    ->Name("ini/control_file_20000_write_and_close_read")
    ->Unit(benchmark::kMillisecond);

} // namespace bench
