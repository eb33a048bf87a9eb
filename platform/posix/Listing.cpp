// The listing on POSIX: a folder's entries, the search for one path, and the
// attribute bits of a path, each entry looked at through a link. The bits,
// the names the logic holds and the wildcards are Windows' (WindowsRules.h).
#include "platform/posix/PosixSystem.h"

#include "platform/PathRules.h"
#include "platform/WindowsRules.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace platform::posix {

using namespace windowsrules;

namespace {

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

// The last component of a native path, ignoring trailing slashes.
std::string_view nativeFileName(std::string_view native) {
    while (native.size() > 1 && native.back() == '/')
        native.remove_suffix(1);
    std::size_t slash = native.rfind('/');
    return slash == std::string_view::npos ? native : native.substr(slash + 1);
}

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
    while (const dirent* d = readdir(dir.get())) {
        const char* name = d->d_name;
        if (isDotOrDotDot(name))
            continue;
        DirEntry entry; // afresh: nothing carries over from the entry before
        const bool hidden = isHiddenName(name);
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

// What a directory search reports of an entry it found under `name`.
FoundFile foundFile(std::string name, const struct stat& st, bool hiddenName, Link link) {
    return {std::move(name), modeBits(st.st_mode, hiddenName, link), inDosRange(st.st_mtim.tv_sec)};
}

} // namespace

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
        if (native && lookThrough(AT_FDCWD, native->c_str(), st, link))
            return foundFile(std::string(pattern), st, isHiddenName(pattern), link);
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
        if (lookThrough(fd, d->d_name, st, link))
            return foundFile(name, st, isHiddenName(d->d_name), link);
    }
    return std::nullopt;
}

bool PosixSystem::enumerate(const std::string& folder,
                            const std::function<void(const DirEntry&)>& each) {
    return listFolder(folder, true, each);
}

bool PosixSystem::enumerateWithoutReadOnly(const std::string& folder,
                                           const std::function<void(const DirEntry&)>& each) {
    return listFolder(folder, false, each);
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
    return native ? nativeAttributes(*native) : InvalidAttributes;
}

} // namespace platform::posix
