#include "prepare/Launch.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "prepare/ControlFile.h"

#include <algorithm>

namespace prepare {

bool sameFolder(platform::System& sys, const std::string& a, const std::string& b) {
    const std::string x(pathrules::folderPart(a));
    const std::string y(pathrules::folderPart(b));
    return x == y || sys.sameFile(x, y);
}

std::string recordControlFile(platform::System& sys, RunState& state) {
    const std::string path = controlFilePath(state);
    auto& files = state.CreatedIniFiles;
    const auto it = std::find_if(files.begin(), files.end(), [&](const std::string& recorded) {
        return sameFolder(sys, recorded, path);
    });
    if (it != files.end())
        return *it;
    files.push_back(path);
    return path;
}

bool programFolderIsOwn(platform::System& sys, const RunState& state) {
    const std::string& folder = state.ProgramFolder;
    return std::any_of(
               state.HeldFolders.begin(), state.HeldFolders.end(),
               [&](const HeldFolder& held) { return sameFolder(sys, held.folder, folder); }) ||
           std::any_of(
               state.CreatedIniFiles.begin(), state.CreatedIniFiles.end(),
               [&](const std::string& recorded) { return sameFolder(sys, recorded, folder); });
}

bool holdProgramFolder(platform::System& sys, RunState& state) {
    if (programFolderIsOwn(sys, state))
        return true;
    std::optional<platform::FolderHold> hold = sys.holdFolder(state.ProgramFolder);
    if (!hold)
        return false;
    if (*hold)
        state.HeldFolders.push_back({state.ProgramFolder, std::move(*hold)});
    return true;
}

void releaseUnrecordedFolders(platform::System& sys, RunState& state,
                              const std::vector<std::string>& busy) {
    auto namedIn = [&](const std::vector<std::string>& controlFiles, const HeldFolder& held) {
        return std::any_of(controlFiles.begin(), controlFiles.end(), [&](const std::string& path) {
            return sameFolder(sys, path, held.folder);
        });
    };
    std::erase_if(state.HeldFolders, [&](const HeldFolder& held) {
        return !namedIn(state.CreatedIniFiles, held) && !namedIn(busy, held);
    });
}

std::string installerPath(const RunState& state) {
    return state.ProgramFolder + InstallerName;
}

platform::LaunchResult startInstaller(platform::System& sys, const RunState& state,
                                      platform::Process* started) {
    return sys.shellOpen(installerPath(state), started);
}

} // namespace prepare
