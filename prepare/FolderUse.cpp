#include "prepare/FolderUse.h"

#include "platform/PathRules.h"
#include "prepare/ControlFile.h"

#include <algorithm>

namespace prepare {
namespace {

// Whether any of the paths lies in the folder of `path`.
bool anyInFolder(platform::System& sys, const std::vector<std::string>& paths,
                 const std::string& path) {
    return std::any_of(paths.begin(), paths.end(),
                       [&](const std::string& other) { return sameFolder(sys, other, path); });
}

// The installer beside the control file (or in the folder) of `path`.
std::string installerBeside(const std::string& path) {
    return std::string(pathrules::folderPart(path)) + InstallerName;
}

} // namespace

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
           anyInFolder(sys, state.CreatedIniFiles, folder);
}

bool installerRunsIn(platform::System& sys, const std::string& path) {
    const std::vector<platform::Process> running = sys.processesRunning(installerBeside(path));
    for (platform::Process process : running)
        sys.releaseProcess(process);
    return !running.empty();
}

FolderClaim claimProgramFolder(platform::System& sys, RunState& state) {
    if (programFolderIsOwn(sys, state))
        return FolderClaim::Own;
    // An installer left by a copy that died, or started by another copy,
    // reads its files where that copy put them.
    if (installerRunsIn(sys, state.ProgramFolder))
        return FolderClaim::InstallerRuns;
    std::optional<platform::FolderHold> hold = sys.holdFolder(state.ProgramFolder);
    if (!hold)
        return FolderClaim::OtherCopy;
    if (*hold)
        state.HeldFolders.push_back({state.ProgramFolder, std::move(*hold)});
    return FolderClaim::Taken;
}

std::vector<std::string> stillInstalling(platform::System& sys, RunState& state) {
    std::vector<std::string> busy;
    std::erase_if(state.StartedInstallers, [&](const RunningInstaller& installer) {
        if (!sys.processEnded(installer.process)) {
            busy.push_back(installer.controlFile);
            return false;
        }
        sys.releaseProcess(installer.process);
        return true;
    });
    // Whoever started them: an installer that restarted itself, or one the
    // desktop's opener started, which gives the tool no process.
    for (const RunningInstaller& found : state.FoundInstallers)
        sys.releaseProcess(found.process);
    state.FoundInstallers.clear();
    for (const std::string& controlFile : state.CreatedIniFiles) {
        const std::vector<platform::Process> running =
            sys.processesRunning(installerBeside(controlFile));
        for (platform::Process process : running)
            state.FoundInstallers.push_back({controlFile, process});
        if (!running.empty() && !anyInFolder(sys, busy, controlFile))
            busy.push_back(controlFile);
    }
    return busy;
}

void forgetInstallers(platform::System& sys, RunState& state) {
    for (const auto* list : {&state.StartedInstallers, &state.FoundInstallers})
        for (const RunningInstaller& installer : *list)
            sys.releaseProcess(installer.process);
    state.StartedInstallers.clear();
    state.FoundInstallers.clear();
}

void releaseUnrecordedFolders(platform::System& sys, RunState& state,
                              const std::vector<std::string>& busy) {
    std::erase_if(state.HeldFolders, [&](const HeldFolder& held) {
        return !anyInFolder(sys, state.CreatedIniFiles, held.folder) &&
               !anyInFolder(sys, busy, held.folder);
    });
}

} // namespace prepare
