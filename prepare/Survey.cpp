#include "prepare/Survey.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "prepare/Validation.h"

#include <string_view>
#include <unordered_set>

namespace prepare {
namespace {

constexpr std::size_t ProgressEvery = 512;

struct Frame {
    std::string folder; // ends with a backslash
    std::vector<platform::DirEntry> entries;
    std::size_t next = 0;
};

bool isDotOrDotDot(const std::string& name) { return name == "." || name == ".."; }

} // namespace

void ScanProgramFolder(platform::System& sys, const std::string& folder,
                       std::size_t programFolderLength, SurveyResult& result,
                       const SurveyProgress& progress) {
    std::size_t met = 0;
    auto open = [&](std::string path) {
        Frame frame;
        frame.folder = pathrules::withTrailingBackslash(path);
        sys.enumerate(frame.folder,
                      [&](const platform::DirEntry& e) { frame.entries.push_back(e); });
        return frame;
    };

    std::vector<Frame> stack;
    stack.push_back(open(folder));
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.entries.size()) {
            stack.pop_back();
            continue;
        }
        const platform::DirEntry& entry = top.entries[top.next++];
        if (progress && ++met % ProgressEvery == 0 && !progress(met)) {
            result.cancelled = true;
            return;
        }
        const bool isFolder = entry.attributes & platform::AttrDirectory;
        const bool readOnly = entry.attributes & platform::AttrReadOnly;
        if (isFolder && isDotOrDotDot(entry.name))
            continue;
        if (isFolder && (entry.attributes & platform::AttrReparsePoint)) {
            // A link to a folder leads outside the survey, or round in a loop:
            // it is not followed, and the files cannot all be moved.
            result.ReadOnlyFound = true;
            continue;
        }
        if (readOnly)
            result.ReadOnlyFound = true;
        if (!isFolder && (entry.attributes & platform::AttrSystem))
            continue;
        if (!entry.faithful || hasControlCharacter(entry.name)) {
            result.unwritableName = top.folder.substr(programFolderLength) + entry.name;
            return;
        }
        if (isFolder) {
            std::string sub = top.folder + entry.name;
            stack.push_back(open(std::move(sub))); // invalidates `top`
            continue;
        }
        std::string relative;
        relative.reserve(top.folder.size() - programFolderLength + entry.name.size());
        relative.append(top.folder, programFolderLength).append(entry.name);
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
    return result;
}

bool relocationRefused(const SurveyResult& survey) {
    if (survey.ReadOnlyFound)
        return true;
    if (survey.FolderFiles.size() > MaxRelocatableFiles)
        return true;
    // Two files of one name cannot stand side by side (exact, case-sensitive).
    std::unordered_set<std::string_view> names;
    for (const std::string& entry : survey.FolderFiles) {
        if (!names.insert(pathrules::fileNamePart(entry)).second)
            return true;
    }
    return false;
}

std::vector<std::string> relocate(platform::System& sys, const std::string& programFolder,
                                  const std::vector<std::string>& folderFiles) {
    std::vector<std::string> moved;
    for (const std::string& entry : folderFiles) {
        if (!pathrules::containsBackslash(entry))
            continue;
        const std::string from = programFolder + entry;
        const std::string to = programFolder + std::string(pathrules::fileNamePart(entry));
        if (sys.moveNoReplace(from, to))
            moved.push_back(entry);
    }
    return moved;
}

} // namespace prepare
