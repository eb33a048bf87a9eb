// Files on POSIX: copies, renames and removals, contents read and created,
// whether two paths name one file, the flush of a folder, where a link leads,
// and the hold on a folder.
#include "platform/posix/PosixSystem.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform::posix {

namespace {

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

} // namespace

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

namespace {

// Takes an advisory lock on an open file for this process without waiting.
enum class Locking { Locked, Busy, None /* the file system has no such locks */ };
Locking lockWithoutWaiting(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return Locking::Locked;
    return errno == EWOULDBLOCK ? Locking::Busy : Locking::None;
}

// An open file kept until the last copy goes (its lock with it).
Lock owning(int fd) {
    return Lock(new int(fd), [](const void* held) {
        const int* owned = static_cast<const int*>(held);
        close(*owned);
        delete owned;
    });
}

// Whether a folder is the user's alone: another user, or anyone through a link
// or open permissions, could take or plant the lock files in it.
bool usersAlone(const std::string& folder) {
    struct stat st;
    return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 077) == 0;
}

// The folder for lock files: the user's runtime folder, else one of the
// user's own in the temporary folder, made private; empty when neither is the
// user's alone.
std::string lockFolder() {
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && usersAlone(runtime))
        return runtime;
    const char* temporary = getenv("TMPDIR");
    const std::string folder = std::string(temporary && *temporary ? temporary : P_tmpdir) +
                               "/kwarino-" + std::to_string(geteuid());
    mkdir(folder.c_str(), 0700);
    return usersAlone(folder) ? folder : std::string();
}

// A folder kept open by its descriptor, locked itself or through its lock file.
class PosixHeld final : public HeldFolder {
public:
    PosixHeld(Lock folder, const struct stat& st, Lock lockFile)
        : folder_(std::move(folder)), id_{st.st_dev, st.st_ino}, lockFile_(std::move(lockFile)) {}
    FolderId id() const override { return id_; }
    std::optional<std::string> where() const override {
        // The kernel follows the open folder through renames of it and of
        // the folders above it.
        const int fd = *static_cast<const int*>(folder_.get());
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_nlink == 0)
            return std::nullopt;
        char path[PATH_MAX];
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t size = readlink(link.c_str(), path, sizeof path);
        if (size <= 0 || static_cast<std::size_t>(size) >= sizeof path || path[0] != '/')
            return std::nullopt;
        std::optional<std::string> logic = logicOf(std::string_view(path, size));
        if (logic && logic->back() != '\\')
            *logic += '\\';
        return logic;
    }

private:
    Lock folder_; // the open folder, locked where the file system can
    FolderId id_;
    Lock lockFile_; // where the folder itself has no lock
};

} // namespace

std::optional<Lock> holdByLockFile(const struct stat& folder) {
    // Never deleted, since another copy may hold it at any moment. Without a
    // folder of the user's own, no hold: the tool goes on without, as where
    // the lock file cannot be made.
    const std::string lockFiles = lockFolder();
    if (lockFiles.empty())
        return Lock();
    const std::string path = lockFiles + "/kwarino-folder-" + std::to_string(folder.st_dev) + "-" +
                             std::to_string(folder.st_ino) + ".lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Lock();
    Lock file = owning(fd);
    switch (lockWithoutWaiting(fd)) {
    case Locking::Locked:
        return file;
    case Locking::Busy:
        return std::nullopt;
    case Locking::None:
        break;
    }
    return Lock();
}

std::optional<FolderHold> PosixSystem::holdFolder(const std::string& folder) {
    // An advisory lock on the folder itself, whatever path leads to it. Each
    // open is a lock of its own, so a process meets its own second hold. Not
    // inherited by the programs the tool starts.
    const std::optional<std::string> native = nativeOf(folder);
    const int fd = native ? open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (fd < 0)
        return FolderHold();
    Lock open = owning(fd);
    struct stat st;
    if (fstat(fd, &st) != 0)
        return FolderHold();
    switch (lockWithoutWaiting(fd)) {
    case Locking::Locked:
        return FolderHold(std::make_shared<PosixHeld>(std::move(open), st, Lock()));
    case Locking::Busy:
        return std::nullopt;
    case Locking::None:
        break;
    }
    // No lock on the folder there (NFS locks only files open for writing, some
    // file systems none): copies on this machine still meet at a lock file.
    std::optional<Lock> lockFile = holdByLockFile(st);
    if (!lockFile)
        return std::nullopt;
    return FolderHold(std::make_shared<PosixHeld>(std::move(open), st, std::move(*lockFile)));
}

std::optional<FolderId> PosixSystem::folderId(const std::string& folder) {
    const std::optional<std::string> native = nativeOf(folder);
    struct stat st;
    if (!native || stat(native->empty() ? "/" : native->c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return FolderId{st.st_dev, st.st_ino};
}

} // namespace platform::posix

namespace platform {

System& realSystem() {
    static posix::PosixSystem instance;
    return instance;
}

} // namespace platform
