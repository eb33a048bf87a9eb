// Who uses a program folder: this run (its record of the folder), an installer
// running from it, another copy of the tool. The request, the leftover
// question, the close and the session end all ask here, the same way.
#pragma once

#include "platform/System.h"
#include "prepare/ControlFile.h"
#include "prepare/Restore.h"
#include "prepare/RunState.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace prepare {

// How long a start handed to the desktop's opener counts as its installer at
// work, from the opener's end, while a process it started still runs and the
// installer is not seen: Wine takes seconds before the program it starts maps
// its file.
constexpr std::chrono::seconds OpenerGrace{30};

// Records the program folder's Inst.ini for the restore at close, once per
// folder whatever its spelling; returns the path as recorded.
std::string recordControlFile(platform::System& sys, RunState& state);

// Writes the program folder's control file (see writeControlFile), the
// [Group] items the run's earlier write gave it kept on the folder's record.
std::optional<std::string> writeRecordedControlFile(platform::System& sys, RunState& state,
                                                    const ControlFileRequest& request);

enum class FolderClaim {
    Own,           // the run had it already
    Taken,         // held for the run from now on
    InstallerRuns, // an installer the run did not start works in it
    OtherCopy,     // another copy of the tool holds it
};
// Takes the program folder for the run before anything in it is read or
// changed, unless someone else uses it.
FolderClaim claimProgramFolder(platform::System& sys, RunState& state);

// Whether an installer runs from the folder of `path`, whoever started it.
bool installerRunsIn(platform::System& sys, const std::string& path);

// Starts the installer of the program folder through the shell and keeps on
// its record what the start gave to follow, from the next look on.
platform::LaunchResult startInstaller(platform::System& sys, RunState& state);

// The decisions about one folder, from its record alone.
enum class Occasion {
    Look,       // once a second while a start is followed: nothing comes back
    Close,      // a close, or its once-a-second look while it waits
    LastClose,  // the window closes now: installers are no longer waited for
    SessionEnd, // the session ends: no box, nothing waits
};
// Whether an installer still works in the folder, as the last look saw it.
bool installing(const FolderRecord& record, Clock::time_point now);
// Whether its files may go back now.
bool mayRestore(const FolderRecord& record, Occasion occasion, Clock::time_point now);
// Whether the run may forget the folder and let another copy have it.
bool mayLetGo(const FolderRecord& record, Clock::time_point now);

// While a box about the folders of some paths is open: they stay held, and a
// waiting close does not restore them; at its end what is done is let go.
class Asking {
public:
    Asking(platform::System& sys, RunState& state, const std::vector<std::string>& paths,
           Clock::time_point now);
    Asking(platform::System& sys, RunState& state, std::vector<std::uint64_t> keys,
           Clock::time_point now);
    ~Asking();
    Asking(Asking&& other) noexcept;
    Asking(const Asking&) = delete;
    Asking& operator=(const Asking&) = delete;
    Asking& operator=(Asking&&) = delete;

private:
    platform::System& sys_;
    RunState& state_;
    std::vector<std::uint64_t> keys_; // of the records asked about
    Clock::time_point now_;           // what is done then is let go at the end
};

// While the run's request on the program folder is under way: no event of
// the close restores the folder or lets it go.
class Requesting {
public:
    Requesting(platform::System& sys, RunState& state);
    ~Requesting();
    Requesting(const Requesting&) = delete;
    Requesting& operator=(const Requesting&) = delete;

private:
    RunState& state_;
    std::uint64_t key_ = 0; // of the folder's record, once the request has one
};

// Whether a box about any folder is open.
bool anyBoxOpen(const RunState& state);
// Whether a start handed to the desktop's opener is still followed: looked at
// once a second until it is known what came of it.
bool followingStarts(const RunState& state);

// What one event did: the boxes the window is to show about it (their
// folders count as asked about while this lives), and whether a folder still
// waits for its installer.
struct Settled {
    std::vector<std::string> failedStarts; // the installers no program opened
    RestoreReport report;
    bool installing = false;
    Asking asking;
};
// One event, at `now`: looks for installers and at the starts followed,
// restores every folder that may be restored on the occasion, lets go of what
// is done.
Settled settleFolders(platform::System& sys, RunState& state, Occasion occasion,
                      Clock::time_point now);

// The window closes now: every folder restored that may be, without a box;
// what stays is in the report.
RestoreReport restoreOnClose(platform::System& sys, RunState& state);

// Forgets every folder that is done at `now` (see mayLetGo).
void letGo(platform::System& sys, RunState& state, Clock::time_point now);

// The processes the run waits for: the starts' and those found by the file.
std::vector<platform::Process> installerProcesses(const RunState& state);

} // namespace prepare
