#include "prepare/FolderUse.h"

#include "prepare/ControlFile.h"
#include "prepare/ProgramFolder.h"

#include <algorithm>

namespace prepare {
namespace {

// Lets go of the processes the record keeps.
void forgetInstallers(platform::System& sys, FolderRecord& record) {
    for (const auto* list : {&record.started, &record.found})
        for (platform::Process process : *list)
            sys.releaseProcess(process);
    record.started.clear();
    record.found.clear();
    record.unseenSince.reset();
}

// Looks again at who runs the folder's installer: the processes the run's
// starts gave, until they end, and every process found running its file,
// whoever started it (an installer that restarted itself, or one the
// desktop's opener started).
void lookForInstallers(platform::System& sys, FolderRecord& record) {
    std::erase_if(record.started, [&](platform::Process process) {
        if (!sys.processEnded(process))
            return false;
        // The opener found no program for the file: nothing comes to wait for.
        if (sys.startFailed(process))
            record.unseenSince.reset();
        sys.releaseProcess(process);
        return true;
    });
    for (platform::Process process : record.found)
        sys.releaseProcess(process);
    record.found = sys.processesRunning(installerBeside(record.folder));
    if (!record.found.empty())
        record.unseenSince.reset(); // seen: from now on it counts while it runs
}

} // namespace

FolderRecord* recordOf(platform::System& sys, RunState& state, const std::string& path) {
    const auto it =
        std::find_if(state.Folders.begin(), state.Folders.end(), [&](const FolderRecord& record) {
            return sameFolder(sys, record.folder, path);
        });
    return it == state.Folders.end() ? nullptr : &*it;
}

std::string recordControlFile(platform::System& sys, RunState& state) {
    FolderRecord* record = recordOf(sys, state, state.ProgramFolder);
    if (!record) {
        record = &state.Folders.emplace_back();
        record->folder = state.ProgramFolder;
    }
    if (record->controlFile.empty())
        record->controlFile = controlFilePath(state);
    return record->controlFile;
}

bool installerRunsIn(platform::System& sys, const std::string& path) {
    const std::vector<platform::Process> running = sys.processesRunning(installerBeside(path));
    for (platform::Process process : running)
        sys.releaseProcess(process);
    return !running.empty();
}

FolderClaim claimProgramFolder(platform::System& sys, RunState& state) {
    if (recordOf(sys, state, state.ProgramFolder))
        return FolderClaim::Own;
    // An installer left by a copy that died, or started by another copy,
    // reads its files where that copy put them.
    if (installerRunsIn(sys, state.ProgramFolder))
        return FolderClaim::InstallerRuns;
    std::optional<platform::FolderHold> hold = sys.holdFolder(state.ProgramFolder);
    if (!hold)
        return FolderClaim::OtherCopy;
    FolderRecord& record = state.Folders.emplace_back();
    record.folder = state.ProgramFolder;
    record.hold = std::move(*hold);
    return FolderClaim::Taken;
}

platform::LaunchResult startInstaller(platform::System& sys, RunState& state) {
    platform::Process process = platform::NoProcess;
    const platform::LaunchResult result =
        sys.shellOpen(installerBeside(state.ProgramFolder), &process);
    FolderRecord* record = recordOf(sys, state, state.ProgramFolder);
    if (!record) {
        sys.releaseProcess(process);
        return result;
    }
    if (process != platform::NoProcess)
        record->started.push_back(process);
    // The opener gives no process of the installer: until it is seen, the
    // start itself counts as the installer at work.
    if (result == platform::LaunchResult::Handed)
        record->unseenSince = Clock::now();
    return result;
}

bool installing(const FolderRecord& record, Clock::time_point now) {
    return !record.started.empty() || !record.found.empty() ||
           (record.unseenSince && now - *record.unseenSince < OpenerGrace);
}

bool mayRestore(const FolderRecord& record, Occasion occasion, Clock::time_point now) {
    if (record.controlFile.empty() || record.requesting || installing(record, now))
        return false;
    // Windows may end the tool any moment after a session end: an open box
    // keeps only the hold then.
    return occasion == Occasion::SessionEnd || record.asking == 0;
}

bool mayLetGo(const FolderRecord& record, Clock::time_point now) {
    return record.controlFile.empty() && !record.requesting && record.asking == 0 &&
           !installing(record, now);
}

Asking::Asking(platform::System& sys, RunState& state, std::vector<std::string> paths)
    : sys_(sys), state_(state), paths_(std::move(paths)) {
    for (const std::string& path : paths_)
        if (FolderRecord* record = recordOf(sys_, state_, path))
            ++record->asking;
}

Asking::Asking(Asking&& other) noexcept
    : sys_(other.sys_), state_(other.state_), paths_(std::move(other.paths_)) {
    other.paths_.clear();
}

Asking::~Asking() {
    if (paths_.empty())
        return;
    for (const std::string& path : paths_)
        if (FolderRecord* record = recordOf(sys_, state_, path))
            --record->asking;
    letGo(sys_, state_);
}

Requesting::Requesting(platform::System& sys, RunState& state)
    : sys_(sys), state_(state), folder_(state.ProgramFolder) {
    mark(true);
}

Requesting::~Requesting() {
    mark(false);
}

void Requesting::mark(bool on) {
    if (FolderRecord* record = recordOf(sys_, state_, folder_))
        record->requesting = on;
}

bool anyBoxOpen(const RunState& state) {
    return std::any_of(state.Folders.begin(), state.Folders.end(),
                       [](const FolderRecord& record) { return record.asking > 0; });
}

Settled settleFolders(platform::System& sys, RunState& state, Occasion occasion) {
    const Clock::time_point now = Clock::now();
    RestoreReport report;
    bool waiting = false;
    for (FolderRecord& record : state.Folders) {
        if (occasion == Occasion::LastClose)
            forgetInstallers(sys, record);
        else
            lookForInstallers(sys, record);
        if (mayRestore(record, occasion, now)) {
            RestoreReport one = restoreControlFile(sys, record.controlFile);
            report.notBack.insert(report.notBack.end(), one.notBack.begin(), one.notBack.end());
            report.unreadable.insert(report.unreadable.end(), one.unreadable.begin(),
                                     one.unreadable.end());
            // Once back, a later close must not touch a file another run may
            // have written there since.
            if (!platform::isFile(sys, record.controlFile))
                record.controlFile.clear();
        }
        waiting = waiting || (!record.controlFile.empty() && installing(record, now));
    }
    // The boxes about what stays come next: their folders stay the run's
    // until they are answered.
    std::vector<std::string> asked = report.unreadable;
    for (const NotBack& file : report.notBack)
        asked.push_back(file.folder);
    Settled settled{std::move(report), waiting, Asking(sys, state, std::move(asked))};
    letGo(sys, state);
    return settled;
}

RestoreReport restoreOnClose(platform::System& sys, RunState& state) {
    return settleFolders(sys, state, Occasion::LastClose).report;
}

void letGo(platform::System& sys, RunState& state) {
    const Clock::time_point now = Clock::now();
    std::erase_if(state.Folders, [&](FolderRecord& record) {
        if (!mayLetGo(record, now))
            return false;
        forgetInstallers(sys, record);
        return true;
    });
}

std::vector<platform::Process> installerProcesses(const RunState& state) {
    std::vector<platform::Process> processes;
    for (const FolderRecord& record : state.Folders)
        for (const auto* list : {&record.started, &record.found})
            processes.insert(processes.end(), list->begin(), list->end());
    return processes;
}

} // namespace prepare
