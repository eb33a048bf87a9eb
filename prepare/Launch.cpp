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

void startInstaller(platform::System& sys, const RunState& state) {
    sys.shellOpen(state.ProgramFolder + "Inst.exe");
}

} // namespace prepare
