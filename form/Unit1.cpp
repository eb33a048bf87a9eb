#include "form/Unit1.h"

#include "form/RequestView.h"
#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "prepare/ControlFile.h"
#include "prepare/FolderUse.h"
#include "prepare/InstallRequest.h"
#include "prepare/Restore.h"
#include "prepare/Texts.h"

#include <array>
#include <optional>

namespace form {
namespace {

namespace text = prepare::text;

std::string display(const std::string& cp932) {
    return platform::utf8FromCp932ForDisplay(cp932);
}

// The field a failed check names.
std::optional<ControlId> fieldOf(prepare::Field field, int row) {
    using prepare::Field;
    switch (field) {
    case Field::ProgramFile:
        return id(Role::EditProgramFile);
    case Field::Application:
        return id(Role::EditApplication);
    case Field::StartMenuName:
        return id(Role::EditStartMenu, row);
    case Field::StartMenuFile:
        return id(Role::EditStartMenuFile, row);
    case Field::None:
        break;
    }
    return std::nullopt;
}

} // namespace

TForm1::TForm1(View& view, platform::System& system, Clock clock)
    : view_(view), system_(system), clock_(std::move(clock)) {
    FormCreate();
}

void TForm1::setProgressDelay(int milliseconds) {
    RequestView::progressDelay = milliseconds;
}

void TForm1::FormCreate() {
    // The tool's own folder, ending with a backslash. The hints, their time
    // and the start-menu table come with the layout; the view binds the rows'
    // browse buttons to BtnStartMenuSanshoClick with their row as tag.
    state.ToolFolder =
        pathrules::withTrailingBackslash(pathrules::folderPart(system_.ownExecutablePath()));
    OpenDialog1.filter = text::ProgramFileFilter;
    OpenDialog1.title = text::ProgramFileTitle;
}

void TForm1::BtnSanshoClick() {
    OpenDialog1.filter = text::ProgramFileFilter;
    OpenDialog1.title = text::ProgramFileTitle;
    if (!view_.openDialog(OpenDialog1))
        return;
    chooseProgramFile(OpenDialog1.fileName);
}

void TForm1::chooseProgramFile(const std::string& nativePath) {
    // The field shows the path as the user chose it; the logic works on its
    // code page 932 form, which not every name has.
    const std::optional<std::string> programFile = system_.fromNativePath(nativePath);
    if (!programFile) {
        view_.plainBox(text::UnusableName);
        return;
    }
    prepare::setProgramFile(state, *programFile);
    view_.setText(id(Role::EditProgramFile), nativePath);
    // Row by row; they stay enabled from now on.
    for (int row = 1; row <= StartMenuRowCount; ++row)
        for (Role role : {Role::EditStartMenu, Role::EditStartMenuFile, Role::BtnStartMenuSansho})
            view_.setEnabled(id(role, row), true);
    offerToRestoreLeftover();
}

void TForm1::offerToRestoreLeftover() {
    // This run's own folder comes back at its close; one another copy holds
    // is that copy's, and one an installer works in is that installer's. The
    // folder is held until the question and its boxes are answered.
    if (prepare::claimProgramFolder(system_, state) != prepare::FolderClaim::Taken)
        return;
    const std::string controlFile = prepare::controlFilePath(state);
    prepare::Asking asking(system_, state, {controlFile}, clock_());
    if (prepare::leftRelocated(system_, controlFile) &&
        view_.questionBox(text::ApplicationTitle, text::LeftRelocatedQuestion) == Answer::Yes)
        reportRestore(prepare::restoreControlFile(system_, controlFile));
}

void TForm1::BtnStartMenuSanshoClick(int tag) {
    if (tag < 1 || tag > StartMenuRowCount)
        return;
    OpenDialog1.filter = text::AnyFileFilter;
    OpenDialog1.title = text::AnyFileTitle;
    if (!view_.openDialog(OpenDialog1))
        return;
    view_.setText(id(Role::EditStartMenuFile, tag), OpenDialog1.fileName);
}

void TForm1::FilesDropped(const std::vector<std::string>& nativePaths, int row) {
    if (requestRunning_ || waiting_ || nativePaths.size() != 1 || !takeFile(nativePaths[0], row))
        view_.beep();
}

void TForm1::CommandLine(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1)
        return;
    // Relative to the folder the tool started in, which a browse may change.
    const std::optional<std::string> absolute = system_.fromNativePath(arguments[0]);
    takeFile(absolute ? system_.toNativePath(*absolute) : arguments[0], 0);
}

bool TForm1::takeFile(const std::string& handedOver, int row) {
    // A shortcut stands for its target, as the open dialog follows it.
    const std::string nativePath = system_.shortcutTarget(handedOver).value_or(handedOver);
    // Only an existing file (no folder, nothing remote: no native path) is
    // taken; a file whose name the logic cannot hold is judged as after a
    // browse.
    const std::uint32_t attributes = system_.nativeAttributes(nativePath);
    if (attributes == platform::InvalidAttributes || (attributes & platform::AttrDirectory))
        return false;
    // The next browse starts at the file handed over, as after a browse.
    if (row >= 1 && row <= StartMenuRowCount && view_.isEnabled(id(Role::EditStartMenuFile, row))) {
        OpenDialog1.fileName = nativePath;
        view_.setText(id(Role::EditStartMenuFile, row), nativePath);
        return true;
    }
    // The program file's browse offers only "*.exe", in any letters.
    const std::string_view name = nativePath;
    if (name.size() < 4 ||
        pathrules::foldCase(name.substr(name.size() - 4)) != pathrules::foldCase(".exe"))
        return false;
    OpenDialog1.fileName = nativePath;
    chooseProgramFile(nativePath);
    return true;
}

void TForm1::EditProgramFileChange() {
    const ControlId install = id(Role::BitBtnInstall);
    if (!view_.text(id(Role::EditApplication)).empty())
        view_.setEnabled(install, true);
    if (view_.text(id(Role::EditProgramFile)).empty())
        view_.setEnabled(install, false);
}

void TForm1::EditApplicationChange() {
    const ControlId install = id(Role::BitBtnInstall);
    if (!view_.text(id(Role::EditProgramFile)).empty())
        view_.setEnabled(install, true);
    if (view_.text(id(Role::EditApplication)).empty())
        view_.setEnabled(install, false);
}

prepare::RequestTexts TForm1::gatherRequest() {
    // Each text in code page 932; nullopt where it cannot be written so.
    auto plain = [this](ControlId field) { return platform::cp932FromUtf8(view_.text(field)); };
    auto path = [this](ControlId field) -> std::optional<std::string> {
        const std::string text = view_.text(field);
        if (text.empty())
            return std::string();
        return system_.fromNativePath(text);
    };
    prepare::RequestTexts texts;
    texts.programFile = path(id(Role::EditProgramFile));
    texts.application = plain(id(Role::EditApplication));
    for (int row = 1; row <= StartMenuRowCount; ++row) {
        const auto i = static_cast<std::size_t>(row - 1);
        texts.startMenuNames[i] = plain(id(Role::EditStartMenu, row));
        texts.startMenuFiles[i] = path(id(Role::EditStartMenuFile, row));
    }
    return texts;
}

void TForm1::BitBtnInstallClick() {
    if (requestRunning_)
        return;
    const ControlId install = id(Role::BitBtnInstall);
    view_.setEnabled(install, false);
    requestRunning_ = true;
    stopRequest_ = false;
    prepare::RequestOutcome outcome;
    {
        RequestView ui(view_, stopRequest_);
        outcome = prepare::runInstallRequest(system_, state, gatherRequest(), ui);
    }
    requestRunning_ = false;

    using Kind = prepare::RequestOutcome::Kind;
    switch (outcome.kind) {
    case Kind::Rejected:
        view_.plainBox(display(outcome.message));
        if (const std::optional<ControlId> field = fieldOf(outcome.focus, outcome.row))
            view_.setFocus(*field);
        view_.setEnabled(install, true);
        break;
    case Kind::Declined:
        view_.closeWindow();
        return;
    case Kind::Cancelled:
    case Kind::Stopped:
        view_.setEnabled(install, true);
        break;
    case Kind::WriteFailed:
    case Kind::MoveFailed:
    case Kind::StartFailed: {
        // Nothing stays moved but what the record holds for the close.
        view_.setEnabled(install, true);
        prepare::Asking asking(system_, state, {prepare::controlFilePath(state)}, clock_());
        view_.errorBox(withFullStop(display(outcome.message)));
        reportNotBack(outcome.notBack);
        break;
    }
    case Kind::Started:
        break;
    }
    // A session end met the request midway: what it recorded goes back too.
    if (sessionEnded_) {
        sessionEnded_ = false;
        prepare::settleFolders(system_, state, prepare::Occasion::SessionEnd, clock_());
    }
    prepare::letGo(system_, state, clock_());
    if (closePending_) {
        closePending_ = false;
        view_.closeWindow();
    }
}

void TForm1::reportNotBack(std::vector<prepare::NotBack> notBack) {
    // Another program may hold them: once it is closed, they may go back.
    // Their folders stay the run's until the user has answered.
    std::vector<std::string> folders;
    for (const prepare::NotBack& file : notBack)
        folders.push_back(file.folder);
    prepare::Asking asking(system_, state, folders, clock_());
    while (!notBack.empty()) {
        std::vector<std::string> named;
        for (std::size_t i = 0; i < notBack.size() && i < text::NamedNotBack; ++i)
            named.push_back(text::shownPath(system_, notBack[i].path()));
        const std::string message = text::cannotRestore(named, notBack.size() - named.size());
        if (view_.retryBox(display(message)) != Answer::Retry)
            return;
        notBack = prepare::retryRestore(system_, notBack);
    }
}

void TForm1::reportRestore(const prepare::RestoreReport& report) {
    // A close that waits for installers tries it again each time: said once.
    for (const std::string& controlFile : report.unreadable)
        if (unreadableSaid_.insert(controlFile).second)
            view_.errorBox(
                withFullStop(display(text::cannotRead(text::shownPath(system_, controlFile)))));
    reportNotBack(report.notBack);
}

void TForm1::reportSettled(const prepare::Settled& settled) {
    // As the request says it when the shell refuses the installer at once.
    for (const std::string& installer : settled.failedStarts)
        view_.errorBox(
            withFullStop(display(text::cannotStart(text::shownPath(system_, installer)))));
    reportRestore(settled.report);
}

void TForm1::Help1Click() {
    // Installed on Linux the program is in bin/ and its read-me in share/doc/.
    std::string readMe = state.ToolFolder + ReadMeName;
    const std::string installed = state.ToolFolder + "..\\share\\doc\\kwarino\\" + ReadMeName;
    if (!platform::isFile(system_, readMe) && platform::isFile(system_, installed))
        readMe = installed;
    system_.shellOpen(readMe);
}

bool TForm1::FormCloseQuery() {
    if (requestRunning_) {
        // A request is under way: it stops at its next step, then the window
        // closes.
        closePending_ = true;
        stopRequest_ = true;
        return false;
    }
    if (!waiting_) {
        unreadableSaid_.clear();
        // An installer still at work reads its files where the tool put them.
        const prepare::Settled settled =
            prepare::settleFolders(system_, state, prepare::Occasion::Close, clock_());
        if (settled.installing) {
            waiting_ = true;
            for (ControlId control = 0; control < controls().size(); ++control)
                if (controls()[control].kind != Kind::Label)
                    view_.setEnabled(control, false);
            view_.setText(id(Role::Label6), text::WaitingForInstaller);
            view_.setVisible(id(Role::Label6), true);
        }
        // The user hears of any file that stays beside the program.
        reportSettled(settled);
        return !settled.installing;
    }
    // A second close while installers run: the user's choice wins; its
    // folders stay the run's until its boxes are answered.
    const prepare::Settled last =
        prepare::settleFolders(system_, state, prepare::Occasion::LastClose, clock_());
    reportRestore(last.report);
    return true;
}

std::vector<platform::Process> TForm1::installersWaitedFor() const {
    return waiting_ ? prepare::installerProcesses(state) : std::vector<platform::Process>{};
}

bool TForm1::looking() const {
    return waiting_ || prepare::followingStarts(state);
}

void TForm1::InstallerEnded() {
    // A request or a box is under way: the next wake tries again.
    if (requestRunning_ || prepare::anyBoxOpen(state) || !looking())
        return;
    const prepare::Occasion occasion =
        waiting_ ? prepare::Occasion::Close : prepare::Occasion::Look;
    const prepare::Settled settled = prepare::settleFolders(system_, state, occasion, clock_());
    reportSettled(settled);
    if (waiting_ && !settled.installing)
        view_.closeWindow();
}

void TForm1::SessionEnding() {
    // No box, and nothing waits, while the session ends: Windows may end the
    // tool any moment after. A running request stops at its next step; the
    // control file it may be writing goes back once it has stopped. A folder
    // an installer still works in stays as it is; one a box is open about
    // stays held, in case the session end is cancelled.
    if (requestRunning_) {
        stopRequest_ = true;
        sessionEnded_ = true;
    }
    prepare::settleFolders(system_, state, prepare::Occasion::SessionEnd, clock_());
}

std::string withFullStop(const std::string& utf8) {
    if (utf8.empty())
        return utf8;
    // A byte of a multi-byte character is 0x80 or above: every such character
    // sorts after the full stop.
    const auto last = static_cast<unsigned char>(utf8.back());
    return last > '.' ? utf8 + '.' : utf8;
}

} // namespace form
