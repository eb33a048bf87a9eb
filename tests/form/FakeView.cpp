#include "form/FakeView.h"

namespace testing_support {

using form::ControlId;

FakeView::FakeView() {
    for (const form::ControlEntry& entry : form::controls())
        controls.push_back({std::string(), entry.enabled, entry.visible});
}

std::string FakeView::text(ControlId control) const {
    return controls.at(control).text;
}

void FakeView::setText(ControlId control, const std::string& text) {
    Control& c = controls.at(control);
    if (c.text == text)
        return;
    c.text = text;
    if (!form)
        return;
    if (control == form::id(form::Role::EditProgramFile))
        form->EditProgramFileChange();
    else if (control == form::id(form::Role::EditApplication))
        form->EditApplicationChange();
}

bool FakeView::isEnabled(ControlId control) const {
    return controls.at(control).enabled;
}

void FakeView::setEnabled(ControlId control, bool enabled) {
    controls.at(control).enabled = enabled;
}

void FakeView::setVisible(ControlId control, bool visible) {
    controls.at(control).visible = visible;
}

void FakeView::setFocus(ControlId control) {
    focus = control;
}

void FakeView::plainBox(const std::string& text) {
    boxes.push_back({Box::Plain, {}, text});
}

form::Answer FakeView::questionBox(const std::string& caption, const std::string& text) {
    boxes.push_back({Box::Question, caption, text});
    if (onQuestion)
        onQuestion();
    if (answers.empty()) {
        ++unexpected;
        return form::Answer::Closed;
    }
    const form::Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeView::errorBox(const std::string& text) {
    boxes.push_back({Box::Error, {}, text});
    if (onQuestion)
        onQuestion();
}

form::Answer FakeView::retryBox(const std::string& text) {
    boxes.push_back({Box::Retry, {}, text});
    if (onQuestion)
        onQuestion();
    if (answers.empty())
        return form::Answer::Cancel;
    const form::Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

bool FakeView::openDialog(form::OpenDialogState& dialog) {
    dialogs.push_back({dialog.title, dialog.filter, dialog.fileName});
    if (fileNames.empty()) {
        ++unexpected;
        return false;
    }
    const std::optional<std::string> answer = fileNames.front();
    fileNames.pop_front();
    if (!answer)
        return false;
    dialog.fileName = *answer;
    dialog.filterIndex = 1;
    return true;
}

void FakeView::keepPainted() {
    ++keptPainted;
}

bool FakeView::surveyProgress(std::size_t entriesSoFar) {
    progressShown = true;
    progress.push_back(entriesSoFar);
    return onProgress ? onProgress(entriesSoFar) : true;
}

void FakeView::endSurveyProgress() {
    progressShown = false;
}

void FakeView::closeWindow() {
    // The view's close path: the window closes when the close query allows.
    if (form && form->FormCloseQuery())
        closed = true;
}

} // namespace testing_support
