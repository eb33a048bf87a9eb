#include "prepare/Restore.h"

#include "platform/PathRules.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <unordered_set>

namespace prepare {

namespace {

constexpr std::size_t Unsafe = std::string_view::npos;

// Where the last part of a file-list entry begins (0 for an entry without a
// backslash), or Unsafe when the entry is not a safe relative path: a part
// that is empty (a leading backslash too), "." or "..", or that ends in a dot
// or a blank (Windows drops those, so "sub\Inst.ini." names the control
// file), or a colon (a drive or a stream) or forward slash (a separator to
// every system) anywhere.
std::size_t lastPartOfSafePath(std::string_view entry) {
    if (entry.find_first_of(":/") != std::string_view::npos)
        return Unsafe;
    std::size_t begin = 0;
    for (std::size_t i = 0;; i = pathrules::nextCharacter(entry, i)) {
        const bool end = i == entry.size();
        if (!end && entry[i] != '\\')
            continue;
        const std::string_view part = entry.substr(begin, i - begin);
        if (part.empty() || part.back() == '.' || part.back() == ' ')
            return Unsafe;
        if (end)
            return begin;
        begin = i + 1;
    }
}

// Whether a folder between `top` (ending with a backslash) and `path` is a
// link or junction: a move through it would land somewhere else.
bool linkOnTheWay(platform::System& sys, const std::string& top, const std::string& path) {
    for (std::size_t i = top.size(); i < path.size(); i = pathrules::nextCharacter(path, i))
        if (path[i] == '\\' && (sys.attributes(path.substr(0, i)) & platform::AttrReparsePoint))
            return true;
    return false;
}

} // namespace

bool isSafeRelativePath(std::string_view entry) {
    return lastPartOfSafePath(entry) != Unsafe;
}

void forEachFileToRestore(
    const platform::ProfileFile& ini, std::string_view ownName,
    const std::function<void(std::string_view relative, std::string_view name)>& each) {
    // Every key of "Files" in file order, each with the value reading it gives.
    for (const auto& [key, entry] : ini.entries("Files")) {
        const std::string_view value = entry;
        // Entries without a backslash lie where they belong already.
        const std::size_t last = lastPartOfSafePath(value);
        if (last == Unsafe || last == 0)
            continue;
        const std::string_view name = value.substr(last);
        // The control file itself is never moved away from its folder.
        if (name != ownName)
            each(value, name);
    }
}

namespace {

enum class TopFile {
    None,    // not there (the installer took it), or only another file's short name
    Movable, // the listed file itself
    Other,   // in other letters (that file renamed), a folder or a system file
};

// What the directory search finds at the top of `folder` under a listed name.
// Only a file it reports under that name itself is the tool's to move; the
// same name in other letters is that file renamed.
TopFile atTop(platform::System& sys, const std::string& folder, std::string_view name) {
    const std::optional<platform::FoundFile> found = sys.findFirst(folder + std::string(name));
    if (!found ||
        (found->name != name && pathrules::foldCase(found->name) != pathrules::foldCase(name)))
        return TopFile::None;
    return found->name == name &&
                   !(found->attributes & (platform::AttrDirectory | platform::AttrSystem))
               ? TopFile::Movable
               : TopFile::Other;
}

// Puts one listed file back from the top of `folder` (ending with a
// backslash) into its place there. false when it stays at the top: a file
// named in other letters than the list's, a folder or a system file in its
// place, one that cannot move (in use, a link on the way, its place taken). A
// file gone from the top is back as far as the tool goes: the installer took
// it; so is one the list itself places at the top (`theListsOwn`).
// `beforeMove` sees the folder a move goes into, first.
bool putBack(platform::System& sys, const std::string& folder, std::string_view relative,
             std::string_view name, bool theListsOwn,
             const std::function<void(const std::string& toFolder)>& beforeMove) {
    const std::string from = folder + std::string(name);
    const std::string to = folder + std::string(relative);
    const TopFile top = atTop(sys, folder, name);
    if (top == TopFile::None)
        return true;
    const bool movable = top == TopFile::Movable;
    // One file reached twice (a hard link) is never moved onto itself: some
    // systems take such a rename for done and leave both names.
    if (movable && !linkOnTheWay(sys, folder, to) && !sys.sameFile(from, to)) {
        beforeMove(std::string(pathrules::folderPart(to)));
        if (sys.moveNoReplace(from, to))
            return true;
        // Killed between giving a copy its name and deleting the source, a
        // move leaves the file whole in both places: the top copy goes,
        // unless the list says a file of that name belongs at the top.
        if (platform::sameContents(sys, from, to) && (theListsOwn || sys.removeFile(from)))
            return true;
    }
    return theListsOwn;
}

} // namespace

RestoreReport restoreControlFile(platform::System& sys, const std::string& controlFile) {
    RestoreReport report;
    // The tool wrote it itself: its time stamp does not matter.
    if (!platform::isFile(sys, controlFile))
        return report;
    const std::optional<platform::ProfileFile> ini = platform::ProfileFile::load(sys, controlFile);
    if (!ini) {
        // Its list is what brings the files back: it stays for another try.
        report.unreadable.push_back(controlFile);
        return report;
    }
    if (!ini->hasKey("Install", "InstallDir"))
        return report;

    const std::string folder(pathrules::folderPart(controlFile));
    const std::string_view ownName = pathrules::fileNamePart(controlFile);
    // The names the list places in each folder (letter case folded): a
    // temporary is removed only when it was made for one of them. Moved files
    // wait at the top under their names, beside the control file.
    std::map<std::string, std::set<std::string>> placed;
    std::set<std::string>& top = placed[pathrules::foldCase(folder)];
    top.insert(pathrules::foldCase(ownName));
    // The list's own top-level files: a file of that name at the top is theirs.
    std::unordered_set<std::string> listedAtTop;
    for (const auto& [key, value] : ini->entries("Files")) {
        const std::size_t last = lastPartOfSafePath(value);
        if (last == Unsafe)
            continue;
        const std::string name = pathrules::foldCase(std::string_view(value).substr(last));
        top.insert(name);
        placed[pathrules::foldCase(folder + value.substr(0, last))].insert(name);
        if (last == 0)
            listedAtTop.insert(name);
    }
    // A tool killed while it moved a file up or back may have left a
    // temporary copy beside the file's place.
    std::set<std::string> cleaned{pathrules::foldCase(folder)};
    sys.removeStaleTemporaries(folder, top);
    auto clean = [&](const std::string& toFolder) {
        const std::string key = pathrules::foldCase(toFolder);
        if (cleaned.insert(key).second)
            sys.removeStaleTemporaries(toFolder, placed[key]);
    };
    forEachFileToRestore(*ini, ownName, [&](std::string_view relative, std::string_view name) {
        const bool theListsOwn = listedAtTop.count(pathrules::foldCase(name)) > 0;
        if (!putBack(sys, folder, relative, name, theListsOwn, clean))
            report.notBack.push_back({folder, std::string(relative)});
    });
    sys.removeFile(controlFile);
    return report;
}

bool leftRelocated(platform::System& sys, const std::string& controlFile) {
    if (!platform::isFile(sys, controlFile))
        return false;
    const std::optional<platform::ProfileFile> ini = platform::ProfileFile::load(sys, controlFile);
    if (!ini || !ini->hasKey("Install", "InstallDir"))
        return false;
    const std::string folder(pathrules::folderPart(controlFile));
    bool found = false;
    forEachFileToRestore(*ini, pathrules::fileNamePart(controlFile),
                         [&](std::string_view, std::string_view name) {
                             found = found || atTop(sys, folder, name) == TopFile::Movable;
                         });
    return found;
}

std::vector<NotBack> retryRestore(platform::System& sys, const std::vector<NotBack>& notBack) {
    std::vector<NotBack> still;
    for (const NotBack& file : notBack) {
        const std::string_view name = pathrules::fileNamePart(file.relative);
        if (!putBack(sys, file.folder, file.relative, name, false, [](const std::string&) {}))
            still.push_back(file);
    }
    return still;
}

} // namespace prepare
