// The run state of the main window: what one run of the tool remembers between
// its handlers. Nothing of it outlives the process.
#pragma once

#include "platform/System.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace prepare {

// The start-menu entries a request may name besides the program file.
constexpr int StartMenuRowCount = 3;

using Clock = std::chrono::steady_clock;

// What the run knows of one program folder it has touched, from the request
// (or the question) that took it until the folder is back and nothing is open
// about it. FolderUse.h owns these records: every caller asks there.
struct FolderRecord {
    std::string folder;         // as the request that took it spelled it, with its separator
    platform::FolderHold hold;  // against other copies of the tool; null where none can be had
    std::string controlFile;    // recorded for the restore at close; empty once it went back
    std::size_t groupItems = 0; // the [Group] items the run's last write gave the control file
    std::vector<platform::Process> started; // what the run's starts gave, until it ends
    std::vector<platform::Process> found;   // running its installer at the last look
    // Handed to the desktop's opener and its installer not seen yet: the
    // installer may not have mapped its file yet.
    std::optional<Clock::time_point> unseenSince;
    int asking = 0;          // boxes open about it
    bool requesting = false; // the run's request on it is under way
};

struct RunState {
    // All paths in code page 932, Windows form.
    std::string ProgramFileName;         // full path chosen by the last program-file browse
    std::string ProgramFolder;           // its folder, ending with the separator
    std::size_t ProgramFolderLength = 0; // length of ProgramFolder in bytes
    std::string ToolFolder;              // the tool's own folder, ending with a backslash
    bool RelocationRefused = false;      // set or cleared by each survey
    std::vector<FolderRecord> Folders;   // in the order the run first took them

    // The Inst.ini paths recorded in this run and not yet back, in order.
    std::vector<std::string> CreatedIniFiles() const;
};

// Sets ProgramFileName, ProgramFolder and ProgramFolderLength from a full path,
// as a browse for the program file does.
void setProgramFile(RunState& state, const std::string& programFileName);

} // namespace prepare
