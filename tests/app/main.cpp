// The window tests run on Qt's offscreen platform with scripted dialogs: a
// dialog or message box that no test expected fails the test instead of
// waiting for an answer.
#include "app/Unit1.h"
#include "platform/Dialogs.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

class SeamCheck : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        platform::MessageBox::resetSeam();
        platform::OpenDialog::resetSeam();
    }
    void OnTestEnd(const testing::TestInfo& info) override {
        // Failures reported here count for the test that just ended.
        if (platform::MessageBox::unexpectedCount() != 0 ||
            platform::OpenDialog::unexpectedCount() != 0 ||
            platform::MessageBox::pendingAnswers() != 0 ||
            platform::OpenDialog::pendingAnswers() != 0) {
            ADD_FAILURE() << info.name() << ": " << platform::MessageBox::unexpectedCount()
                          << " unexpected message box(es), "
                          << platform::OpenDialog::unexpectedCount()
                          << " unexpected file dialog(s), "
                          << platform::MessageBox::pendingAnswers() << " box answer(s) and "
                          << platform::OpenDialog::pendingAnswers()
                          << " dialog answer(s) left unused";
        }
    }
};

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    SetApplicationTitle();
    platform::MessageBox::setFailOnUnexpectedBox(true);
    platform::OpenDialog::setFailOnUnexpectedDialog(true);
    testing::UnitTest::GetInstance()->listeners().Append(new SeamCheck);
    return RUN_ALL_TESTS();
}
