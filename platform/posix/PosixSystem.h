// The platform layer on Linux and other POSIX systems, in four parts: Paths.cpp
// maps the logic's paths to native ones and back (the program's own among
// them), Listing.cpp lists folders and reads attributes, Files.cpp makes the
// other file system calls, and Processes.cpp asks after processes and starts
// programs; Files.cpp also makes the one instance realSystem() gives. This
// header is private to them and to the tests (through platform/NativeSystem.h).
#pragma once

#include "platform/System.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace platform::posix {

class PosixSystem : public System {
public:
    // Listing.cpp
    std::optional<FoundFile> findFirst(const std::string& path) override;
    bool enumerate(const std::string& folder,
                   const std::function<void(const DirEntry&)>& each) override;
    bool enumerateWithoutReadOnly(const std::string& folder,
                                  const std::function<void(const DirEntry&)>& each) override;
    std::uint32_t attributes(const std::string& path) override;
    std::uint32_t nativeAttributes(std::string_view nativeUtf8) override;

    // Files.cpp
    bool copyNoReplace(const std::string& from, const std::string& to) override;
    FileResult rename(const std::string& from, const std::string& to, bool replace) override;
    bool removeFile(const std::string& path) override;
    std::optional<std::string> readFile(const std::string& path) override;
    std::optional<std::string> readPart(const std::string& path, std::uint64_t offset,
                                        std::size_t size) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    FileResult createFile(const std::string& path, const std::vector<std::string_view>& pieces,
                          const std::string& like) override;
    void syncFolder(const std::string& folder) override;
    std::optional<std::string> finalPath(const std::string& path) override;
    std::optional<FolderHold> holdFolder(const std::string& folder) override;

    // Processes.cpp
    std::uint32_t processId() override;
    bool processRunning(std::uint32_t id) override;
    LaunchResult shellOpen(const std::string& path, Process* started) override;
    std::vector<Process> processesRunning(const std::string& program) override;
    // A found process is its id: ended once no process has it (nothing to let go).
    bool processEnded(Process process) override;

    // Paths.cpp
    std::string ownExecutablePath() override;
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override;
    std::string toNativePath(std::string_view logicPath) override;
};

// The native path of a logic path, or nullopt when the logic path is not
// valid code page 932 (or holds a NUL byte): the file operations never act on
// a path that would name a different file.
std::optional<std::string> nativeOf(std::string_view logic);

// Files.cpp: the hold on a folder (stat'ed as `folder`) through a lock file in
// the user's runtime folder named from its device and inode, for where the
// folder itself cannot be locked; as holdFolder answers.
std::optional<FolderHold> holdByLockFile(const struct stat& folder);

} // namespace platform::posix
