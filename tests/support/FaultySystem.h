// The real platform layer, failing the operations a test names: the way
// tests, which run as root, make a write or a move fail. It starts no programs.
#pragma once

#include "support/NoLaunchSystem.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

// The operations a test can make fail, named as the calls they stand for.
enum class Operation {
    findFirst,
    enumerate,
    enumerateWithoutReadOnly,
    attributes,
    copyNoReplace,
    rename,
    moveNoReplace,
    removeFile,
    readFile,
    readPart,
    createFile,
    writeFileAtomic,
    removeStaleTemporaries,
    shellOpen,
};
// Its name as `calls` records it ("rename").
const char* operationName(Operation op);

class FaultySystem : public NoLaunchSystem {
public:
    // Called before each operation with the operation and its first path;
    // true makes it fail.
    std::function<bool(Operation op, const std::string& path)> fail;
    // Every call, in order, as "op path".
    std::vector<std::string> calls;
    // When set, enumerate and enumerateWithoutReadOnly report a folder's
    // entries in this order instead of the file system's.
    std::function<bool(const platform::DirEntry&, const platform::DirEntry&)> enumerationOrder;
    // When true, writeAtomic keeps the text here instead of writing it.
    bool captureWrites = false;
    std::map<std::string, std::string> captured;
    // When true, every rename from one folder to another meets another device:
    // a move takes the way of a copy.
    bool otherDevice = false;

    std::optional<platform::FoundFile> findFirst(const std::string& path) override;
    bool enumerate(const std::string& folder,
                   const std::function<void(const platform::DirEntry&)>& each) override;
    bool
    enumerateWithoutReadOnly(const std::string& folder,
                             const std::function<void(const platform::DirEntry&)>& each) override;
    std::uint32_t attributes(const std::string& path) override;
    bool copyNoReplace(const std::string& from, const std::string& to) override;
    platform::FileResult rename(const std::string& from, const std::string& to,
                                bool replace) override;
    bool moveNoReplace(const std::string& from, const std::string& to) override;
    bool removeFile(const std::string& path) override;
    std::optional<std::string> readFile(const std::string& path) override;
    std::optional<std::string> readPart(const std::string& path, std::uint64_t offset,
                                        std::size_t size) override;
    platform::FileResult createFile(const std::string& path,
                                    const std::vector<std::string_view>& pieces,
                                    const std::string& like) override;
    bool writeAtomic(const std::string& path, const std::vector<std::string_view>& pieces) override;
    void removeStaleTemporaries(const std::string& folder,
                                const std::set<std::string>& names) override;
    // A failure injected here is a start the system refused.
    platform::LaunchResult shellOpen(const std::string& path, platform::Process* started) override;
    // With startsProcesses, a start gives a process numbered from 1, which
    // runs until a test puts its number into `ended`.
    bool startsProcesses = false;
    std::set<platform::Process> ended;
    bool processEnded(platform::Process process) override {
        return process == platform::NoProcess || ended.count(process) > 0;
    }
    // Programs a test has running, by their path in the logic's form, each
    // with its process until that is in `ended`; the system's are found too.
    std::multimap<std::string, platform::Process> running;
    std::vector<platform::Process> processesRunning(const std::string& program) override {
        std::vector<platform::Process> found = platform::NativeSystem::processesRunning(program);
        for (const auto& [path, process] : running)
            if (path == program && !processEnded(process))
                found.push_back(process);
        return found;
    }
    // Every process let go, in order.
    std::vector<platform::Process> released;
    void releaseProcess(platform::Process process) override { released.push_back(process); }

private:
    bool failing(Operation op, const std::string& path);
    platform::Process lastProcess = platform::NoProcess;
    // A listing through `list` (one of the real layer's), failed or sorted.
    template <typename List>
    bool listing(Operation op, const std::string& folder,
                 const std::function<void(const platform::DirEntry&)>& each, List list);
};

} // namespace testing_support
