// The last stage of a request: its control file recorded, the installer started.
#pragma once

#include "prepare/RunState.h"

namespace platform {
class System;
}

namespace prepare {

// Records the program folder's Inst.ini for the restore at close; a path is
// never recorded twice.
void recordControlFile(RunState& state);

// Asks the shell to start the installer beside the control file; the tool does
// not wait for it and learns nothing of its outcome.
void startInstaller(platform::System& sys, const RunState& state);

} // namespace prepare
