#include "prepare/Launch.h"

#include "platform/System.h"
#include "prepare/ControlFile.h"

#include <algorithm>

namespace prepare {

void recordControlFile(RunState& state) {
    const std::string path = controlFilePath(state);
    auto& files = state.CreatedIniFiles;
    if (std::find(files.begin(), files.end(), path) == files.end())
        files.push_back(path);
}

std::string installerPath(const RunState& state) {
    return state.ProgramFolder + "Inst.exe";
}

platform::LaunchResult startInstaller(platform::System& sys, const RunState& state,
                                      platform::Process* started) {
    return sys.shellOpen(installerPath(state), started);
}

} // namespace prepare
