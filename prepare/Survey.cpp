#include "prepare/Survey.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "prepare/Validation.h"

#include <cstdint>
#include <string_view>
#include <unordered_set>

namespace prepare {
namespace {

constexpr std::size_t ProgressEvery = 512;

// One entry of a listed folder; its name lies in the frame's `names`.
struct Entry {
    std::size_t nameBegin;
    std::size_t nameLength;
    std::uint32_t attributes;
    bool faithful;
};

// A folder whose entries are being walked. Frames are reused from folder to
// folder, so that their buffers keep their capacity: a walk of many folders
// allocates nothing per entry but the listed paths themselves.
struct Frame {
    std::string folder; // ends with a backslash
    std::string names;  // every entry's name, one after the other
    std::vector<Entry> entries;
    std::size_t next = 0;

    std::string_view name(const Entry& e) const {
        return std::string_view(names).substr(e.nameBegin, e.nameLength);
    }
};

bool isDotOrDotDot(std::string_view name) {
    return name == "." || name == "..";
}

} // namespace

void ScanProgramFolder(platform::System& sys, const std::string& folder,
                       std::size_t programFolderLength, SurveyResult& result,
                       const SurveyProgress& progress) {
    std::vector<Frame> frames; // frames[0 .. depth) are open
    std::size_t depth = 0;
    // Lists a folder into the next frame. Once relocation is refused whatever
    // else is found (a read-only item met, more files listed than can be
    // moved), the read-only bits are of no more use, and listings without
    // them are cheaper on some systems.
    auto open = [&](std::string_view path) {
        if (depth == frames.size())
            frames.emplace_back();
        Frame& frame = frames[depth++];
        frame.folder.assign(path);
        if (!pathrules::endsWithBackslash(frame.folder))
            frame.folder += '\\';
        frame.names.clear();
        frame.entries.clear();
        frame.next = 0;
        auto keep = [&frame](const platform::DirEntry& e) {
            frame.entries.push_back(
                Entry{frame.names.size(), e.name.size(), e.attributes, e.faithful});
            frame.names += e.name;
        };
        if (result.ReadOnlyFound || result.FolderFiles.size() > MaxRelocatableFiles)
            sys.enumerateWithoutReadOnly(frame.folder, keep);
        else
            sys.enumerate(frame.folder, keep);
    };

    std::size_t met = 0;
    std::string scratch; // the path of the next subfolder
    open(folder);
    while (depth > 0) {
        Frame& top = frames[depth - 1];
        if (top.next == top.entries.size()) {
            --depth;
            continue;
        }
        const Entry& entry = top.entries[top.next++];
        const std::string_view name = top.name(entry);
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
        if (!entry.faithful || hasControlCharacter(name)) {
            result.unwritableName = top.folder.substr(programFolderLength);
            *result.unwritableName += name;
            return;
        }
        if (isFolder) {
            // `frames` may grow: the path is built before `top` can move.
            std::string& path = scratch;
            path.assign(top.folder).append(name);
            open(path);
            continue;
        }
        const std::string_view below = std::string_view(top.folder).substr(programFolderLength);
        std::string relative;
        relative.reserve(below.size() + name.size());
        relative.append(below).append(name);
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
