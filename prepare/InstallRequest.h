// One install request, from its checks to the start of the installer.
#pragma once

#include "platform/System.h"
#include "prepare/RunState.h"
#include "prepare/Survey.h"
#include "prepare/Validation.h"

#include <cstddef>
#include <string>
#include <vector>

namespace prepare {

// What the request asks of the window while it runs.
class RequestUi {
public:
    virtual ~RequestUi() = default;
    // Shows or hides the progress text.
    virtual void showProgress(bool visible) = 0;
    // Now and then during the survey; false cancels the request.
    virtual bool surveyProgress(std::size_t entriesSoFar) = 0;
    // The question asked when the files cannot all be moved; false is "No".
    virtual bool confirmInstallInPlace() = 0;
    // Whether the window is closing or the session ending: the request stops
    // at its next step.
    virtual bool stopRequested() { return false; }
};

struct RequestOutcome {
    enum class Kind {
        Rejected,    // a check failed, or a name cannot be written: `message`, `focus`
        Declined,    // the user answered "No": the window closes
        Cancelled,   // the survey was cancelled: nothing moved or written
        WriteFailed, // Inst.ini could not be written: `message` is the error text
        MoveFailed,  // a file could not move up, not for its name: what moved went back,
                     // Inst.ini is gone; `message` is the error text, `notBack` what could
                     // not go back. A name already there asks the question instead.
        Stopped,     // a close or session end stopped it; what it wrote is recorded
        StartFailed, // Inst.ini written and recorded, the installer could not start: `message`
        Started,     // Inst.ini written and recorded, the installer started
    };
    Kind kind = Kind::Started;
    std::string message; // code page 932
    Field focus = Field::None;
    int row = 0; // 1.. for the start-menu fields
    std::vector<NotBack> notBack;
};

// Runs one request. The progress text is shown once the checks have passed
// and hidden again before the function returns, whatever the outcome except
// Declined. The control file is written before any file is moved, so that a
// tool that dies midway leaves the record the next run restores from. A stop
// asked for through the window is heeded after the survey, after the
// question, before the write, before each move and before the installer
// starts; the installer never starts once one was asked for. The program
// folder stays held when it returns: the caller lets it go (FolderUse.h) once
// the boxes about the request are answered.
RequestOutcome runInstallRequest(platform::System& sys, RunState& state, const RequestTexts& texts,
                                 RequestUi& ui);

} // namespace prepare
