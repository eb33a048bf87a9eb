// The main window's logic, toolkit-free: the run state and the handlers, the
// enabling and focus rules, and how each outcome of a request is shown. A view
// (form/View.h) forwards its events here.
#pragma once

#include "form/View.h"
#include "platform/System.h"
#include "prepare/RunState.h"

namespace prepare {
struct RequestTexts;
struct RestoreReport;
} // namespace prepare

namespace form {

class TForm1 {
public:
    // FormCreate runs here, before the view shows the window.
    TForm1(View& view, platform::System& system);

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
    // the error box names any control file it could not read and any file
    // that could not go back. false only while a
    // request runs: it stops at its next step and the window then closes.
    bool FormCloseQuery();
    // The desktop session ends (or the application quits without its window
    // closing): the folder is restored without a box, now or, while a request
    // runs, once it has stopped at its next step. The window stays, in case
    // the session end is cancelled: its close restores again.
    void SessionEnding();

    // A survey that runs longer than this shows the progress window
    // (milliseconds; tests shorten it).
    static void setProgressDelay(int milliseconds);

private:
    void FormCreate();
    // The fields' texts as the request takes them (code page 932).
    prepare::RequestTexts gatherRequest();
    // The error box naming the files the close could not put back, if any.
    void reportNotBack(const std::vector<std::string>& notBack);
    // The close's boxes: each control file it could not read, then the files
    // it could not put back.
    void reportRestore(const prepare::RestoreReport& report);

    View& view_;
    platform::System& system_;
    prepare::RunState state;
    OpenDialogState OpenDialog1;
    bool requestRunning_ = false;
    bool closePending_ = false;
    bool stopRequest_ = false;  // the running request stops at its next step
    bool sessionEnded_ = false; // the session ended while a request ran
};

// The text the application's error box shows: a full stop appended when the
// text's last character sorts after "." (as every Japanese character does).
std::string withFullStop(const std::string& utf8);

} // namespace form
