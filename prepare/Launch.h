// The last stage of a request: its control file recorded, the installer started.
#pragma once

#include "platform/System.h"
#include "prepare/RunState.h"

namespace prepare {

// Records the program folder's Inst.ini for the restore at close; a path is
// never recorded twice.
void recordControlFile(RunState& state);

// The installer beside the control file.
std::string installerPath(const RunState& state);

// Asks the shell to start the installer beside the control file; the tool
// learns whether it could be started and, where the system tells, its process.
platform::LaunchResult startInstaller(platform::System& sys, const RunState& state,
                                      platform::Process* started);

} // namespace prepare
