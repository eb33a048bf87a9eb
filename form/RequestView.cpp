#include "form/RequestView.h"

#include "platform/Cp932.h"
#include "prepare/Texts.h"

namespace form {

int RequestView::progressDelay = 500;

void RequestView::showProgress(bool visible) {
    view_.setVisible(id(Role::Label6), visible);
    // Drawn now: the survey that follows keeps the window busy.
    if (visible)
        view_.keepPainted();
}

bool RequestView::surveyProgress(std::size_t entriesSoFar) {
    if (stop_)
        return false;
    if (!progressShown_ &&
        std::chrono::steady_clock::now() - start_ >= std::chrono::milliseconds(progressDelay))
        progressShown_ = true;
    if (!progressShown_) {
        view_.keepPainted();
        return !stop_;
    }
    return view_.surveyProgress(entriesSoFar) && !stop_;
}

bool RequestView::confirmInstallInPlace() {
    view_.endSurveyProgress();
    const Answer answer = view_.questionBox(
        platform::utf8FromCp932ForDisplay(prepare::text::confirmCaption()),
        platform::utf8FromCp932ForDisplay(prepare::text::confirmRelocationRefused()));
    return answer != Answer::No;
}

} // namespace form
