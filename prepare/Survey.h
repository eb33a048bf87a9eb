// The survey of the program folder and the relocation of its files.
#pragma once

#include "prepare/Restore.h"
#include "prepare/RunState.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class System;
}

namespace prepare {

// Called now and then during a survey with the number of entries met so far;
// false cancels the survey.
using SurveyProgress = std::function<bool(std::size_t entriesSoFar)>;

struct SurveyResult {
    // Relative paths of the files below the program folder, in survey order.
    std::vector<std::string> FolderFiles;
    // A read-only item (file, folder or the program folder itself) or a link
    // to a folder was met: the files cannot all be moved.
    bool ReadOnlyFound = false;
    // A file below has a name that the top already holds, as the directory
    // search finds it there: in other letters, as a short name, or a file
    // the survey does not list (a system file).
    bool nameTakenAtTop = false;
    // The relative path (for a message) of the first item whose name cannot
    // be written to the control file faithfully; the survey stops there.
    std::optional<std::string> unwritableName;
    bool cancelled = false;
};

// Lists every file below `folder` (which ends with a backslash), depth first,
// a subfolder's files standing where the subfolder was met. System files are
// not listed; read-only items and links to folders set ReadOnlyFound; links
// are never followed. Works without recursion, so deep trees are safe.
void ScanProgramFolder(platform::System& sys, const std::string& folder,
                       std::size_t programFolderLength, SurveyResult& result,
                       const SurveyProgress& progress = {});

// The whole survey of the program folder: its own attributes, the scan, then,
// while the files may still be moved, the names they would take at the top.
SurveyResult surveyProgramFolder(platform::System& sys, const RunState& state,
                                 const SurveyProgress& progress = {});

// The most files the installer can take side by side in one folder.
constexpr std::size_t MaxRelocatableFiles = 98;

// Whether the files cannot all be moved up into the program folder.
bool relocationRefused(const SurveyResult& survey);

struct Relocation {
    std::vector<std::string> moved;    // the entries moved up, in list order
    std::optional<std::string> failed; // the entry that could not move: the moves end there
    bool stopped = false;              // `stop` said so before a move
};

// Moves every listed file of a subfolder up into the program folder, never
// replacing a file, until a move fails or `stop` returns true.
Relocation relocate(platform::System& sys, const std::string& programFolder,
                    const std::vector<std::string>& folderFiles,
                    const std::function<bool()>& stop = {});

// Moves back exactly the files a relocation moved, last first; nothing else is
// touched. Returns those that stay at the top.
std::vector<NotBack> undoRelocation(platform::System& sys, const std::string& programFolder,
                                    const std::vector<std::string>& moved);

} // namespace prepare
