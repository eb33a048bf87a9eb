// What the window's logic asks of a window toolkit. A view creates the controls
// of form/Layout.h at their places, forwards each event to the TForm1 handler
// named in the table, and does what these calls say; it decides nothing.
//
// Every text crosses here as UTF-8; the logic's code page 932 starts behind
// TForm1. Each modal call returns once the user has answered.
#pragma once

#include "form/Layout.h"

#include <cstddef>
#include <string>

namespace form {

enum class Answer { Ok, Yes, No, Closed, Retry, Cancel };

// The one file-open dialog of the window. The handlers set the filter and the
// title before each use; the file name and the filter entry chosen last stay
// as the starting choice of the next use.
struct OpenDialogState {
    std::string filter; // "description|pattern|description|pattern"
    std::string title;
    std::string fileName; // the native path chosen last
    int filterIndex = 1;  // 1-based entry of the filter chosen last
};

class View {
public:
    virtual ~View() = default;

    virtual std::string text(ControlId control) const = 0;
    // Sets a field's or a label's text. When a field's text changes, its
    // change handler runs before this returns, as it does for typing.
    virtual void setText(ControlId control, const std::string& text) = 0;
    virtual bool isEnabled(ControlId control) const = 0;
    virtual void setEnabled(ControlId control, bool enabled) = 0;
    virtual void setVisible(ControlId control, bool visible) = 0;
    virtual void setFocus(ControlId control) = 0;

    // The plain box: caption the application title, no icon, the text, one
    // "OK" that Enter and Escape press.
    virtual void plainBox(const std::string& text) = 0;
    // The confirmation: caption, a question-mark icon, "はい(&Y)" (default) and
    // "いいえ(&N)" (Escape); closed by its title bar it answers Closed.
    virtual Answer questionBox(const std::string& caption, const std::string& text) = 0;
    // The application's error box: caption the application title, a stop icon,
    // one "OK"; the text is shown as given (the full stop is already added).
    virtual void errorBox(const std::string& text) = 0;
    // The box for files that cannot go back: caption the application title, a
    // stop icon, "再試行" (default) and "キャンセル" (Escape), as Windows
    // offers them (MB_RETRYCANCEL). Retry, or Cancel however else it closes.
    virtual Answer retryBox(const std::string& text) = 0;
    // The system's beep: a dropped file that is not taken.
    virtual void beep() = 0;
    // Shows the file-open dialog modally, starting at dialog.fileName. true
    // when a file was chosen: fileName and filterIndex then hold the choice.
    // A cancel changes nothing.
    virtual bool openDialog(OpenDialogState& dialog) = 0;

    // During a survey, between folders: lets the window paint (the progress
    // text among it) without taking the user's input.
    virtual void keepPainted() = 0;
    // A survey that has run for a while: shows or updates the modal progress
    // window with its count and its "キャンセル" button, and handles its
    // events. false once the user has cancelled.
    virtual bool surveyProgress(std::size_t entriesSoFar) = 0;
    // Removes the progress window, if one is shown.
    virtual void endSurveyProgress() = 0;

    // Closes the window; the view's close path then asks FormCloseQuery.
    virtual void closeWindow() = 0;
};

} // namespace form
