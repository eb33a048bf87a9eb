#include "prepare/Restore.h"

#include "platform/PathRules.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"

#include <optional>
#include <set>

namespace prepare {

namespace {

constexpr std::size_t Unsafe = std::string_view::npos;

// Where the last part of a file-list entry begins (0 for an entry without a
// backslash), or Unsafe when the entry is not a safe relative path: a part
// that is empty (a leading backslash too), "." or "..", or a colon anywhere
// (a drive or a stream).
std::size_t lastPartOfSafePath(std::string_view entry) {
    if (entry.find(':') != std::string_view::npos)
        return Unsafe;
    std::size_t begin = 0;
    for (std::size_t i = 0;; i = pathrules::nextCharacter(entry, i)) {
        const bool end = i == entry.size();
        if (!end && entry[i] != '\\')
            continue;
        const std::string_view part = entry.substr(begin, i - begin);
        if (part.empty() || part == "." || part == "..")
            return Unsafe;
        if (end)
            return begin;
        begin = i + 1;
    }
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

void restoreControlFile(platform::System& sys, const std::string& controlFile) {
    if (!platform::fileExists(sys, controlFile))
        return;
    const std::optional<platform::ProfileFile> ini = platform::ProfileFile::load(sys, controlFile);
    if (!ini || !ini->hasKey("Install", "InstallDir"))
        return;

    const std::string folder(pathrules::folderPart(controlFile));
    const std::string_view ownName = pathrules::fileNamePart(controlFile);
    // A tool killed while it moved a file up or back may have left a
    // temporary copy beside the file's place.
    std::set<std::string> cleaned{folder};
    // The list's own top-level files, in any letter case: made when first
    // needed, as only a move cut short by a kill asks.
    std::optional<std::set<std::string>> topFiles;
    auto listedAtTop = [&](std::string_view name) {
        if (!topFiles) {
            topFiles.emplace();
            for (const auto& [key, value] : ini->entries("Files"))
                if (pathrules::firstBackslash(value) == std::string_view::npos)
                    topFiles->insert(pathrules::foldCase(value));
        }
        return topFiles->count(pathrules::foldCase(name)) > 0;
    };
    sys.removeStaleTemporaries(folder);
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
        const std::string toFolder(pathrules::folderPart(to));
        if (cleaned.insert(toFolder).second)
            sys.removeStaleTemporaries(toFolder);
        if (sys.moveNoReplace(from, to))
            return;
        // Killed between giving a copy its name and deleting the source, a
        // move leaves the file whole in both places: one copy goes, unless
        // the list says a file of that name belongs at the top.
        const std::optional<std::string> moved = sys.readFile(from);
        if (moved && moved == sys.readFile(to) && !listedAtTop(name))
            sys.removeFile(from);
    });
    sys.removeFile(controlFile);
}

void restoreOnClose(platform::System& sys, const std::vector<std::string>& createdIniFiles) {
    for (const std::string& path : createdIniFiles)
        restoreControlFile(sys, path);
}

} // namespace prepare
