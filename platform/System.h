// The platform layer: the operating-system operations that the logic calls.
//
// Paths given to and returned by this interface are in the logic's form:
// code page 932 bytes, backslash separators (on Linux "/home/a/b.exe" is
// "\home\a\b.exe"). Each implementation maps them to native paths.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Attribute bits as Windows reports them, but for ReparsePoint, which marks a
// link and nothing else: a symbolic link, a junction or a mount point (on
// Windows a reparse point whose tag is a name surrogate; cloud files such as
// OneDrive's, deduplicated and compressed ones are plain entries). Every
// question "is this a link", of a listed entry or of a path, reads this bit.
// Off Windows the bits are derived in one place (WindowsRules.h): read-only =
// no write bit at all in the mode; hidden = name starts with "."; system =
// neither a regular file nor a folder (FIFO, socket, device); folder =
// directory; a symbolic link carries ReparsePoint.
enum Attribute : std::uint32_t {
    AttrReadOnly = 0x1,
    AttrHidden = 0x2,
    AttrSystem = 0x4,
    AttrDirectory = 0x10,
    AttrArchive = 0x20,
    AttrReparsePoint = 0x400,
};
// What reading the attributes of a path gives on failure: every bit set.
constexpr std::uint32_t InvalidAttributes = 0xFFFFFFFFu;

struct DirEntry {
    // The entry's name in code page 932. When the native name cannot be
    // written in code page 932 (or holds a backslash or colon off Windows),
    // `faithful` is false and `name` is only fit for a message.
    std::string name;
    std::uint32_t attributes = 0;
    bool faithful = true;
};

struct FoundFile {
    std::string name; // the matched entry's name (the wildcard resolved)
    std::uint32_t attributes = 0;
    bool dosTime = false; // last-write time within 1980..2107 (local time)
};

// What asking the shell to start a file came to.
enum class LaunchResult {
    Started,
    Handed,    // to the desktop's opener: a process given is the opener's, not the program's
    Cancelled, // the user said no (the elevation prompt)
    Failed,
};

// A process the shell started, as the system names it (a process handle on
// Windows); NoProcess where the system gives none.
using Process = std::uintptr_t;
inline constexpr Process NoProcess = 0;

// What a folder is, wherever it lies and however it is spelled: its device
// and inode; its volume serial and file index on Windows.
struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    friend bool operator==(const FolderId&, const FolderId&) = default;
};

// A folder this process has taken: kept open, so that it is known by what it
// is and found wherever it is moved meanwhile, and held against other copies
// of the tool where the system can (a lock on the folder, a named object on
// Windows). Let go when its last copy goes, and with the process however it
// ends.
class HeldFolder {
public:
    virtual ~HeldFolder() = default;
    // The folder's identity, read from what is held when it was taken.
    virtual FolderId id() const = 0;
    // Where the folder lies now, in the logic's form with its separator;
    // nullopt when it is gone or its path cannot be written in code page 932.
    virtual std::optional<std::string> where() const = 0;
};
// Null where the folder could not be opened.
using FolderHold = std::shared_ptr<const HeldFolder>;

// What became of the desktop's opener that shellOpen handed a file to.
enum class OpenerState {
    Running,    // the opener itself runs
    NoProgram,  // it ended saying it found no program for the file
    Ended,      // it ended otherwise, and a process it started still runs
    EndedAlone, // it ended, and nothing it started runs any more
};

// What a primitive file operation came to.
enum class FileResult {
    Done,
    Exists,      // the target exists and was not to be replaced
    OtherDevice, // a rename cannot cross from one device to another
    Failed,
};

// The operations the logic calls. The pure virtual ones are each system's own
// calls (posix/*.cpp, win32/*.cpp); the others are the policy both
// systems share, written once over them (System.cpp).
class System {
public:
    virtual ~System() = default;

    // A directory search for one path; `*` and `?` in the last component match
    // like a Windows directory search ("*.*" matches every name), and the
    // first match of a pattern that fits "." is the folder itself, as there.
    // A symbolic link is found with its target's bits, or as a plain file
    // when it leads nowhere (as enumerate reports it). nullopt when nothing
    // matches.
    virtual std::optional<FoundFile> findFirst(const std::string& path) = 0;

    // Every entry of a folder except "." and "..", in the file system's order.
    // Symbolic links are reported, not followed. false when the folder cannot
    // be opened (nothing is reported then).
    virtual bool enumerate(const std::string& folder,
                           const std::function<void(const DirEntry&)>& each) = 0;

    // As enumerate, but the read-only bit may be left clear. Listing a folder
    // gives each entry's kind for free; its mode costs one more call per entry
    // on some systems. The survey asks for this once read-only items no longer
    // change its answer.
    virtual bool enumerateWithoutReadOnly(const std::string& folder,
                                          const std::function<void(const DirEntry&)>& each) {
        return enumerate(folder, each);
    }

    // Attribute bits of a path, or InvalidAttributes.
    virtual std::uint32_t attributes(const std::string& path) = 0;

    // Copies a file, flushed to the disk before success is reported; fails,
    // leaving the target untouched, when it exists. A failed copy leaves no
    // target behind.
    virtual bool copyNoReplace(const std::string& from, const std::string& to) = 0;
    // Renames a file in one step; without `replace` never over an existing
    // file (Exists then), also where names differ only in case.
    virtual FileResult rename(const std::string& from, const std::string& to, bool replace) = 0;
    virtual bool removeFile(const std::string& path) = 0;
    // The whole contents of a file, or nullopt.
    virtual std::optional<std::string> readFile(const std::string& path) = 0;
    // Up to `size` bytes of a file from `offset` (fewer at its end), or nullopt.
    virtual std::optional<std::string> readPart(const std::string& path, std::uint64_t offset,
                                                std::size_t size) = 0;
    // Whether two paths name one file (device and inode; volume and file
    // index), through links; false when either cannot be looked at.
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
    // Creates a file that must not exist yet (Exists then) holding the pieces
    // one after the other, flushed to the disk. When `like` names a file, the
    // new one gets its permissions (its mode, or its hidden and system marks).
    virtual FileResult createFile(const std::string& path,
                                  const std::vector<std::string_view>& pieces,
                                  const std::string& like) = 0;
    // Makes the renames in a folder survive a crash (where the system needs it).
    virtual void syncFolder(const std::string& folder) = 0;
    // The path itself, or where it points when it is a symbolic link (or
    // junction); nullopt for a link that cannot be followed.
    virtual std::optional<std::string> finalPath(const std::string& path) = 0;
    // This process's id, and whether a process of that id still runs.
    virtual std::uint32_t processId() = 0;
    virtual bool processRunning(std::uint32_t id) = 0;

    // Moves a file with one rename that never replaces an existing file; only
    // where a rename cannot work (another device) copies it under a temporary
    // name beside the target, flushes it, renames it into place (never
    // replacing) and then deletes the source. The file is never seen under its
    // name unless whole; a process killed midway leaves a temporary that
    // `removeStaleTemporaries` removes, or the file whole in both places.
    virtual bool moveNoReplace(const std::string& from, const std::string& to);
    // Replaces the file's contents as one step: a temporary file in the same
    // folder, flushed, then renamed over the old one, the folder flushed; a
    // link is written through and kept. false leaves the old file (or none)
    // untouched: also when the path names a folder or a read-only file. The
    // contents are the pieces one after the other.
    virtual bool writeAtomic(const std::string& path, const std::vector<std::string_view>& pieces);
    bool writeFileAtomic(const std::string& path, std::string_view contents) {
        return writeAtomic(path, {contents});
    }
    // Deletes the temporary files in a folder that writes and moves left
    // behind when their process was killed: only those made for one of
    // `names` (letter case folded, as pathrules::foldCase gives them), never a
    // file whose own name is among them, and never one of a process still
    // running.
    virtual void removeStaleTemporaries(const std::string& folder,
                                        const std::set<std::string>& names);

    // The shell's default action on a file, detached. With `started`, the
    // process it started, where the system tells (else NoProcess), kept until
    // releaseProcess.
    virtual LaunchResult shellOpen(const std::string& path, Process* started = nullptr) = 0;
    // Whether a process shellOpen or processesRunning gave has ended;
    // NoProcess has.
    virtual bool processEnded(Process) { return true; }
    // What became of an opener shellOpen handed a file to (the process it
    // gave with Handed); the opener is reaped once it has ended.
    virtual OpenerState openerState(Process) { return OpenerState::EndedAlone; }
    virtual void releaseProcess(Process) {}
    // The processes now running a program file (a path in the logic's form),
    // whoever started them: those whose program is that file under any
    // spelling, as sameFile decides. Each is kept until releaseProcess; on
    // Windows it can be waited on. A process the tool may not look at is
    // passed over.
    virtual std::vector<Process> processesRunning(const std::string& program) = 0;

    // Takes a folder (a path in the logic's form) for this process: every
    // spelling of it (other letters, a short name, a link on the way) gives
    // the same hold. nullopt when another process holds it; a process holds a
    // folder against its own second hold too. Where the system has no hold
    // (a file system without locks) the folder is still taken, unheld.
    virtual std::optional<FolderHold> holdFolder(const std::string& folder) = 0;
    // The identity of the folder a path names (with or without its
    // separator), through links; nullopt when it cannot be looked at.
    virtual std::optional<FolderId> folderId(const std::string& folder) = 0;

    // Full path of the running executable, in the logic's form.
    virtual std::string ownExecutablePath() = 0;

    // The edges. A native path as the user sees it (UTF-8: "/home/a/b.exe",
    // or "C:\a\b.exe" on Windows), made absolute, to the logic's form; nullopt
    // when it cannot be written faithfully in code page 932.
    virtual std::optional<std::string> fromNativePath(std::string_view nativeUtf8) = 0;
    // The logic's form back to the native path the user sees (UTF-8).
    virtual std::string toNativePath(std::string_view logicPath) = 0;
    // Attribute bits of a native path (UTF-8), whether or not the logic can
    // hold its name; InvalidAttributes when there is nothing there.
    virtual std::uint32_t nativeAttributes(std::string_view nativeUtf8) = 0;
    // Where a shell shortcut (a ".lnk" file on Windows) leads, as the open
    // dialog follows it (a native path); nullopt for any other file.
    virtual std::optional<std::string> shortcutTarget(std::string_view) { return std::nullopt; }
};

// The name a write or a move to `path` uses until its contents are whole:
// "~<name>.kwarino-<process id>-<n>.tmp" in the same folder. The tool's mark
// keeps a user's own "~x.1-2.tmp" from ever being taken for one.
std::string temporaryName(const std::string& path, std::uint32_t processId);
struct Temporary {
    std::string_view target; // the name it was made for
    std::uint32_t writer;    // the id of the process that made it
};
// What a file name of that form says, or nullopt when it is not one.
std::optional<Temporary> parseTemporaryName(std::string_view name);

// Whether two files hold the same bytes, read in pieces of bounded size;
// false when either cannot be read.
bool sameContents(System& sys, const std::string& a, const std::string& b);

// The implementation for the machine the tool runs on.
System& realSystem();

// The existence test every caller uses: a directory search for the path finds
// an entry, the entry is not a folder, and its last-write time lies in the DOS
// range. Wildcards match any fitting file.
bool fileExists(System& sys, const std::string& path);
// Whether a file (no folder) is there, whatever its time stamp: the test for a
// control file, which the tool wrote itself.
bool isFile(System& sys, const std::string& path);

} // namespace platform
