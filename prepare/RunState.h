// The run state of the main window: what one run of the tool remembers between
// its handlers. Nothing of it outlives the process.
#pragma once

#include "platform/System.h"

#include <cstddef>
#include <string>
#include <vector>

namespace prepare {

// The start-menu entries a request may name besides the program file.
constexpr int StartMenuRowCount = 3;

// A folder the run holds against other copies of the tool.
struct HeldFolder {
    std::string folder; // as the request that took it spelled it
    platform::FolderHold hold;
};

// An installer at work in a folder the run recorded.
struct RunningInstaller {
    std::string controlFile; // as recorded
    platform::Process process;
};

// How many [Group] items the last request that wrote a control file gave it.
struct WrittenGroup {
    std::string controlFile;
    std::size_t items = 0;
};

struct RunState {
    // All paths in code page 932, Windows form.
    std::string ProgramFileName;              // full path chosen by the last program-file browse
    std::string ProgramFolder;                // its folder, ending with the separator
    std::size_t ProgramFolderLength = 0;      // length of ProgramFolder in bytes
    std::string ToolFolder;                   // the tool's own folder, ending with a backslash
    bool RelocationRefused = false;           // set or cleared by each survey
    std::vector<std::string> CreatedIniFiles; // the Inst.ini paths written in this run
    std::vector<HeldFolder> HeldFolders;      // until the close has restored them
    std::vector<RunningInstaller> StartedInstallers; // started by the run, until they end
    std::vector<RunningInstaller> FoundInstallers;   // found by their file at the last look
    std::vector<WrittenGroup> WrittenGroups;         // one per control file written in this run
};

// Sets ProgramFileName, ProgramFolder and ProgramFolderLength from a full path,
// as a browse for the program file does.
void setProgramFile(RunState& state, const std::string& programFileName);

} // namespace prepare
