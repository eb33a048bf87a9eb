#include "prepare/Survey.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "prepare/ProgramFolder.h"
#include "prepare/Validation.h"

#include <string_view>
#include <unordered_set>

namespace prepare {
namespace {

constexpr std::size_t ProgressEvery = 512;

// A folder whose entries are being walked.
struct Frame {
    std::string folder; // ends with a backslash
    std::vector<platform::DirEntry> entries;
    std::size_t next = 0;
};

bool isDotOrDotDot(std::string_view name) {
    return name == "." || name == "..";
}

bool endsInDotOrBlank(std::string_view name) {
    return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

} // namespace

void ScanProgramFolder(platform::System& sys, const std::string& folder,
                       std::size_t programFolderLength, SurveyResult& result,
                       const SurveyProgress& progress) {
    std::vector<Frame> stack;
    // Lists a folder onto the stack. Once relocation is refused whatever else
    // is found (a read-only item met, more files listed than can be moved),
    // the read-only bits are of no more use, and listings without them are
    // cheaper on some systems.
    auto open = [&](std::string path) {
        Frame& frame = stack.emplace_back();
        frame.folder = pathrules::withTrailingBackslash(path);
        auto keep = [&frame](const platform::DirEntry& e) { frame.entries.push_back(e); };
        if (result.ReadOnlyFound || result.FolderFiles.size() > MaxRelocatableFiles)
            sys.enumerateWithoutReadOnly(frame.folder, keep);
        else
            sys.enumerate(frame.folder, keep);
    };

    std::size_t met = 0;
    open(folder);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.entries.size()) {
            stack.pop_back();
            continue;
        }
        const platform::DirEntry& entry = top.entries[top.next++];
        const std::string& name = entry.name;
        if (progress && ++met % ProgressEvery == 0 && !progress(met)) {
            result.cancelled = true;
            return;
        }
        const bool isFolder = entry.attributes & platform::AttrDirectory;
        if (isFolder && isDotOrDotDot(name))
            continue;
        if (isFolder && (entry.attributes & platform::AttrReparsePoint)) {
            // A link to a folder leads outside the survey, or round in a loop:
            // it is not followed, and the files cannot all be moved.
            result.ReadOnlyFound = true;
            continue;
        }
        if (entry.attributes & platform::AttrReadOnly)
            result.ReadOnlyFound = true;
        if (!isFolder && (entry.attributes & platform::AttrSystem))
            continue;
        std::string relative = top.folder.substr(programFolderLength) + name;
        // A name ending in a dot or a blank (possible off Windows) would be
        // read as another name by Windows and by the restore.
        if (!entry.faithful || hasControlCharacter(name) || endsInDotOrBlank(name)) {
            result.unwritableName = std::move(relative);
            return;
        }
        if (isFolder) {
            open(top.folder + name); // `top` and `entry` are not used after this
            continue;
        }
        if (!readsBackAsWritten(relative)) {
            // A blank at either end, or enclosing quotes, would be lost on
            // reading the list back: the file could not be found again.
            result.unwritableName = std::move(relative);
            return;
        }
        result.FolderFiles.push_back(std::move(relative));
    }
}

SurveyResult surveyProgramFolder(platform::System& sys, const RunState& state,
                                 const SurveyProgress& progress) {
    SurveyResult result;
    // The program folder itself, named without its trailing backslash.
    std::string self = state.ProgramFolder;
    if (!self.empty())
        self.pop_back();
    if (sys.attributes(self) & platform::AttrReadOnly)
        result.ReadOnlyFound = true;
    ScanProgramFolder(sys, state.ProgramFolder, state.ProgramFolderLength, result, progress);
    if (result.ReadOnlyFound || result.FolderFiles.size() > MaxRelocatableFiles)
        return result;
    // The volume decides which names are one: asked, not guessed.
    for (const std::string& entry : result.FolderFiles) {
        if (pathrules::containsBackslash(entry) &&
            sys.findFirst(state.ProgramFolder + std::string(pathrules::fileNamePart(entry)))) {
            result.nameTakenAtTop = true;
            break;
        }
    }
    return result;
}

bool relocationRefused(const SurveyResult& survey) {
    if (survey.ReadOnlyFound || survey.nameTakenAtTop)
        return true;
    if (survey.FolderFiles.size() > MaxRelocatableFiles)
        return true;
    // Two files of one name cannot stand side by side; to Windows and to the
    // installer names differ only when more than their letter case differs.
    // The control file will stand there too.
    std::unordered_set<std::string> names{pathrules::foldCase(ControlFileName)};
    for (const std::string& entry : survey.FolderFiles) {
        if (!names.insert(pathrules::foldCase(pathrules::fileNamePart(entry))).second)
            return true;
    }
    return false;
}

Relocation relocate(platform::System& sys, const std::string& programFolder,
                    const std::vector<std::string>& folderFiles,
                    const std::function<bool()>& stop) {
    Relocation result;
    for (const std::string& entry : folderFiles) {
        if (!pathrules::containsBackslash(entry))
            continue;
        if (stop && stop()) {
            result.stopped = true;
            break;
        }
        const std::string from = programFolder + entry;
        const std::string to = programFolder + std::string(pathrules::fileNamePart(entry));
        if (!sys.moveNoReplace(from, to)) {
            result.failed = entry;
            break;
        }
        result.moved.push_back(entry);
    }
    return result;
}

std::vector<NotBack> undoRelocation(platform::System& sys, const std::string& programFolder,
                                    const std::vector<std::string>& moved) {
    std::vector<NotBack> notBack;
    for (auto entry = moved.rbegin(); entry != moved.rend(); ++entry) {
        const std::string to = programFolder + *entry;
        if (!sys.moveNoReplace(programFolder + std::string(pathrules::fileNamePart(*entry)), to))
            notBack.push_back({programFolder, *entry});
    }
    return notBack;
}

} // namespace prepare
