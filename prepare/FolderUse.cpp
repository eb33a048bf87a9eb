#include "prepare/FolderUse.h"

#include "platform/PathRules.h"
#include "prepare/ProgramFolder.h"

#include <algorithm>

namespace prepare {

// The one way into the run's records.
struct FolderRecordsOwner {
    static std::vector<FolderRecord>& list(RunState& state) { return state.Folders.list_; }
    static const std::vector<FolderRecord>& list(const RunState& state) {
        return state.Folders.list_;
    }
    static FolderRecord& add(RunState& state, std::string folder, platform::FolderHold hold) {
        FolderRecord& record = state.Folders.list_.emplace_back();
        record.key = ++state.Folders.lastKey_;
        record.folder = std::move(folder);
        record.hold = std::move(hold);
        return record;
    }
};

namespace {

using Owner = FolderRecordsOwner;

// The run's record of the folder of `path` (a folder with its separator, or a
// file in it), found by what the folder is: the path is looked up once, and
// wherever a recorded folder has moved meanwhile, it is still the run's.
FolderRecord* recordOf(platform::System& sys, RunState& state, const std::string& path) {
    const std::string folder(pathrules::folderPart(path));
    const std::optional<platform::FolderId> id = sys.folderId(folder);
    for (FolderRecord& record : Owner::list(state))
        if (record.hold ? id && record.hold->id() == *id : record.folder == folder)
            return &record;
    return nullptr;
}

FolderRecord* recordByKey(RunState& state, std::uint64_t key) {
    for (FolderRecord& record : Owner::list(state))
        if (record.key == key)
            return &record;
    return nullptr;
}

// Where the folder lies now: as the request spelled it while that still names
// it, else where the folder was moved to meanwhile.
std::string folderNow(platform::System& sys, const FolderRecord& record) {
    if (!record.hold || sys.folderId(record.folder) == record.hold->id())
        return record.folder;
    return record.hold->where().value_or(record.folder);
}

// Whether a start handed to the opener counts as the installer at work.
bool atWork(const FolderRecord::Handed& start, bool seen, Clock::time_point now) {
    return !start.ended || (!seen && now - *start.ended < OpenerGrace);
}

// Lets go of the processes the record keeps.
void forgetInstallers(platform::System& sys, FolderRecord& record) {
    for (const auto* list : {&record.started, &record.found})
        for (platform::Process process : *list)
            sys.releaseProcess(process);
    for (const FolderRecord::Handed& start : record.handed)
        sys.releaseProcess(start.opener);
    record.started.clear();
    record.found.clear();
    record.handed.clear();
}

// Looks again at who runs the folder's installer (lying in `folder` now): the
// installers the run's starts gave, until they end, every process found
// running its file, whoever started it (an installer that restarted itself,
// or one the desktop's opener started), and the openers handed a start.
// Whether a start ended with no program to open the installer.
bool lookForInstallers(platform::System& sys, FolderRecord& record, const std::string& folder,
                       Clock::time_point now) {
    std::erase_if(record.started, [&](platform::Process process) {
        if (!sys.processEnded(process))
            return false;
        sys.releaseProcess(process);
        return true;
    });
    // The openers first: Wine's start ends only once the program it starts
    // has mapped its file, so the look after an opener's end sees that
    // installer even where it left the opener's process group.
    std::vector<platform::OpenerState> states;
    for (const FolderRecord::Handed& start : record.handed)
        states.push_back(sys.openerState(start.opener));
    for (platform::Process process : record.found)
        sys.releaseProcess(process);
    record.found = sys.processesRunning(installerBeside(folder));
    record.seen = record.seen || !record.found.empty();
    bool failed = false;
    std::vector<FolderRecord::Handed> open;
    for (std::size_t i = 0; i < states.size(); ++i) {
        FolderRecord::Handed& start = record.handed[i];
        if (states[i] == platform::OpenerState::Ended)
            start.ended = start.ended.value_or(now);
        if (states[i] == platform::OpenerState::Running ||
            (states[i] == platform::OpenerState::Ended && atWork(start, record.seen, now))) {
            open.push_back(start);
            continue;
        }
        failed = failed || (states[i] == platform::OpenerState::NoProgram && !record.seen);
        sys.releaseProcess(start.opener);
    }
    record.handed = std::move(open);
    return failed;
}

} // namespace

std::vector<std::string> RunState::CreatedIniFiles() const {
    std::vector<std::string> files;
    for (const FolderRecord& record : Owner::list(*this))
        if (!record.controlFile.empty())
            files.push_back(record.controlFile);
    return files;
}

std::string recordControlFile(platform::System& sys, RunState& state) {
    FolderRecord* record = recordOf(sys, state, state.ProgramFolder);
    if (!record)
        record = &Owner::add(state, state.ProgramFolder, nullptr);
    if (record->controlFile.empty())
        record->controlFile = controlFilePath(state);
    return record->controlFile;
}

std::optional<std::string> writeRecordedControlFile(platform::System& sys, RunState& state,
                                                    const ControlFileRequest& request) {
    std::size_t fresh = 0;
    FolderRecord* record = recordOf(sys, state, state.ProgramFolder);
    return writeControlFile(sys, state, request, record ? record->groupItems : fresh);
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
    Owner::add(state, state.ProgramFolder, std::move(*hold));
    return FolderClaim::Taken;
}

platform::LaunchResult startInstaller(platform::System& sys, RunState& state) {
    platform::Process process = platform::NoProcess;
    const platform::LaunchResult result =
        sys.shellOpen(installerBeside(state.ProgramFolder), &process);
    FolderRecord* record = recordOf(sys, state, state.ProgramFolder);
    if (!record || process == platform::NoProcess) {
        sys.releaseProcess(process);
        return result;
    }
    if (result == platform::LaunchResult::Handed) {
        // The opener gives no process of the installer: it is followed until
        // it is known what came of it.
        record->handed.push_back({process, std::nullopt});
        record->seen = false;
    } else {
        record->started.push_back(process);
    }
    return result;
}

bool installing(const FolderRecord& record, Clock::time_point now) {
    return !record.started.empty() || !record.found.empty() ||
           std::any_of(
               record.handed.begin(), record.handed.end(),
               [&](const FolderRecord::Handed& start) { return atWork(start, record.seen, now); });
}

bool mayRestore(const FolderRecord& record, Occasion occasion, Clock::time_point now) {
    if (occasion == Occasion::Look || record.controlFile.empty() || record.requesting ||
        installing(record, now))
        return false;
    // Windows may end the tool any moment after a session end: an open box
    // keeps only the hold then.
    return occasion == Occasion::SessionEnd || record.asking == 0;
}

bool mayLetGo(const FolderRecord& record, Clock::time_point now) {
    return record.controlFile.empty() && !record.requesting && record.asking == 0 &&
           !installing(record, now);
}

Asking::Asking(platform::System& sys, RunState& state, const std::vector<std::string>& paths,
               Clock::time_point now)
    : sys_(sys), state_(state), now_(now) {
    for (const std::string& path : paths)
        if (FolderRecord* record = recordOf(sys_, state_, path)) {
            keys_.push_back(record->key);
            ++record->asking;
        }
}

Asking::Asking(platform::System& sys, RunState& state, std::vector<std::uint64_t> keys,
               Clock::time_point now)
    : sys_(sys), state_(state), keys_(std::move(keys)), now_(now) {
    for (std::uint64_t key : keys_)
        if (FolderRecord* record = recordByKey(state_, key))
            ++record->asking;
}

Asking::Asking(Asking&& other) noexcept
    : sys_(other.sys_), state_(other.state_), keys_(std::move(other.keys_)), now_(other.now_) {
    other.keys_.clear();
}

Asking::~Asking() {
    if (keys_.empty())
        return;
    for (std::uint64_t key : keys_)
        if (FolderRecord* record = recordByKey(state_, key))
            --record->asking;
    letGo(sys_, state_, now_);
}

Requesting::Requesting(platform::System& sys, RunState& state) : state_(state) {
    if (FolderRecord* record = recordOf(sys, state, state.ProgramFolder)) {
        key_ = record->key;
        record->requesting = true;
    }
}

Requesting::~Requesting() {
    // Found by its key: the folder may have been renamed meanwhile.
    if (FolderRecord* record = recordByKey(state_, key_))
        record->requesting = false;
}

bool anyBoxOpen(const RunState& state) {
    const std::vector<FolderRecord>& records = Owner::list(state);
    return std::any_of(records.begin(), records.end(),
                       [](const FolderRecord& record) { return record.asking > 0; });
}

bool followingStarts(const RunState& state) {
    const std::vector<FolderRecord>& records = Owner::list(state);
    return std::any_of(records.begin(), records.end(),
                       [](const FolderRecord& record) { return !record.handed.empty(); });
}

Settled settleFolders(platform::System& sys, RunState& state, Occasion occasion,
                      Clock::time_point now) {
    std::vector<std::string> failedStarts;
    RestoreReport report;
    std::vector<std::uint64_t> asked;
    bool waiting = false;
    for (FolderRecord& record : Owner::list(state)) {
        const std::string folder = folderNow(sys, record);
        if (occasion == Occasion::LastClose)
            forgetInstallers(sys, record);
        else if (lookForInstallers(sys, record, folder, now)) {
            failedStarts.push_back(installerBeside(folder));
            asked.push_back(record.key);
        }
        if (mayRestore(record, occasion, now)) {
            const std::string controlFile = folder + ControlFileName;
            RestoreReport one = restoreControlFile(sys, controlFile);
            if (!one.notBack.empty() || !one.unreadable.empty())
                asked.push_back(record.key);
            report.notBack.insert(report.notBack.end(), one.notBack.begin(), one.notBack.end());
            report.unreadable.insert(report.unreadable.end(), one.unreadable.begin(),
                                     one.unreadable.end());
            // Once back, a later close must not touch a file another run may
            // have written there since.
            if (!platform::isFile(sys, controlFile))
                record.controlFile.clear();
        }
        waiting = waiting || (!record.controlFile.empty() && installing(record, now));
    }
    // The boxes about what stays come next: their folders stay the run's
    // until they are answered.
    Settled settled{std::move(failedStarts), std::move(report), waiting,
                    Asking(sys, state, std::move(asked), now)};
    letGo(sys, state, now);
    return settled;
}

RestoreReport restoreOnClose(platform::System& sys, RunState& state) {
    // Nothing is waited for any more: no decision asks the time.
    return settleFolders(sys, state, Occasion::LastClose, Clock::time_point{}).report;
}

void letGo(platform::System& sys, RunState& state, Clock::time_point now) {
    std::erase_if(Owner::list(state), [&](FolderRecord& record) {
        if (!mayLetGo(record, now))
            return false;
        forgetInstallers(sys, record);
        return true;
    });
}

std::vector<platform::Process> installerProcesses(const RunState& state) {
    std::vector<platform::Process> processes;
    for (const FolderRecord& record : Owner::list(state))
        for (const auto* list : {&record.started, &record.found})
            processes.insert(processes.end(), list->begin(), list->end());
    return processes;
}

} // namespace prepare
