#include "prepare/RunState.h"

#include "platform/PathRules.h"

namespace prepare {

void setProgramFile(RunState& state, const std::string& programFileName) {
    state.ProgramFileName = programFileName;
    state.ProgramFolder = std::string(pathrules::folderPart(programFileName));
    state.ProgramFolderLength = state.ProgramFolder.size();
}

std::vector<std::string> RunState::CreatedIniFiles() const {
    std::vector<std::string> files;
    for (const FolderRecord& record : Folders)
        if (!record.controlFile.empty())
            files.push_back(record.controlFile);
    return files;
}

} // namespace prepare
