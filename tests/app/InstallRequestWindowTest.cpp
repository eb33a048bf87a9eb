// Whole requests through the real window: scripted dialogs and boxes, real
// folders, the control file read back from its bytes, and the close.
#include "app/QtPrinters.h"
#include "app/Unit1.h"
#include "platform/Dialogs.h"
#include "support/FaultySystem.h"
#include "support/IniText.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

using platform::MessageBox;
using platform::OpenDialog;

class InstallRequestWindow : public testing::Test {
protected:
    testing_support::TestFolder tmp;
    testing_support::FaultySystem sys{platform::realSystem()};
    std::unique_ptr<TForm1> form = std::make_unique<TForm1>(sys);

    void SetUp() override {
        tmp.write("Sample/Sample.exe", "program");
        tmp.write("Sample/Inst.exe", "installer");
        tmp.write("Sample/doc/Manual.txt", "manual");
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override { TForm1::setProgressDelay(500); }

    QString native(const std::string& relative) const {
        return QString::fromStdString(tmp.native(relative).string());
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void fill(const std::string& program, const QString& name) {
        OpenDialog::setNextFileName(native(program));
        click(form->BtnSansho);
        form->EditApplication->setText(name); // typed: Japanese text has no key codes
    }
    std::map<std::string, std::string> folder() const {
        std::map<std::string, std::string> out;
        for (auto& [path, contents] : tmp.snapshot())
            out[path] = contents;
        return out;
    }
};

TEST_F(InstallRequestWindow, WorkedExampleThenCloseRestoresTheFolder) {
    const auto before = folder();
    fill("Sample/Sample.exe", QStringLiteral("サンプル"));
    OpenDialog::setNextFileName(native("Sample/doc/Manual.txt"));
    click(form->BtnStartMenuSansho1);
    form->EditStartMenu1->setText(QStringLiteral("説明書"));
    click(form->BitBtnInstall);

    EXPECT_TRUE(MessageBox::shown().empty());
    EXPECT_FALSE(form->Label6->isVisible());
    EXPECT_FALSE(form->BitBtnInstall->isEnabled()) << "until a field changes";
    EXPECT_TRUE(tmp.exists("Sample/Manual.txt"));
    auto ini = testing_support::parseIniText(tmp.read("Sample/Inst.ini"));
    EXPECT_EQ(testing_support::sectionLines(ini, "Group")[4], "Item2=説明書,doc\\Manual.txt");
    EXPECT_EQ(testing_support::sectionLines(ini, "Install")[1], "InstallDir=Sample");
    EXPECT_EQ(sys.calls.back(), "shellOpen " + tmp.logic("Sample/Inst.exe"));
    ASSERT_EQ(form->runState().CreatedIniFiles.size(), 1u);

    form->close();
    EXPECT_EQ(folder(), before);
}

TEST_F(InstallRequestWindow, FailedCheckShowsItsMessageFocusesAndEnablesTheButton) {
    fill("Sample/Sample.exe", QStringLiteral("x"));
    form->EditStartMenuFile2->setText(native("Sample/none.txt"));
    MessageBox::setNextAnswer(MessageBox::Button::Ok);
    click(form->BitBtnInstall);
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    const auto& box = MessageBox::shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("クワリノ"));
    EXPECT_EQ(box.text,
              QStringLiteral("指定されたスタートメニューに追加するファイルが見つかりません。"
                             "\r確認してください。"));
    EXPECT_EQ(box.icon, MessageBox::Icon::None);
    EXPECT_EQ(box.buttons, std::vector<MessageBox::Button>{MessageBox::Button::Ok});
    EXPECT_EQ(QApplication::focusWidget(), form->EditStartMenuFile2);
    EXPECT_TRUE(form->BitBtnInstall->isEnabled());
    EXPECT_FALSE(form->Label6->isVisible());
}

TEST_F(InstallRequestWindow, SoftwareNameThatCannotBeWrittenIsRefused) {
    fill("Sample/Sample.exe", QStringLiteral("名前\U0001F600"));
    MessageBox::setNextAnswer(MessageBox::Button::Ok);
    click(form->BitBtnInstall);
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_TRUE(MessageBox::shown().front().text.startsWith(QStringLiteral("ソフトの名前に")));
    EXPECT_EQ(QApplication::focusWidget(), form->EditApplication);
    EXPECT_FALSE(tmp.exists("Sample/Inst.ini"));
}

TEST_F(InstallRequestWindow, NoToTheQuestionClosesTheWindowWithTheFolderUntouched) {
    tmp.write("Sample/readme.txt");
    tmp.write("Sample/doc/readme.txt");
    const auto before = folder();
    fill("Sample/Sample.exe", QStringLiteral("x"));
    MessageBox::setNextAnswer(MessageBox::Button::No);
    click(form->BitBtnInstall);
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    const auto& box = MessageBox::shown().front();
    EXPECT_EQ(box.caption, QStringLiteral("確認"));
    EXPECT_EQ(box.icon, MessageBox::Icon::Question);
    EXPECT_TRUE(box.text.startsWith(
        QStringLiteral("このソフトはインストール先を指定できないタイプです。\r")));
    EXPECT_FALSE(form->isVisible()) << "the window closed";
    EXPECT_EQ(folder(), before);
}

TEST_F(InstallRequestWindow, ClosingTheQuestionBoxGoesOnAsYes) {
    tmp.write("Sample/readme.txt");
    tmp.write("Sample/doc/readme.txt");
    fill("Sample/Sample.exe", QStringLiteral("x"));
    MessageBox::setNextAnswer(MessageBox::Button::Closed);
    click(form->BitBtnInstall);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(tmp.exists("Sample/Inst.ini"));
    EXPECT_TRUE(tmp.exists("Sample/doc/readme.txt")) << "installed in place";
    form->close();
    EXPECT_TRUE(tmp.exists("Sample/Inst.ini")) << "no InstallDir: the control file stays";
}

TEST_F(InstallRequestWindow, WriteErrorShowsTheErrorBoxAndLeavesEveryFile) {
    const auto before = folder();
    fill("Sample/Sample.exe", QStringLiteral("x"));
    sys.fail = [](const std::string& op, const std::string&) { return op == "writeFileAtomic"; };
    MessageBox::setNextAnswer(MessageBox::Button::Ok);
    click(form->BitBtnInstall);
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    const auto& box = MessageBox::shown().front();
    EXPECT_EQ(box.icon, MessageBox::Icon::Stop);
    EXPECT_EQ(box.caption, QStringLiteral("クワリノ"));
    EXPECT_EQ(box.text, native("Sample/Inst.ini") + QStringLiteral(" に書き込めません."));
    EXPECT_FALSE(form->Label6->isVisible());
    EXPECT_TRUE(form->BitBtnInstall->isEnabled());
    EXPECT_EQ(folder(), before);
    EXPECT_TRUE(form->runState().CreatedIniFiles.empty());
}

TEST_F(InstallRequestWindow, LongSurveyShowsProgressAndItsCancelStopsTheRequest) {
    for (int i = 0; i < 3000; ++i)
        tmp.write("Sample/many/f" + std::to_string(i) + ".dat");
    const auto before = folder();
    fill("Sample/Sample.exe", QStringLiteral("x"));
    TForm1::setProgressDelay(0);
    bool progressSeen = false;
    bool labelShown = false;
    QTimer::singleShot(0, form.get(), [&] {
        auto* progress = form->findChild<QProgressDialog*>(QStringLiteral("SurveyProgress"));
        progressSeen = progress && progress->isVisible();
        labelShown = form->Label6->isVisible();
        if (progress)
            progress->cancel();
    });
    click(form->BitBtnInstall);
    EXPECT_TRUE(progressSeen);
    EXPECT_TRUE(labelShown) << "the progress text is up while the survey runs";
    EXPECT_FALSE(form->Label6->isVisible());
    EXPECT_TRUE(form->BitBtnInstall->isEnabled());
    EXPECT_TRUE(MessageBox::shown().empty());
    EXPECT_EQ(folder(), before);
    EXPECT_TRUE(form->runState().CreatedIniFiles.empty());
}

TEST_F(InstallRequestWindow, CloseDuringTheSurveyWaitsForTheRequestToStop) {
    for (int i = 0; i < 3000; ++i)
        tmp.write("Sample/many/f" + std::to_string(i) + ".dat");
    const auto before = folder();
    fill("Sample/Sample.exe", QStringLiteral("x"));
    TForm1::setProgressDelay(0);
    bool stillOpen = false;
    QTimer::singleShot(0, form.get(), [&] {
        form->close(); // the close box, while files are being surveyed
        stillOpen = form->isVisible();
    });
    click(form->BitBtnInstall);
    EXPECT_TRUE(stillOpen) << "the window waits for the request";
    EXPECT_FALSE(form->isVisible()) << "and closes once it has stopped";
    EXPECT_EQ(folder(), before);
    EXPECT_TRUE(form->runState().CreatedIniFiles.empty());
}

TEST_F(InstallRequestWindow, RestoreRunsOnceHoweverTheToolEnds) {
    const auto before = folder();
    fill("Sample/Sample.exe", QStringLiteral("x"));
    click(form->BitBtnInstall);
    ASSERT_TRUE(tmp.exists("Sample/Manual.txt"));
    form->close();
    EXPECT_EQ(folder(), before);
    // A second window's request, then its close query run directly (as the
    // session's end runs it): restored once, and the close adds nothing.
    form = std::make_unique<TForm1>(sys);
    form->show();
    fill("Sample/Sample.exe", QStringLiteral("x"));
    click(form->BitBtnInstall);
    ASSERT_TRUE(tmp.exists("Sample/Manual.txt"));
    bool canClose = false;
    form->FormCloseQuery(form.get(), canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(folder(), before);
    const auto calls = sys.calls.size();
    form->close();
    EXPECT_EQ(sys.calls.size(), calls);
}

} // namespace
