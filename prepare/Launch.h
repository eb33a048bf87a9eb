// The last stage of a request: its control file recorded, the installer
// started; and the folders the run holds against other copies of the tool.
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
// Takes the program folder for the run before anything in it is read or
// changed: false when another copy of the tool holds it. A folder the run
// holds already, under any spelling, goes on.
bool holdProgramFolder(platform::System& sys, RunState& state);
// Lets go of every held folder for which nothing is recorded, nor in `busy`
// (control files whose request or installer is still at work).
void releaseUnrecordedFolders(platform::System& sys, RunState& state,
                              const std::vector<std::string>& busy = {});

// The installer beside the control file.
std::string installerPath(const RunState& state);

// Asks the shell to start the installer beside the control file; the tool
// learns whether it could be started and, where the system tells, its process.
platform::LaunchResult startInstaller(platform::System& sys, const RunState& state,
                                      platform::Process* started);

} // namespace prepare
