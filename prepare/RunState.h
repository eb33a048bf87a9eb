// The run state of the main window: what one run of the tool remembers between
// its handlers. Nothing of it outlives the process.
#pragma once

#include "platform/System.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace prepare {

// The start-menu entries a request may name besides the program file.
constexpr int StartMenuRowCount = 3;

using Clock = std::chrono::steady_clock;

// What the run knows of one program folder it has touched, from the request
// (or the question) that took it until the folder is back and nothing is open
// about it. Only FolderUse.cpp reads or changes one the run keeps.
struct FolderRecord {
    std::uint64_t key = 0;      // the run's own name for it
    std::string folder;         // as the request that took it spelled it, with its separator
    platform::FolderHold hold;  // kept open: what the folder is and where it lies now
    std::string controlFile;    // recorded for the restore at close; empty once it went back
    std::size_t groupItems = 0; // the [Group] items the run's last write gave the control file
    std::vector<platform::Process> started; // the installers the shell gave, until they end
    std::vector<platform::Process> found;   // running its installer at the last look
    // A start handed to the desktop's opener, until its outcome is known: the
    // opener runs, or it ended (when a look first saw it) and what it
    // started may still run.
    struct Handed {
        platform::Process opener = platform::NoProcess;
        std::optional<Clock::time_point> ended;
    };
    std::vector<Handed> handed;
    bool seen = false;       // its installer was seen since the last start was handed
    int asking = 0;          // boxes open about it
    bool requesting = false; // the run's request on it is under way
};

// The run's records of its program folders, in the order it first took them;
// reached only through FolderUse.h.
class FolderRecords {
    friend struct FolderRecordsOwner;
    std::vector<FolderRecord> list_;
    std::uint64_t lastKey_ = 0;
};

struct RunState {
    // All paths in code page 932, Windows form.
    std::string ProgramFileName;         // full path chosen by the last program-file browse
    std::string ProgramFolder;           // its folder, ending with the separator
    std::size_t ProgramFolderLength = 0; // length of ProgramFolder in bytes
    std::string ToolFolder;              // the tool's own folder, ending with a backslash
    bool RelocationRefused = false;      // set or cleared by each survey
    FolderRecords Folders;

    // The Inst.ini paths recorded in this run and not yet back, in order
    // (FolderUse.cpp).
    std::vector<std::string> CreatedIniFiles() const;
};

// Sets ProgramFileName, ProgramFolder and ProgramFolderLength from a full path,
// as a browse for the program file does.
void setProgramFile(RunState& state, const std::string& programFileName);

} // namespace prepare
