// The platform layer on Linux and other POSIX systems, in four parts: Paths.cpp
// maps the logic's paths to native ones and back (the program's own among
// them), Listing.cpp lists folders and reads attributes, Files.cpp makes the
// other file system calls, and Processes.cpp asks after processes and starts
// programs; Files.cpp also makes the one instance realSystem() gives. This
// header is private to them and to the tests (through platform/NativeSystem.h).
#pragma once

#include "platform/System.h"

#include <functional>
#include <map>
#include <memory>
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
    std::optional<FolderId> folderId(const std::string& folder) override;

    // Processes.cpp
    std::uint32_t processId() override;
    bool processRunning(std::uint32_t id) override;
    LaunchResult shellOpen(const std::string& path, Process* started) override;
    std::vector<Process> processesRunning(const std::string& program) override;
    // A found process is its id: ended once no process has it (nothing to let go).
    // An opener is this process's child: ended once reaped, its exit status kept.
    bool processEnded(Process process) override;
    OpenerState openerState(Process process) override;
    void releaseProcess(Process process) override;

    // Paths.cpp
    std::string ownExecutablePath() override;
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override;
    std::string toNativePath(std::string_view logicPath) override;

private:
    // The openers started, by process id: running (nullopt) or their exit status.
    std::map<Process, std::optional<int>> openers_;
    // Reaps the openers that have ended.
    void reapOpeners();
};

// The native path of a logic path, or nullopt when the logic path is not
// valid code page 932 (or holds a NUL byte): the file operations never act on
// a path that would name a different file.
std::optional<std::string> nativeOf(std::string_view logic);

// An open file kept, and the lock on it, until the last copy goes.
using Lock = std::shared_ptr<const void>;

// Paths.cpp: a native absolute path to the logic's form, as fromNativePath.
std::optional<std::string> logicOf(std::string_view nativeUtf8);

// Files.cpp: the lock on a folder (stat'ed as `folder`) through a lock file
// named from its device and inode, for where the folder itself cannot be
// locked: nullopt when another copy holds it, a null lock where none can be
// had. The lock file lies in the user's runtime folder, else in
// "kwarino-<uid>" in the temporary folder ($TMPDIR, else /tmp), made 0700;
// either only while it is a folder (not a link), the user's own and private.
std::optional<Lock> holdByLockFile(const struct stat& folder);

// Processes.cpp: the look for the processes that run a file, in parts.

// One line of /proc/<pid>/maps: the mapped file's device (major:minor, in hex
// there) and inode (0 for memory of no file), and its path (blanks kept), the
// kernel's mark " (deleted)" taken off into `deleted`.
struct MapsLine {
    dev_t device = 0;
    ino_t inode = 0;
    std::string_view path;
    bool deleted = false;
};
// nullopt for a line of another form.
std::optional<MapsLine> parseMapsLine(std::string_view line);
// Whether a line shows the file stat'ed as `file`, whose file name folded to
// lower case is `name`: by device and inode; or, where a file system shows
// mapped files with another device than stat gives (overlayfs gives the
// layer's), by a path of that name that `statOf` finds to be the file.
using StatOf = std::function<bool(const std::string& path, struct stat& st)>;
bool showsFile(const MapsLine& line, const struct stat& file, std::string_view name,
               const StatOf& statOf);
// Whether an executable (as /proc/<pid>/exe names it) is one of Wine's
// loaders, whose processes run Windows programs under any command line.
bool isWineLoader(std::string_view exe);

} // namespace platform::posix
