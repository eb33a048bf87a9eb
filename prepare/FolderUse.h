// Who uses a program folder: this run (the folders it holds and the control
// files it recorded), an installer running from it, another copy of the tool.
// The request, the leftover question, the close and the session end all ask
// here, the same way.
#pragma once

#include "platform/System.h"
#include "prepare/RunState.h"

#include <string>
#include <vector>

namespace prepare {

// Whether two paths lie in one folder, however each is spelled (other
// letters, a short name, a link on the way): the file system decides.
bool sameFolder(platform::System& sys, const std::string& a, const std::string& b);

// Records the program folder's Inst.ini for the restore at close, once per
// folder whatever its spelling; returns the path as recorded.
std::string recordControlFile(platform::System& sys, RunState& state);

// Whether the run has the program folder already: it holds it, or recorded
// its control file.
bool programFolderIsOwn(platform::System& sys, const RunState& state);

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

// The recorded control files whose installer still runs: one the run started,
// or one found running from the folder by its file. Those that ended are let
// go; those found stay in state.FoundInstallers until the next look.
std::vector<std::string> stillInstalling(platform::System& sys, RunState& state);

// Lets go of every installer process the run keeps: a close that no longer
// waits for them.
void forgetInstallers(platform::System& sys, RunState& state);

// Lets go of every held folder for which nothing is recorded, nor in `busy`
// (control files whose request, installer or box is still about them).
void releaseUnrecordedFolders(platform::System& sys, RunState& state,
                              const std::vector<std::string>& busy = {});

} // namespace prepare
