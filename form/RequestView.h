// What a running request asks of the window: the progress text, the progress
// window of a long survey, and the question.
#pragma once

#include "form/View.h"
#include "prepare/InstallRequest.h"

#include <chrono>

namespace form {

class RequestView : public prepare::RequestUi {
public:
    // `stop`: the window is closing or the session ending.
    RequestView(View& view, const bool& stop) : view_(view), stop_(stop) {}
    ~RequestView() override { view_.endSurveyProgress(); }

    void showProgress(bool visible) override;
    bool surveyProgress(std::size_t entriesSoFar) override;
    bool confirmInstallInPlace() override;
    bool stopRequested() override { return stop_; }

    // A survey that runs longer than this shows the progress window
    // (milliseconds).
    static int progressDelay;

private:
    View& view_;
    const bool& stop_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool progressShown_ = false;
};

} // namespace form
