// What the benchmarks share: the folder their trees live in, tree builders,
// and a platform layer that never starts a program.
#pragma once

#include "platform/System.h"
#include "support/NoLaunchSystem.h"

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
using NoLaunchSystem = testing_support::NoLaunchSystem;

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
