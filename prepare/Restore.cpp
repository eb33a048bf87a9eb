#include "prepare/Restore.h"

#include "platform/PathRules.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"

#include <map>
#include <optional>
#include <set>

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

bool isFile(platform::System& sys, const std::string& path) {
    const std::uint32_t attrs = sys.attributes(path);
    return attrs != platform::InvalidAttributes && !(attrs & platform::AttrDirectory);
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

std::vector<std::string> restoreControlFile(platform::System& sys, const std::string& controlFile) {
    std::vector<std::string> notBack;
    if (!platform::fileExists(sys, controlFile))
        return notBack;
    const std::optional<platform::ProfileFile> ini = platform::ProfileFile::load(sys, controlFile);
    if (!ini || !ini->hasKey("Install", "InstallDir"))
        return notBack;

    const std::string folder(pathrules::folderPart(controlFile));
    const std::string_view ownName = pathrules::fileNamePart(controlFile);
    // The names the list places in each folder (letter case folded): a
    // temporary is removed only when it was made for one of them. Moved files
    // wait at the top under their names, beside the control file.
    std::map<std::string, std::set<std::string>> placed;
    std::set<std::string>& top = placed[pathrules::foldCase(folder)];
    top.insert(pathrules::foldCase(ownName));
    const std::vector<std::pair<std::string, std::string>> files = ini->entries("Files");
    for (const auto& [key, value] : files) {
        const std::size_t last = lastPartOfSafePath(value);
        if (last == Unsafe)
            continue;
        const std::string name = pathrules::foldCase(std::string_view(value).substr(last));
        top.insert(name);
        placed[pathrules::foldCase(folder + value.substr(0, last))].insert(name);
    }
    // The list's own top-level files: a file of that name at the top is theirs.
    auto listedAtTop = [&](std::string_view name) {
        for (const auto& [key, value] : files)
            if (pathrules::equalsNoCase(value, name))
                return true;
        return false;
    };
    // A tool killed while it moved a file up or back may have left a
    // temporary copy beside the file's place.
    std::set<std::string> cleaned{pathrules::foldCase(folder)};
    sys.removeStaleTemporaries(folder, top);
    forEachFileToRestore(*ini, ownName, [&](std::string_view relative, std::string_view name) {
        const std::string from = folder + std::string(name);
        const std::string to = folder + std::string(relative);
        // A name like the control file's in other letters is that file where
        // names ignore case (the directory search reports its real name), and
        // a file of its own where they do not.
        if (pathrules::equalsNoCase(name, ownName)) {
            const auto found = sys.findFirst(from);
            if (!found || found->name == ownName)
                return;
        }
        if (!linkOnTheWay(sys, folder, to)) {
            const std::string toFolder(pathrules::folderPart(to));
            const std::string key = pathrules::foldCase(toFolder);
            if (cleaned.insert(key).second)
                sys.removeStaleTemporaries(toFolder, placed[key]);
            if (sys.moveNoReplace(from, to))
                return;
            // Killed between giving a copy its name and deleting the source, a
            // move leaves the file whole in both places: one copy goes, unless
            // the list says a file of that name belongs at the top, or the two
            // are one file reached twice.
            if (!sys.sameFile(from, to) && platform::sameContents(sys, from, to)) {
                if (!listedAtTop(name))
                    sys.removeFile(from);
                return;
            }
        }
        // Still at the top, and not the list's own file there; gone means the
        // installer took it.
        if (!listedAtTop(name) && isFile(sys, from))
            notBack.push_back(to);
    });
    sys.removeFile(controlFile);
    return notBack;
}

std::vector<std::string> restoreOnClose(platform::System& sys,
                                        std::vector<std::string>& createdIniFiles) {
    std::vector<std::string> notBack;
    // A control file once restored is gone from the record: a later close
    // must not touch a file another run may have written there since.
    std::vector<std::string> kept;
    for (const std::string& path : createdIniFiles) {
        const std::vector<std::string> left = restoreControlFile(sys, path);
        notBack.insert(notBack.end(), left.begin(), left.end());
        if (isFile(sys, path))
            kept.push_back(path);
    }
    createdIniFiles = std::move(kept);
    return notBack;
}

} // namespace prepare
