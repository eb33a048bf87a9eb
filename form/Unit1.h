// The main window's logic, toolkit-free: the run state and the handlers, the
// enabling and focus rules, and how each outcome of a request is shown. A view
// (form/View.h) forwards its events here.
#pragma once

#include "form/View.h"
#include "platform/System.h"
#include "prepare/RunState.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

namespace prepare {
struct NotBack;
struct Settled;
struct RequestTexts;
struct RestoreReport;
} // namespace prepare

namespace form {

// The read-me the help menu opens, beside the tool.
constexpr const char* ReadMeName = "ReadMe.txt";

class TForm1 {
public:
    // FormCreate runs here, before the view shows the window. Every decision
    // that depends on time takes it from `clock` (tests step it).
    using Clock = std::function<prepare::Clock::time_point()>;
    TForm1(View& view, platform::System& system, Clock clock = prepare::Clock::now);

    const prepare::RunState& runState() const { return state; }

    void BtnSanshoClick();
    // tag: the row (1 to StartMenuRowCount) of the pressed browse button.
    void BtnStartMenuSanshoClick(int tag);
    void EditProgramFileChange();
    void EditApplicationChange();
    void BitBtnInstallClick();
    void Help1Click();
    // Every time the window is about to close, however it closes: the relocated
    // files go back, the control files written in this run are deleted, and
    // the boxes name any control file it could not read and any file that
    // could not go back. false while a request runs: it stops at its next
    // step and the window then closes. false too while an installer still
    // runs from a recorded folder, whoever started it (found by its file): its
    // folder comes back once it has ended, the window
    // waiting with its controls disabled and closing by itself; a second
    // close restores everything at once and closes.
    bool FormCloseQuery();
    // The desktop session ends (or the application quits without its window
    // closing): every recorded folder is restored at once without a box, but
    // for the control file a running request may be writing, which goes back
    // once the request has stopped at its next step, and for the folders an
    // installer or an open box is still about. Nothing waits. The window
    // stays, in case the session end is cancelled: its close restores again.
    void SessionEnding();
    // While a close waits: the installers' processes to wait for (else none).
    // While a close waits or a start handed to the desktop's opener is
    // followed, the window calls InstallerEnded once a second (an installer
    // the tool got no process for is looked for again), and whenever one of
    // those processes has ended: an opener that found no program for the
    // installer is said at once.
    bool waitingForInstallers() const { return waiting_; }
    bool looking() const;
    std::vector<platform::Process> installersWaitedFor() const;
    void InstallerEnded();
    // Files handed over by a drop, `row` the start-menu row they were dropped
    // on (0 elsewhere): one file is taken as that row's browse, or elsewhere
    // as the program file's browse, would take it; anything else beeps.
    void FilesDropped(const std::vector<std::string>& nativePaths, int row);
    // The command line at start: one path there is taken as a program file
    // dropped on the window; anything else is ignored.
    void CommandLine(const std::vector<std::string>& arguments);

    // A survey that runs longer than this shows the progress window
    // (milliseconds; tests shorten it).
    static void setProgressDelay(int milliseconds);

private:
    void FormCreate();
    // The fields' texts as the request takes them (code page 932).
    prepare::RequestTexts gatherRequest();
    // The program file as the browse takes the chosen one (a native path).
    void chooseProgramFile(const std::string& nativePath);
    // A program folder that a run cut short left relocated, which no running
    // copy of the tool holds: asks whether to put its files back now.
    void offerToRestoreLeftover();
    // Takes one handed-over file; false when a browse would not offer it.
    bool takeFile(const std::string& handedOver, int row);
    // The box naming the files that could not go back, if any, until they
    // are back or the user lets them stay.
    void reportNotBack(std::vector<prepare::NotBack> notBack);
    // The close's boxes: each control file it could not read, then the files
    // it could not put back.
    void reportRestore(const prepare::RestoreReport& report);
    // An event's boxes: each start no program opened, then the close's.
    void reportSettled(const prepare::Settled& settled);

    View& view_;
    platform::System& system_;
    Clock clock_;
    prepare::RunState state;
    OpenDialogState OpenDialog1;
    bool requestRunning_ = false;
    bool closePending_ = false;
    bool stopRequest_ = false;  // the running request stops at its next step
    bool sessionEnded_ = false; // the session ended while a request ran
    bool waiting_ = false;      // a close waits for installers
    // The control files a close has said it cannot read, each said once.
    std::set<std::string> unreadableSaid_;
};

// The text the application's error box shows: a full stop appended when the
// text's last character sorts after "." (as every Japanese character does).
std::string withFullStop(const std::string& utf8);

} // namespace form
