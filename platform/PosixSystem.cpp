// The platform layer on Linux and other POSIX systems.
//
// Paths: the logic's "\home\a\b.exe" (code page 932) is the native
// "/home/a/b.exe" (UTF-8). The backslash of the logic's form is found
// character-aware by decoding the code page 932 text first: the trail byte
// 0x5C of "ソ" becomes part of U+30BD and never a slash. A native name that
// cannot be written faithfully in the logic's Windows form (not UTF-8, a
// character code page 932 cannot hold, a backslash, a colon or a control
// character) does not enter the logic as a path.
#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "platform/System.h"
#include "platform/WindowsRules.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

using namespace windowsrules;

// The attribute bits of an entry of this mode (its target's, through a link).
std::uint32_t modeBits(mode_t mode, bool hiddenName, Link link) {
    const Kind kind = S_ISDIR(mode) ? Kind::Folder : S_ISREG(mode) ? Kind::File : Kind::Other;
    return attributeBits(kind, (mode & 0222) != 0, hiddenName, link);
}

bool isDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Looks at a path (relative to `dirFd`), and through it when it is a link:
// `st` then describes the target, or stays the link's own when it leads
// nowhere. false when the path itself cannot be examined.
bool lookThrough(int dirFd, const char* name, struct stat& st, Link& link) {
    link = Link::None;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        link = fstatat(dirFd, name, &target, 0) == 0 ? Link::Resolved : Link::Dangling;
        if (link == Link::Resolved)
            st = target;
    }
    return true;
}

// The mode of a folder entry, through a link. false when the entry has
// vanished since it was listed.
bool entryMode(int dirFd, const char* name, unsigned char type, mode_t& mode, Link& link) {
    struct stat st;
    if (!lookThrough(dirFd, name, st, link)) {
        if (errno == ENOENT)
            return false;
        // The entry is listed but cannot be examined: take its type from the
        // listing and assume it writable.
        switch (type) {
        case DT_DIR:
            mode = S_IFDIR | 0755;
            break;
        case DT_REG:
            mode = S_IFREG | 0644;
            break;
        case DT_LNK:
            link = Link::Dangling;
            mode = S_IFLNK | 0777;
            break;
        default:
            mode = S_IFIFO | 0644;
            break;
        }
        return true;
    }
    mode = st.st_mode;
    return true;
}

// ---------------------------------------------------------------------------
// Names and paths.
// ---------------------------------------------------------------------------

// The native path of a logic path, or nullopt when the logic path is not
// valid code page 932 (or holds a NUL byte): the file operations never act on
// a path that would name a different file.
std::optional<std::string> nativeOf(std::string_view logic) {
    if (logic.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::optional<std::string> utf8 = utf8FromCp932(logic);
    if (!utf8)
        return std::nullopt;
    // UTF-8 never holds the byte 0x5C inside a multi-byte character, so every
    // 0x5C left is a backslash of the logic's form.
    for (char& c : *utf8)
        if (c == '\\')
            c = '/';
    return utf8;
}

// The last component of a native path, ignoring trailing slashes.
std::string_view nativeFileName(std::string_view native) {
    while (native.size() > 1 && native.back() == '/')
        native.remove_suffix(1);
    std::size_t slash = native.rfind('/');
    return slash == std::string_view::npos ? native : native.substr(slash + 1);
}

// ---------------------------------------------------------------------------
// Directory search.
// ---------------------------------------------------------------------------

bool inDosRange(time_t t) {
    struct tm local;
    if (localtime_r(&t, &local) == nullptr)
        return false;
    long year = static_cast<long>(local.tm_year) + 1900;
    return inDosYears(year);
}

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// Opens a folder for listing; the descriptor serves the fstatat calls too.
DirHandle openFolder(const std::string& native) {
    int fd = open(native.empty() ? "." : native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* d = fdopendir(fd);
    if (d == nullptr)
        close(fd);
    return DirHandle(d);
}

// ---------------------------------------------------------------------------
// File contents.
// ---------------------------------------------------------------------------

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded.
    bool closeChecked() {
        int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool copyByReadWrite(int in, int out) {
    std::unique_ptr<char[]> buffer(new char[1 << 17]);
    for (;;) {
        ssize_t n = read(in, buffer.get(), 1 << 17);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!writeAll(out, buffer.get(), static_cast<std::size_t>(n)))
            return false;
    }
}

// Copies from the current offsets to the end of `in`: in the kernel where the
// file systems allow it, otherwise through a buffer.
bool copyData(int in, int out) {
    bool copiedAny = false;
    for (;;) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
        if (n > 0) {
            copiedAny = true;
            continue;
        }
        if (n == 0 && copiedAny)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        // Not supported here (another device, an old kernel, a file system
        // without it), or 0 at once, which some pseudo files report although
        // they have contents: read and write from where the copy stands.
        return copyByReadWrite(in, out);
    }
}

// Copies a regular file to a new file that must not exist yet, with the
// source's mode and times, flushed to the disk before success is reported (the
// caller may delete the source next). A failed copy removes what it created.
bool copyFileNoReplace(const std::string& from, const std::string& to) {
    Fd in(open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (in.get() < 0)
        return false;
    struct stat st;
    if (fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    Fd out(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600));
    if (out.get() < 0)
        return false;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    bool ok = copyData(in.get(), out.get()) && fchmod(out.get(), st.st_mode & 07777) == 0 &&
              futimens(out.get(), times) == 0 && fsync(out.get()) == 0;
    ok = out.closeChecked() && ok;
    if (!ok)
        unlink(to.c_str());
    return ok;
}

int renameNoReplace(const char* from, const char* to) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
    return renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
    return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1u));
#endif
}

// The full path of an executable found on PATH, or empty.
std::string findOnPath(const char* program) {
    const char* path = getenv("PATH");
    std::string_view rest = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (;;) {
        std::size_t colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        std::string candidate = dir.empty() ? "." : std::string(dir);
        candidate += '/';
        candidate += program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos)
            return {};
        rest.remove_prefix(colon + 1);
    }
}

// Lists a folder. With `readOnly` each entry's mode is read (one fstatat per
// entry) for its write bits; without it the kind comes from the listing alone,
// and only entries whose kind the listing leaves open (a link, or a file
// system that reports no kinds) are examined.
bool listFolder(const std::string& folder, bool readOnly,
                const std::function<void(const DirEntry&)>& each) {
    std::optional<std::string> native = nativeOf(folder);
    if (!native || native->empty())
        return false;
    DirHandle dir = openFolder(*native);
    if (!dir)
        return false;
    const int fd = dirfd(dir.get());
    DirEntry entry; // reused: its name keeps its capacity from entry to entry
    while (const dirent* d = readdir(dir.get())) {
        const char* name = d->d_name;
        if (isDotOrDotDot(name))
            continue;
        const bool hidden = name[0] == '.';
        if (!readOnly && d->d_type != DT_LNK && d->d_type != DT_UNKNOWN) {
            // The kind as the listing gives it; the read-only bit stays clear.
            const Kind kind = d->d_type == DT_DIR   ? Kind::Folder
                              : d->d_type == DT_REG ? Kind::File
                                                    : Kind::Other;
            entry.attributes = attributeBits(kind, true, hidden, Link::None);
        } else {
            mode_t mode;
            Link link;
            if (!entryMode(fd, name, d->d_type, mode, link))
                continue; // deleted since it was listed
            entry.attributes = modeBits(mode, hidden, link);
        }
        entry.faithful = logicName(name, entry.name);
        each(entry);
    }
    return true;
}

// ---------------------------------------------------------------------------

class PosixSystem final : public System {
public:
    std::optional<FoundFile> findFirst(const std::string& path) override;
    bool enumerate(const std::string& folder,
                   const std::function<void(const DirEntry&)>& each) override {
        return listFolder(folder, true, each);
    }
    bool enumerateWithoutReadOnly(const std::string& folder,
                                  const std::function<void(const DirEntry&)>& each) override {
        return listFolder(folder, false, each);
    }
    std::uint32_t attributes(const std::string& path) override;
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
    std::uint32_t processId() override { return static_cast<std::uint32_t>(getpid()); }
    bool processRunning(std::uint32_t id) override {
        return kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH;
    }
    LaunchResult shellOpen(const std::string& path, Process* started) override;
    std::string ownExecutablePath() override;
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override;
    std::string toNativePath(std::string_view logicPath) override;
    std::optional<FolderHold> holdFolder(const std::string& folder) override;
    std::uint32_t nativeAttributes(std::string_view nativeUtf8) override;
};

std::optional<FoundFile> PosixSystem::findFirst(const std::string& path) {
    // A path that ends in a backslash names a folder's inside, never a file.
    if (path.empty() || pathrules::endsWithBackslash(path))
        return std::nullopt;
    std::string_view pattern = pathrules::fileNamePart(path);
    {
        // A name that stands in the folder as it is, "*" or "?" in it or not,
        // is what the search finds: Windows names hold neither, so there the
        // two never differ. A link to nothing is found as the file it is, as
        // the listing reports it.
        std::optional<std::string> native = nativeOf(path);
        struct stat st;
        Link link;
        if (native && lookThrough(AT_FDCWD, native->c_str(), st, link)) {
            FoundFile found;
            found.name = std::string(pattern);
            found.attributes = modeBits(st.st_mode, isHiddenName(pattern), link);
            found.dosTime = inDosRange(st.st_mtim.tv_sec);
            return found;
        }
    }
    if (pattern.find_first_of("*?") == std::string_view::npos)
        return std::nullopt;

    std::optional<std::string> folder = nativeOf(pathrules::folderPart(path));
    if (!folder)
        return std::nullopt;
    DirHandle dir = openFolder(*folder);
    if (!dir)
        return std::nullopt;
    // As on Windows, a folder's own "." is the first entry a pattern can
    // match ("*", "*.*", "?"): a folder, so no existing file.
    if (wildcardMatch(pattern, "."))
        return FoundFile{".", AttrDirectory | AttrHidden, true};
    const int fd = dirfd(dir.get());
    std::string name;
    while (const dirent* d = readdir(dir.get())) {
        if (isDotOrDotDot(d->d_name))
            continue;
        // A name that is not faithful is matched in its message form, so that
        // "*" still finds it.
        logicName(d->d_name, name);
        if (!wildcardMatch(pattern, name))
            continue;
        struct stat st;
        Link link;
        if (!lookThrough(fd, d->d_name, st, link))
            continue;
        FoundFile found;
        found.name = name;
        found.attributes = modeBits(st.st_mode, isHiddenName(d->d_name), link);
        found.dosTime = inDosRange(st.st_mtim.tv_sec);
        return found;
    }
    return std::nullopt;
}

std::uint32_t PosixSystem::nativeAttributes(std::string_view nativeUtf8) {
    const std::string native(nativeUtf8);
    struct stat st;
    Link link;
    if (native.empty() || !lookThrough(AT_FDCWD, native.c_str(), st, link))
        return InvalidAttributes;
    return modeBits(st.st_mode, isHiddenName(nativeFileName(native)), link);
}

std::uint32_t PosixSystem::attributes(const std::string& path) {
    std::optional<std::string> native = nativeOf(path);
    struct stat st;
    Link link;
    if (!native || !lookThrough(AT_FDCWD, native->c_str(), st, link))
        return InvalidAttributes;
    return modeBits(st.st_mode, isHiddenName(nativeFileName(*native)), link);
}

bool PosixSystem::copyNoReplace(const std::string& from, const std::string& to) {
    std::optional<std::string> source = nativeOf(from);
    std::optional<std::string> target = nativeOf(to);
    return source && target && copyFileNoReplace(*source, *target);
}

FileResult PosixSystem::rename(const std::string& from, const std::string& to, bool replace) {
    std::optional<std::string> source = nativeOf(from);
    std::optional<std::string> target = nativeOf(to);
    if (!source || !target)
        return FileResult::Failed;
    const int done = replace ? ::rename(source->c_str(), target->c_str())
                             : renameNoReplace(source->c_str(), target->c_str());
    if (done == 0)
        return FileResult::Done;
    if (errno == EINVAL && !replace) {
        // The file system cannot rename without replacing: a hard link fails
        // as well when the target exists.
        if (link(source->c_str(), target->c_str()) == 0) {
            if (unlink(source->c_str()) == 0)
                return FileResult::Done;
            unlink(target->c_str());
            return FileResult::Failed;
        }
    }
    switch (errno) {
    case EEXIST:
        return FileResult::Exists;
    case EXDEV:
        return FileResult::OtherDevice;
    default:
        return FileResult::Failed;
    }
}

bool PosixSystem::removeFile(const std::string& path) {
    std::optional<std::string> native = nativeOf(path);
    return native && unlink(native->c_str()) == 0;
}

// Up to `size` bytes of a regular file from `offset` (all of it for npos), or
// nullopt.
std::optional<std::string> readRegular(const std::optional<std::string>& native,
                                       std::uint64_t offset, std::size_t size) {
    if (!native)
        return std::nullopt;
    // O_NONBLOCK: a FIFO must not hang the open; it is refused below.
    Fd in(open(native->c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (in.get() < 0 || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    const bool whole = size == std::string::npos;
    std::string contents(whole ? static_cast<std::size_t>(st.st_size) + 1 : size, '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == contents.size()) {
            if (!whole)
                break;
            contents.resize(contents.size() * 2);
        }
        const ssize_t n = pread(in.get(), contents.data() + used, contents.size() - used,
                                static_cast<off_t>(offset + used));
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        used += static_cast<std::size_t>(n);
    }
    contents.resize(used);
    return contents;
}

std::optional<std::string> PosixSystem::readFile(const std::string& path) {
    return readRegular(nativeOf(path), 0, std::string::npos);
}

std::optional<std::string> PosixSystem::readPart(const std::string& path, std::uint64_t offset,
                                                 std::size_t size) {
    return readRegular(nativeOf(path), offset, size);
}

bool PosixSystem::sameFile(const std::string& a, const std::string& b) {
    std::optional<std::string> x = nativeOf(a);
    std::optional<std::string> y = nativeOf(b);
    struct stat sx, sy;
    return x && y && stat(x->c_str(), &sx) == 0 && stat(y->c_str(), &sy) == 0 &&
           sx.st_dev == sy.st_dev && sx.st_ino == sy.st_ino;
}

FileResult PosixSystem::createFile(const std::string& path,
                                   const std::vector<std::string_view>& pieces,
                                   const std::string& like) {
    std::optional<std::string> native = nativeOf(path);
    if (!native)
        return FileResult::Failed;
    const int fd = open(native->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return errno == EEXIST ? FileResult::Exists : FileResult::Failed;
    Fd out(fd);
    bool ok = true;
    for (std::string_view piece : pieces)
        ok = ok && writeAll(fd, piece.data(), piece.size());
    if (!like.empty()) {
        std::optional<std::string> model = nativeOf(like);
        struct stat st;
        ok = ok && model && stat(model->c_str(), &st) == 0 && fchmod(fd, st.st_mode & 07777) == 0;
    }
    ok = ok && fsync(fd) == 0;
    ok = out.closeChecked() && ok;
    return ok ? FileResult::Done : FileResult::Failed;
}

void PosixSystem::syncFolder(const std::string& folder) {
    std::optional<std::string> native = nativeOf(folder);
    if (!native)
        return;
    Fd dir(open(native->empty() ? "." : native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        fsync(dir.get());
}

std::optional<std::string> PosixSystem::finalPath(const std::string& path) {
    std::optional<std::string> native = nativeOf(path);
    struct stat st;
    if (!native)
        return std::nullopt;
    if (lstat(native->c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    std::unique_ptr<char, decltype(&free)> real(realpath(native->c_str(), nullptr), &free);
    if (!real)
        return std::nullopt;
    return fromNativePath(real.get());
}

std::optional<FolderHold> PosixSystem::holdFolder(const std::string& folder) {
    // An advisory lock on the folder itself, whatever path leads to it. Each
    // open is a lock of its own, so a process meets its own second hold. Not
    // inherited by the programs the tool starts.
    const std::optional<std::string> native = nativeOf(folder);
    const int fd = native ? open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (fd < 0)
        return FolderHold();
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        close(fd);
        if (busy)
            return std::nullopt;
        return FolderHold(); // no locks there (some network file systems)
    }
    return FolderHold(new int(fd), [](const void* held) {
        const int* owned = static_cast<const int*>(held);
        close(*owned);
        delete owned;
    });
}

LaunchResult PosixSystem::shellOpen(const std::string& path, Process* started) {
    // The desktop's opener starts the program and ends: no process to follow.
    if (started)
        *started = NoProcess;
    std::optional<std::string> native = nativeOf(path);
    if (!native)
        return LaunchResult::Failed;
    // Everything the children need is prepared before fork: between fork and
    // exec only async-signal-safe calls are made.
    std::string opener = findOnPath("xdg-open");
    if (opener.empty())
        return LaunchResult::Failed;
    char* argv[] = {opener.data(), native->data(), nullptr};
    // The opener's exec closes this pipe; a failed exec writes to it first.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return LaunchResult::Failed;
    int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    sigset_t none;
    sigemptyset(&none);

    pid_t child = fork();
    if (child == 0) {
        // The middle process: a new session, one more fork, and gone at once,
        // so the opener is adopted by init and never becomes our zombie.
        setsid();
        pid_t grandchild = fork();
        if (grandchild == 0) {
            sigprocmask(SIG_SETMASK, &none, nullptr);
            if (devNull >= 0) {
                for (int target = 0; target <= 2; ++target) {
                    if (devNull == target)
                        fcntl(target, F_SETFD, 0);
                    else
                        dup2(devNull, target);
                }
            }
#ifdef SYS_close_range
            const unsigned keep = static_cast<unsigned>(report[1]);
            if (keep > 3)
                syscall(SYS_close_range, 3u, keep - 1, 0u);
            syscall(SYS_close_range, keep + 1, ~0u, 0u);
#endif
            execve(argv[0], argv, environ);
            const char failed = 1;
            ssize_t ignored = write(report[1], &failed, 1);
            (void)ignored;
            _exit(127);
        }
        _exit(grandchild > 0 ? 0 : 1);
    }
    close(report[1]);
    int status = 1;
    if (child > 0) {
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    char failed = 0;
    ssize_t got;
    while ((got = read(report[0], &failed, 1)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (devNull >= 0)
        close(devNull);
    const bool opened = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
    return opened ? LaunchResult::Started : LaunchResult::Failed;
}

std::string PosixSystem::ownExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    if (auto logic = fromNativePath(buffer))
        return *logic;
    // Not representable: the message form, so that at least a message can
    // name it (files beside it will not be found under it).
    std::string shown = cp932FromUtf8ForDisplay(buffer);
    for (std::size_t i = 0; i < shown.size(); i = pathrules::nextCharacter(shown, i))
        if (shown[i] == '/')
            shown[i] = '\\';
    return shown;
}

std::optional<std::string> PosixSystem::fromNativePath(std::string_view nativeUtf8) {
    if (nativeUtf8.empty())
        return std::nullopt;
    std::string full;
    if (nativeUtf8.front() != '/') {
        std::unique_ptr<char, decltype(&free)> cwd(getcwd(nullptr, 0), &free);
        if (!cwd)
            return std::nullopt;
        full = cwd.get();
        full += '/';
    }
    full.append(nativeUtf8.data(), nativeUtf8.size());
    for (char c : full)
        if (isForbiddenByte(static_cast<unsigned char>(c)))
            return std::nullopt;

    // Components joined by backslashes; empty and "." components dropped
    // (duplicate slashes collapse); ".." kept as it is, since resolving it
    // without the file system would go wrong across symbolic links.
    std::string joined;
    joined.reserve(full.size());
    std::size_t start = 1;
    bool endsAsFolder = false;
    while (start <= full.size()) {
        std::size_t slash = full.find('/', start);
        if (slash == std::string::npos)
            slash = full.size();
        std::string_view part(full.data() + start, slash - start);
        endsAsFolder = part.empty() || part == ".";
        if (!endsAsFolder) {
            joined += '\\';
            joined.append(part.data(), part.size());
        }
        start = slash + 1;
    }
    if (joined.empty() || endsAsFolder)
        joined += '\\';
    // The backslashes are ASCII and stay as they are in code page 932.
    return cp932FromUtf8(joined);
}

std::string PosixSystem::toNativePath(std::string_view logicPath) {
    if (std::optional<std::string> native = nativeOf(logicPath))
        return *native;
    // Bytes that are not valid code page 932: the message form, each bad
    // character shown as "〓". File operations refuse such a path instead.
    std::string shown = utf8FromCp932ForDisplay(logicPath);
    for (char& c : shown)
        if (c == '\\')
            c = '/';
    return shown;
}

} // namespace

System& realSystem() {
    static PosixSystem instance;
    return instance;
}

} // namespace platform
