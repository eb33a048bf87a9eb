// The installer's control file Inst.ini: what the tool writes into it.
#pragma once

#include "prepare/ProgramFolder.h"
#include "prepare/RunState.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class System;
}

namespace prepare {

struct StartMenuRow {
    std::string name; // may be empty: the file's name is shown then
    std::string file; // full path; empty rows are passed over
};

struct ControlFileRequest {
    std::string application; // the software's name as typed
    std::array<StartMenuRow, StartMenuRowCount> startMenu;
    std::vector<std::string> folderFiles; // empty when the survey was skipped
};

// The control file's path in the program folder.
std::string controlFilePath(const RunState& state);

// The last folder name of the program folder: "C:\Work\Sample\" gives "Sample",
// a root "D:\" gives "D:".
std::string installFolderName(std::string_view programFolder);

// Writes (or updates) Inst.ini in the program folder with one atomic write.
// The [Group] items an earlier request of the run wrote beyond this request's
// last are deleted: `groupItems` says how many it wrote (0 for none), and
// becomes how many this one wrote.
// On failure returns the error text ("<path> に書き込めません", the path as
// the user sees it) and leaves the earlier file, or none, as it was.
std::optional<std::string> writeControlFile(platform::System& sys, RunState& state,
                                            const ControlFileRequest& request,
                                            std::size_t& groupItems);

} // namespace prepare
