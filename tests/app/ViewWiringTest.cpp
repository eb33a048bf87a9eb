// The Qt window's events reach the handlers, and what the handlers ask shows
// in the window: scripted dialogs and boxes, real folders, the real focus,
// the progress window and the close.
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/QtPrinters.h"
#include "form/WindowTexts.h"
#include "support/FaultySystem.h"
#include "support/ProductNames.h"
#include "support/TestFolder.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using testing_support::Ini;
using testing_support::Installer;
using testing_support::Operation;

using app::Boxes;
using app::OpenDialog;
using form::Role;

class ViewWiring : public testing::Test {
protected:
    testing_support::TestFolder tmp;
    testing_support::FaultySystem sys;
    MainWindow form{sys};

    void SetUp() override {
        tmp.write("Sample/Sample.exe", "program");
        tmp.write("Sample/" + Installer, "installer");
        tmp.write("Sample/doc/Manual.txt", "manual");
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    void TearDown() override { form::TForm1::setProgressDelay(500); }

    QString native(const std::string& relative) const {
        return QString::fromStdString(tmp.native(relative).string());
    }
    QWidget* control(Role role, int row = 0) const { return form.control(form::id(role, row)); }
    QLineEdit* field(Role role, int row = 0) const {
        return qobject_cast<QLineEdit*>(control(role, row));
    }
    void click(Role role, int row = 0) { QTest::mouseClick(control(role, row), Qt::LeftButton); }
    void fill(const QString& name) {
        OpenDialog::setNextFileName(native("Sample/Sample.exe"));
        click(Role::BtnSansho);
        field(Role::EditApplication)->setText(name); // Japanese text has no key codes
    }
};

// Files dropped from the file manager: on the window, then on a row's field.
TEST_F(ViewWiring, DroppedFilesReachTheHandlersWithTheRowUnderThePointer) {
    auto drop = [&](const QString& path, QWidget* on) {
        QMimeData data;
        data.setUrls({QUrl::fromUserInput(path)});
        const QPoint at = on->mapTo(&form, on->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &enter);
        QDropEvent dropped(at.toPointF(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form, &dropped);
    };
    drop(native("Sample/Sample.exe"), control(Role::Label1));
    tmp.write("sftp:/host/dir/setup.exe"); // a remote file beeps, even one read as a path
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path(tmp.path());
    drop(QStringLiteral("sftp://host/dir/setup.exe"), control(Role::Label1));
    std::filesystem::current_path(started);
    EXPECT_EQ(field(Role::EditProgramFile)->text(), native("Sample/Sample.exe"));
    drop(native("Sample/doc/Manual.txt"), control(Role::EditStartMenuFile, 2));
    EXPECT_EQ(field(Role::EditStartMenuFile, 2)->text(), native("Sample/doc/Manual.txt"));
    EXPECT_FALSE(field(Role::EditStartMenuFile, 2)->acceptDrops()) << "not taken as text";
}

TEST_F(ViewWiring, BrowseButtonsFillTheirOwnFields) {
    OpenDialog::setNextFileName(native("Sample/Sample.exe"));
    click(Role::BtnSansho);
    EXPECT_EQ(field(Role::EditProgramFile)->text(), native("Sample/Sample.exe"));
    for (QWidget* w : {control(Role::EditStartMenu, 3), control(Role::EditStartMenuFile, 3),
                       control(Role::BtnStartMenuSansho, 3)})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();

    for (int row : {2, 1, 3}) {
        OpenDialog::setNextFileName(native("Other/" + std::to_string(row) + ".txt"));
        click(Role::BtnStartMenuSansho, row);
    }
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(field(Role::EditStartMenuFile, row)->text(),
                  native("Other/" + std::to_string(row) + ".txt"));

    const auto& dialogs = app::seam::dialogs();
    ASSERT_EQ(dialogs.size(), 4u);
    EXPECT_EQ(dialogs[0].title, QString::fromUtf8(window_text::ProgramFileTitle));
    EXPECT_EQ(dialogs[1].title, QString::fromUtf8(window_text::AnyFileTitle));
    EXPECT_EQ(dialogs[1].startFileName, native("Sample/Sample.exe"));
}

TEST_F(ViewWiring, TypingRunsTheChangeHandlers) {
    auto* install = control(Role::BitBtnInstall);
    QTest::keyClicks(field(Role::EditProgramFile), QStringLiteral("/a.exe"));
    EXPECT_FALSE(install->isEnabled());
    QTest::keyClicks(field(Role::EditApplication), QStringLiteral("K"));
    EXPECT_TRUE(install->isEnabled());
    field(Role::EditProgramFile)->setFocus();
    field(Role::EditProgramFile)->selectAll();
    QTest::keyClick(field(Role::EditProgramFile), Qt::Key_Backspace);
    EXPECT_FALSE(install->isEnabled());
}

TEST_F(ViewWiring, FailedCheckShowsAPlainBoxAndFocusesTheField) {
    fill(QStringLiteral("x"));
    field(Role::EditStartMenuFile, 2)->setText(native("Sample/none.txt"));
    Boxes::setNextAnswer(form::Answer::Ok);
    click(Role::BitBtnInstall);
    ASSERT_EQ(app::seam::boxes().size(), 1u);
    EXPECT_EQ(app::seam::boxes()[0].icon, Boxes::Icon::None);
    EXPECT_EQ(app::seam::boxes()[0].caption, QString::fromUtf8(window_text::Title));
    EXPECT_EQ(QApplication::focusWidget(), control(Role::EditStartMenuFile, 2));
    EXPECT_TRUE(control(Role::BitBtnInstall)->isEnabled());
}

TEST_F(ViewWiring, RequestThenTheCloseBoxRestoresTheFolder) {
    const auto before = tmp.snapshot();
    sys.startsProcesses = true;
    fill(QStringLiteral("サンプル"));
    click(Role::BitBtnInstall);
    EXPECT_TRUE(app::seam::boxes().empty());
    EXPECT_FALSE(control(Role::Label6)->isVisible());
    EXPECT_TRUE(tmp.exists("Sample/Manual.txt"));
    EXPECT_EQ(sys.calls.back(), "shellOpen " + tmp.logic("Sample/" + Installer));
    form.close();
    EXPECT_TRUE(form.isVisible()) << "its installer still runs";
    sys.ended = {1}; // the once-a-second look finds it ended and closes
    for (int i = 0; i < 50 && form.isVisible(); ++i)
        QTest::qWait(100);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(tmp.snapshot(), before);
}

TEST_F(ViewWiring, NoToTheQuestionClosesTheWindow) {
    tmp.write("Sample/readme.txt");
    tmp.write("Sample/doc/readme.txt");
    fill(QStringLiteral("x"));
    Boxes::setNextAnswer(form::Answer::No);
    click(Role::BitBtnInstall);
    ASSERT_EQ(app::seam::boxes().size(), 1u);
    EXPECT_EQ(app::seam::boxes()[0].icon, Boxes::Icon::Question);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ViewWiring, WriteErrorShowsTheStopBox) {
    fill(QStringLiteral("x"));
    sys.fail = [](Operation op, const std::string&) { return op == Operation::writeFileAtomic; };
    Boxes::setNextAnswer(form::Answer::Ok);
    click(Role::BitBtnInstall);
    ASSERT_EQ(app::seam::boxes().size(), 1u);
    EXPECT_EQ(app::seam::boxes()[0].icon, Boxes::Icon::Stop);
    EXPECT_EQ(app::seam::boxes()[0].caption, QString::fromUtf8(window_text::Title));
    EXPECT_EQ(app::seam::boxes()[0].text,
              native("Sample/" + Ini) + QStringLiteral(" に書き込めません."));
}

TEST_F(ViewWiring, LongSurveyShowsTheProgressWindowWhoseCancelStopsTheRequest) {
    for (int i = 0; i < 600; ++i)
        tmp.write("Sample/many/f" + std::to_string(i) + ".dat");
    const auto before = tmp.snapshot();
    fill(QStringLiteral("x"));
    form::TForm1::setProgressDelay(0);
    QString shownText;
    QString cancelText;
    bool labelShown = false;
    QTimer poll; // until the progress window is up
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = form.findChild<QProgressDialog*>(QStringLiteral("SurveyProgress"));
        if (!progress)
            return;
        poll.stop();
        labelShown = control(Role::Label6)->isVisible();
        shownText = progress->labelText();
        if (auto* cancel = progress->findChild<QPushButton*>())
            cancelText = cancel->text();
        progress->cancel();
    });
    poll.start();
    click(Role::BitBtnInstall);
    EXPECT_EQ(shownText, QStringLiteral("フォルダのファイルを調べています…\n512 個"));
    EXPECT_EQ(cancelText, QString::fromUtf8(window_text::SurveyCancel));
    EXPECT_TRUE(labelShown);
    EXPECT_EQ(form.findChild<QProgressDialog*>(), nullptr) << "the progress window is gone";
    EXPECT_FALSE(control(Role::Label6)->isVisible());
    EXPECT_TRUE(control(Role::BitBtnInstall)->isEnabled());
    EXPECT_EQ(tmp.snapshot(), before);
}

TEST_F(ViewWiring, CloseDuringTheSurveyWaitsForTheRequestToStop) {
    for (int i = 0; i < 600; ++i)
        tmp.write("Sample/many/f" + std::to_string(i) + ".dat");
    const auto before = tmp.snapshot();
    fill(QStringLiteral("x"));
    form::TForm1::setProgressDelay(0);
    bool stillOpen = false;
    QTimer::singleShot(0, &form, [&] {
        form.close(); // the close box, while files are being surveyed
        stillOpen = form.isVisible();
    });
    click(Role::BitBtnInstall);
    EXPECT_TRUE(stillOpen) << "the window waits for the request";
    EXPECT_FALSE(form.isVisible()) << "and closes once it has stopped";
    EXPECT_EQ(tmp.snapshot(), before);
}

TEST_F(ViewWiring, HelpMenuOpensTheReadMe) {
    sys.calls.clear();
    form.Help1->trigger();
    ASSERT_FALSE(sys.calls.empty());
    EXPECT_EQ(sys.calls.back(),
              "shellOpen " + form.logic().runState().ToolFolder + form::ReadMeName);
}

} // namespace
