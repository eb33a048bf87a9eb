// A window without a toolkit for the handler tests: it keeps each control's
// text, state and the focus, runs the change handlers as a real field does,
// answers boxes and the file dialog from a script and records what it showed.
#pragma once

#include "form/Unit1.h"
#include "form/View.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class FakeView : public form::View {
public:
    FakeView();

    // The form whose change handlers and close query this view calls.
    form::TForm1* form = nullptr;

    struct Control {
        std::string text;
        bool enabled = true;
        bool visible = true;
    };
    std::vector<Control> controls; // indexed by form::ControlId
    std::optional<form::ControlId> focus;

    struct Box {
        enum Kind { Plain, Question, Error, Retry } kind;
        std::string caption; // the question's own; empty for the others
        std::string text;
    };
    std::vector<Box> boxes;
    // For the questions and the retry boxes, oldest first; a retry box finds
    // none: Cancel.
    std::deque<form::Answer> answers;
    int beeps = 0;
    std::function<void()>
        onQuestion; // what else happens while a question, error or retry box is open

    struct Dialog {
        std::string title, filter, startFileName;
    };
    std::vector<Dialog> dialogs;
    std::deque<std::optional<std::string>> fileNames; // nullopt: cancel

    int keptPainted = 0;
    std::vector<std::size_t> progress;           // every count the progress window showed
    std::function<bool(std::size_t)> onProgress; // the user's side; unset: goes on
    bool progressShown = false;
    bool closed = false;
    int unexpected = 0; // a question or dialog met with no scripted answer

    Control& operator[](form::ControlId id) { return controls.at(id); }
    const Control& operator[](form::ControlId id) const { return controls.at(id); }

    std::string text(form::ControlId control) const override;
    void setText(form::ControlId control, const std::string& text) override;
    bool isEnabled(form::ControlId control) const override;
    void setEnabled(form::ControlId control, bool enabled) override;
    void setVisible(form::ControlId control, bool visible) override;
    void setFocus(form::ControlId control) override;
    void plainBox(const std::string& text) override;
    form::Answer questionBox(const std::string& caption, const std::string& text) override;
    void errorBox(const std::string& text) override;
    form::Answer retryBox(const std::string& text) override;
    void beep() override { ++beeps; }
    bool openDialog(form::OpenDialogState& dialog) override;
    void keepPainted() override;
    bool surveyProgress(std::size_t entriesSoFar) override;
    void endSurveyProgress() override;
    void closeWindow() override;
};

} // namespace testing_support
