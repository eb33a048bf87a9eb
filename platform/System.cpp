// What both systems do the same way, over each system's own calls.
#include "platform/System.h"

#include "platform/PathRules.h"

#include <atomic>

namespace platform {

namespace {

constexpr std::string_view TemporaryMark = ".kwarino-";
constexpr std::string_view TemporaryEnd = ".tmp";
// Two files are compared a piece at a time, so a huge one never fills memory.
constexpr std::size_t ComparePiece = 1 << 20;

bool isNumber(std::string_view s) {
    return !s.empty() && s.size() <= 10 && s.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

bool fileExists(System& sys, const std::string& path) {
    std::optional<FoundFile> found = sys.findFirst(path);
    return found && (found->attributes & AttrDirectory) == 0 && found->dosTime;
}

bool isFile(System& sys, const std::string& path) {
    const std::uint32_t attrs = sys.attributes(path);
    return attrs != InvalidAttributes && !(attrs & AttrDirectory);
}

std::string temporaryName(const std::string& path, std::uint32_t processId) {
    static std::atomic<unsigned> counter{0};
    std::string name(pathrules::folderPart(path));
    name += '~';
    name += pathrules::fileNamePart(path);
    name += TemporaryMark;
    name += std::to_string(processId) + '-' + std::to_string(counter++);
    name += TemporaryEnd;
    return name;
}

std::optional<Temporary> parseTemporaryName(std::string_view name) {
    if (name.size() <= TemporaryEnd.size() + 1 || name.front() != '~' ||
        name.substr(name.size() - TemporaryEnd.size()) != TemporaryEnd)
        return std::nullopt;
    name.remove_suffix(TemporaryEnd.size());
    const std::size_t mark = name.rfind(TemporaryMark);
    const std::size_t dash = name.rfind('-');
    if (mark == std::string_view::npos || mark < 2 || dash <= mark + TemporaryMark.size() - 1)
        return std::nullopt;
    const std::string_view id =
        name.substr(mark + TemporaryMark.size(), dash - mark - TemporaryMark.size());
    if (!isNumber(id) || !isNumber(name.substr(dash + 1)))
        return std::nullopt;
    const unsigned long long writer = std::stoull(std::string(id));
    if (writer == 0 || writer > 0xFFFFFFFFull)
        return std::nullopt;
    return Temporary{name.substr(1, mark - 1), static_cast<std::uint32_t>(writer)};
}

bool sameContents(System& sys, const std::string& a, const std::string& b) {
    for (std::uint64_t offset = 0;; offset += ComparePiece) {
        const std::optional<std::string> x = sys.readPart(a, offset, ComparePiece);
        const std::optional<std::string> y = sys.readPart(b, offset, ComparePiece);
        if (!x || !y || *x != *y)
            return false;
        if (x->size() < ComparePiece)
            return true;
    }
}

bool System::moveNoReplace(const std::string& from, const std::string& to) {
    const FileResult renamed = rename(from, to, false);
    if (renamed != FileResult::OtherDevice)
        return renamed == FileResult::Done;
    // Another device: the copy gets the file's name only once it is whole.
    const std::string temporary = temporaryName(to, processId());
    if (!copyNoReplace(from, temporary))
        return false;
    if (rename(temporary, to, false) != FileResult::Done) {
        removeFile(temporary);
        return false;
    }
    syncFolder(std::string(pathrules::folderPart(to)));
    if (removeFile(from))
        return true;
    // The source cannot go: neither does the file leave it.
    removeFile(to);
    return false;
}

bool System::writeAtomic(const std::string& path, const std::vector<std::string_view>& pieces) {
    if (path.empty() || pathrules::endsWithBackslash(path))
        return false;
    // Write where a link points, and keep the link.
    const std::optional<std::string> target = finalPath(path);
    if (!target)
        return false;
    const std::uint32_t attrs = attributes(*target);
    const bool exists = attrs != InvalidAttributes;
    // Only a file is replaced, and not one marked read-only: the profile write
    // fails there as it does on Windows.
    if (exists && (attrs & (AttrDirectory | AttrReadOnly)))
        return false;

    std::string temporary;
    FileResult made = FileResult::Exists;
    for (int attempt = 0; attempt < 100 && made == FileResult::Exists; ++attempt) {
        temporary = temporaryName(*target, processId());
        made = createFile(temporary, pieces, exists ? *target : std::string());
    }
    if (made != FileResult::Done) {
        if (made == FileResult::Failed)
            removeFile(temporary);
        return false;
    }
    if (rename(temporary, *target, true) != FileResult::Done) {
        removeFile(temporary);
        return false;
    }
    // The new contents are in place; flushing the folder entry only makes the
    // rename survive a crash, so its failure does not undo the success.
    syncFolder(std::string(pathrules::folderPart(*target)));
    return true;
}

void System::removeStaleTemporaries(const std::string& folder, const std::set<std::string>& names) {
    const std::string inside = pathrules::withTrailingBackslash(folder);
    const std::uint32_t self = processId();
    std::vector<std::string> stale;
    enumerateWithoutReadOnly(inside, [&](const DirEntry& e) {
        if (!e.faithful || (e.attributes & (AttrDirectory | AttrReparsePoint)))
            return;
        const std::optional<Temporary> temporary = parseTemporaryName(e.name);
        if (!temporary || names.count(pathrules::foldCase(e.name)) ||
            !names.count(pathrules::foldCase(temporary->target)))
            return;
        // This process's own writes are finished whenever this runs.
        if (temporary->writer == self || !processRunning(temporary->writer))
            stale.push_back(inside + e.name);
    });
    for (const std::string& path : stale)
        removeFile(path);
}

} // namespace platform
