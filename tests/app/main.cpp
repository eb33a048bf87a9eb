// The window tests run on Qt's offscreen platform with scripted dialogs: a
// dialog or message box that no test answered fails the test instead of
// waiting for a user.
#include "app/Dialogs.h"
#include "app/MainWindow.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class SeamCheck : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { app::seam::reset(); }
    void OnTestEnd(const testing::TestInfo& info) override {
        // Failures reported here count for the test that just ended.
        const auto& boxes = app::seam::boxes();
        const auto& dialogs = app::seam::dialogs();
        const auto unanswered =
            std::count_if(boxes.begin(), boxes.end(), [](auto& b) { return !b.answered; }) +
            std::count_if(dialogs.begin(), dialogs.end(), [](auto& d) { return !d.answered; });
        if (unanswered != 0 || app::seam::pendingAnswers() != 0)
            ADD_FAILURE() << info.name() << ": " << unanswered
                          << " box(es) or dialog(s) nobody answered, "
                          << app::seam::pendingAnswers() << " answer(s) left unused";
    }
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    SetApplicationTitle();
    app::seam::setScripted(true);
    testing::UnitTest::GetInstance()->listeners().Append(new SeamCheck);
    return RUN_ALL_TESTS();
}
