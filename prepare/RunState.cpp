#include "prepare/RunState.h"

#include "platform/PathRules.h"

namespace prepare {

void setProgramFile(RunState& state, const std::string& programFileName) {
    state.ProgramFileName = programFileName;
    state.ProgramFolder = std::string(pathrules::folderPart(programFileName));
    state.ProgramFolderLength = state.ProgramFolder.size();
}

} // namespace prepare
