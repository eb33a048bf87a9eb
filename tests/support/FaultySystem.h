// A platform layer that forwards to another and fails the operations a test
// names: the way tests, which run as root, make a write or a move fail.
#pragma once

#include "platform/System.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

class FaultySystem : public platform::System {
public:
    explicit FaultySystem(platform::System& inner) : inner_(inner) {}

    // Called before each operation with its name ("findFirst", "enumerate",
    // "enumerateWithoutReadOnly", "attributes", "copyNoReplace", "moveNoReplace", "removeFile",
    // "readFile", "writeFileAtomic", "removeStaleTemporaries", "shellOpen") and its first path;
    // true makes it fail.
    std::function<bool(const std::string& op, const std::string& path)> fail;
    // Every call, in order, as "op path".
    std::vector<std::string> calls;
    // When set, enumerate and enumerateWithoutReadOnly report a folder's
    // entries in this order instead of the file system's.
    std::function<bool(const platform::DirEntry&, const platform::DirEntry&)> enumerationOrder;
    // When true, writeAtomic keeps the text here instead of writing it.
    bool captureWrites = false;
    std::map<std::string, std::string> captured;

    std::optional<platform::FoundFile> findFirst(const std::string& path) override;
    bool enumerate(const std::string& folder,
                   const std::function<void(const platform::DirEntry&)>& each) override;
    bool
    enumerateWithoutReadOnly(const std::string& folder,
                             const std::function<void(const platform::DirEntry&)>& each) override;
    std::uint32_t attributes(const std::string& path) override;
    bool copyNoReplace(const std::string& from, const std::string& to) override;
    bool moveNoReplace(const std::string& from, const std::string& to) override;
    bool removeFile(const std::string& path) override;
    std::optional<std::string> readFile(const std::string& path) override;
    bool writeAtomic(const std::string& path, const std::vector<std::string_view>& pieces) override;
    void removeStaleTemporaries(const std::string& path) override;
    void shellOpen(const std::string& path) override;
    std::string ownExecutablePath() override { return inner_.ownExecutablePath(); }
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override {
        return inner_.fromNativePath(nativeUtf8);
    }
    std::string toNativePath(std::string_view logicPath) override {
        return inner_.toNativePath(logicPath);
    }

private:
    bool failing(const char* op, const std::string& path);
    // A listing through `list` (one of the inner layer's), failed or sorted.
    template <typename List>
    bool listing(const char* op, const std::string& folder,
                 const std::function<void(const platform::DirEntry&)>& each, List list);
    platform::System& inner_;
};

} // namespace testing_support
