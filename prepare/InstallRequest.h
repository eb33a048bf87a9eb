// One install request, from its checks to the start of the installer.
#pragma once

#include "prepare/RunState.h"
#include "prepare/Survey.h"
#include "prepare/Validation.h"

#include <cstddef>
#include <string>

namespace platform {
class System;
}

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
};

struct RequestOutcome {
    enum class Kind {
        Rejected,    // a check failed, or a name cannot be written: `message`, `focus`
        Declined,    // the user answered "No": the window closes
        Cancelled,   // the survey was cancelled: nothing moved or written
        WriteFailed, // Inst.ini could not be written: `message` is the error text
        Started,     // Inst.ini written and recorded, the installer started
    };
    Kind kind = Kind::Started;
    std::string message; // code page 932
    Field focus = Field::None;
    int row = 0; // 1.. for the start-menu fields
};

// Runs one request. The progress text is shown once the checks have passed
// and hidden again before the function returns, whatever the outcome except
// Declined. The control file is written before any file is moved, so that a
// tool that dies midway leaves the record the next run restores from.
RequestOutcome runInstallRequest(platform::System& sys, RunState& state, const RequestTexts& texts,
                                 RequestUi& ui);

} // namespace prepare
