// What the benchmarks share: the folder their trees live in, tree builders,
// and a platform layer that never starts a program.
#pragma once

#include "platform/System.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// The folder given on the command line (--kw_dir=...); the trees are built
// below it on first use and kept for the rest of the run.
void setRoot(std::string nativeFolder);
const std::string& root();
// root() + "/" + relative.
std::string native(const std::string& relative);
// The logic's form of a native path ("/a/b" -> "\a\b"); a folder's form ends
// with a backslash when `folder` is set.
std::string logic(const std::string& nativePath, bool folder = false);

// Creates the folders on the way and the file: `size` bytes, allocated with
// fallocate (so a 20 MB file costs no 20 MB of writing) or written when
// `written` is set.
void makeFile(const std::string& nativePath, std::size_t size, bool written = false);
// A folder and its parents.
void makeFolders(const std::string& nativePath);
// Runs `build` (given the tree's native path) once for the tree `name`: a
// marker beside the tree remembers it for later runs on the same folder.
void ensureTree(const std::string& name, const std::function<void(const std::string&)>& build);

// The tree of the survey: `folders` folders of `filesEach` empty files each,
// directly below `top`.
void buildFlatTree(const std::string& top, int folders, int filesEach);

// The real platform layer, except that shellOpen starts nothing.
class NoLaunchSystem : public platform::System {
public:
    explicit NoLaunchSystem(platform::System& inner) : inner_(inner) {}
    std::optional<platform::FoundFile> findFirst(const std::string& path) override {
        return inner_.findFirst(path);
    }
    bool enumerate(const std::string& folder,
                   const std::function<void(const platform::DirEntry&)>& each) override {
        return inner_.enumerate(folder, each);
    }
    bool
    enumerateWithoutReadOnly(const std::string& folder,
                             const std::function<void(const platform::DirEntry&)>& each) override {
        return inner_.enumerateWithoutReadOnly(folder, each);
    }
    std::uint32_t attributes(const std::string& path) override { return inner_.attributes(path); }
    bool copyNoReplace(const std::string& from, const std::string& to) override {
        return inner_.copyNoReplace(from, to);
    }
    bool moveNoReplace(const std::string& from, const std::string& to) override {
        return inner_.moveNoReplace(from, to);
    }
    bool removeFile(const std::string& path) override { return inner_.removeFile(path); }
    std::optional<std::string> readFile(const std::string& path) override {
        return inner_.readFile(path);
    }
    bool writeFileAtomic(const std::string& path, std::string_view contents) override {
        return inner_.writeFileAtomic(path, contents);
    }
    void shellOpen(const std::string&) override {}
    std::string ownExecutablePath() override { return inner_.ownExecutablePath(); }
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override {
        return inner_.fromNativePath(nativeUtf8);
    }
    std::string toNativePath(std::string_view logicPath) override {
        return inner_.toNativePath(logicPath);
    }

protected:
    platform::System& inner_;
};

// Seconds of a steady clock, for benchmarks that time only part of an
// iteration (UseManualTime).
class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

} // namespace bench
