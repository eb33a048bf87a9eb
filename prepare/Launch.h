// The last stage of a request: the installer started.
#pragma once

#include "platform/System.h"
#include "prepare/RunState.h"

#include <string>

namespace prepare {

// The installer beside the control file.
std::string installerPath(const RunState& state);

// Asks the shell to start the installer beside the control file; the tool
// learns whether it could be started and, where the system tells, its process.
platform::LaunchResult startInstaller(platform::System& sys, const RunState& state,
                                      platform::Process* started);

} // namespace prepare
