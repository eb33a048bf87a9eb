#include "prepare/Launch.h"

#include "platform/System.h"
#include "prepare/ControlFile.h"

namespace prepare {

std::string installerPath(const RunState& state) {
    return state.ProgramFolder + InstallerName;
}

platform::LaunchResult startInstaller(platform::System& sys, const RunState& state,
                                      platform::Process* started) {
    return sys.shellOpen(installerPath(state), started);
}

} // namespace prepare
