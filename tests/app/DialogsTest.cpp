// The message boxes and the file-open dialog: what they show, how their test
// seam answers, and how the real boxes map keys and the title bar's close.
#include "platform/Dialogs.h"
#include "app/QtPrinters.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using platform::MessageBox;
using platform::OpenDialog;
using Button = MessageBox::Button;
using Icon = MessageBox::Icon;

// ---- message boxes through the seam ----

TEST(MessageBoxSeam, PlainBoxShowsTitleNoIconAndOneOk) {
    MessageBox::setNextAnswer(Button::Ok);
    const QString text =
        QStringLiteral("プログラムファイルの名前が入力されていません。\r入力してください。");
    EXPECT_EQ(MessageBox::plain(nullptr, text), Button::Ok);

    ASSERT_EQ(MessageBox::shown().size(), 1u);
    const MessageBox::Shown& box = MessageBox::shown()[0];
    EXPECT_EQ(box.caption, QStringLiteral("クワリノ"));
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.displayedText,
              QStringLiteral("プログラムファイルの名前が入力されていません。\n入力してください。"));
    EXPECT_EQ(box.icon, Icon::None);
    EXPECT_EQ(box.buttons, std::vector<Button>{Button::Ok});
    EXPECT_EQ(box.buttonTexts, std::vector<QString>{QStringLiteral("OK")});
    EXPECT_EQ(box.defaultButton, Button::Ok);
    EXPECT_EQ(box.escapeButton, Button::Ok);
    EXPECT_TRUE(box.answered);
}

TEST(MessageBoxSeam, QuestionBoxHasYesDefaultAndNoOnEscape) {
    const QString text = QStringLiteral("インストールを続けますか？\r「はい」を押してください。");
    MessageBox::setNextAnswer(Button::No);
    EXPECT_EQ(MessageBox::question(nullptr, QStringLiteral("確認"), text), Button::No);

    ASSERT_EQ(MessageBox::shown().size(), 1u);
    const MessageBox::Shown& box = MessageBox::shown()[0];
    EXPECT_EQ(box.caption, QStringLiteral("確認"));
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.displayedText,
              QStringLiteral("インストールを続けますか？\n「はい」を押してください。"));
    EXPECT_EQ(box.icon, Icon::Question);
    EXPECT_EQ(box.buttons, (std::vector<Button>{Button::Yes, Button::No}));
    EXPECT_EQ(box.buttonTexts,
              (std::vector<QString>{QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")}));
    EXPECT_EQ(box.defaultButton, Button::Yes);
    EXPECT_EQ(box.escapeButton, Button::No);
}

TEST(MessageBoxSeam, ErrorBoxShowsStopIconAndAppendsFullStop) {
    MessageBox::setNextAnswer(Button::Ok);
    EXPECT_EQ(MessageBox::error(nullptr, QStringLiteral("/tmp/a/Inst.ini に書き込めません")),
              Button::Ok);
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    const MessageBox::Shown& box = MessageBox::shown()[0];
    EXPECT_EQ(box.caption, QStringLiteral("クワリノ"));
    EXPECT_EQ(box.text, QStringLiteral("/tmp/a/Inst.ini に書き込めません."));
    EXPECT_EQ(box.icon, Icon::Stop);
    EXPECT_EQ(box.buttons, std::vector<Button>{Button::Ok});
    EXPECT_EQ(box.defaultButton, Button::Ok);
    EXPECT_EQ(box.escapeButton, Button::Ok);
}

TEST(MessageBoxSeam, FullStopOnlyAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(MessageBox::withFullStop(QStringLiteral("書き込めません")),
              QStringLiteral("書き込めません."));
    EXPECT_EQ(MessageBox::withFullStop(QStringLiteral("disk full")), QStringLiteral("disk full."));
    EXPECT_EQ(MessageBox::withFullStop(QStringLiteral("Inst.ini 0")),
              QStringLiteral("Inst.ini 0."));
    // Already ends in a full stop, or in a character sorting before it.
    EXPECT_EQ(MessageBox::withFullStop(QStringLiteral("done.")), QStringLiteral("done."));
    EXPECT_EQ(MessageBox::withFullStop(QStringLiteral("(C:)")), QStringLiteral("(C:)"));
    EXPECT_EQ(MessageBox::withFullStop(QStringLiteral("a-")), QStringLiteral("a-"));
    EXPECT_EQ(MessageBox::withFullStop(QStringLiteral("a ")), QStringLiteral("a "));
    EXPECT_EQ(MessageBox::withFullStop(QString()), QString());
    // A character outside the basic plane counts once.
    EXPECT_EQ(MessageBox::withFullStop(QString::fromUtf8("x\xF0\x9F\x98\x80")),
              QString::fromUtf8("x\xF0\x9F\x98\x80."));

    MessageBox::setNextAnswer(Button::Ok);
    MessageBox::error(nullptr, QStringLiteral("end."));
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("end."));
}

TEST(MessageBoxSeam, AnswersAreTakenInOrderAndEveryBoxIsRecorded) {
    MessageBox::setNextAnswer(Button::Closed);
    MessageBox::setNextAnswer(Button::Yes);
    EXPECT_EQ(MessageBox::pendingAnswers(), 2);
    EXPECT_EQ(MessageBox::question(nullptr, QStringLiteral("確認"), QStringLiteral("1")),
              Button::Closed);
    EXPECT_EQ(MessageBox::question(nullptr, QStringLiteral("確認"), QStringLiteral("2")),
              Button::Yes);
    EXPECT_EQ(MessageBox::pendingAnswers(), 0);
    ASSERT_EQ(MessageBox::shown().size(), 2u);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("1"));
    EXPECT_EQ(MessageBox::shown()[1].text, QStringLiteral("2"));
    MessageBox::clearShown();
    EXPECT_TRUE(MessageBox::shown().empty());
}

TEST(MessageBoxSeam, UnexpectedBoxIsCountedAndClosedWithoutWindow) {
    // The test run fails on unexpected boxes; this test checks that and then
    // clears the count it caused, so its own run stays green.
    EXPECT_EQ(MessageBox::plain(nullptr, QStringLiteral("誰も答えない")), Button::Closed);
    EXPECT_EQ(MessageBox::unexpectedCount(), 1);
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_TRUE(MessageBox::shown()[0].unexpected);
    EXPECT_FALSE(MessageBox::shown()[0].answered);
    MessageBox::resetSeam();
    EXPECT_EQ(MessageBox::unexpectedCount(), 0);
}

// ---- the real boxes ----

// Opens a real box (the seam switched off) and acts on it from the event loop
// once it is up.
class RealBox : public testing::Test {
protected:
    void SetUp() override { MessageBox::setFailOnUnexpectedBox(false); }
    void TearDown() override { MessageBox::setFailOnUnexpectedBox(true); }

    Button run(const std::function<Button()>& open, const std::function<void(QMessageBox*)>& act) {
        bool acted = false;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible() || acted)
                return;
            acted = true;
            poll.stop();
            act(box);
        });
        poll.start();
        const Button answer = open();
        EXPECT_TRUE(acted);
        return answer;
    }
};

Button openQuestion() {
    return MessageBox::question(nullptr, QStringLiteral("確認"), QStringLiteral("続けますか？"));
}

TEST_F(RealBox, QuestionEscapeAnswersNo) {
    EXPECT_EQ(run(openQuestion, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }),
              Button::No);
}

TEST_F(RealBox, QuestionEnterAnswersYes) {
    EXPECT_EQ(run(openQuestion, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }),
              Button::Yes);
}

TEST_F(RealBox, QuestionClosedByTitleBarIsNeitherAnswer) {
    EXPECT_EQ(run(openQuestion, [](QMessageBox* box) { box->close(); }), Button::Closed);
}

TEST_F(RealBox, QuestionClickedNoAnswersNo) {
    EXPECT_EQ(run(openQuestion,
                  [](QMessageBox* box) {
                      for (QAbstractButton* b : box->buttons())
                          if (b->text() == QStringLiteral("いいえ(&N)"))
                              b->click();
                  }),
              Button::No);
}

TEST_F(RealBox, PlainBoxEscapeAndEnterPressOk) {
    auto open = [] { return MessageBox::plain(nullptr, QStringLiteral("一行目\r二行目")); };
    EXPECT_EQ(run(open,
                  [](QMessageBox* box) {
                      EXPECT_EQ(box->windowTitle(), QStringLiteral("クワリノ"));
                      EXPECT_EQ(box->text(), QStringLiteral("一行目\n二行目"));
                      EXPECT_EQ(box->textFormat(), Qt::PlainText);
                      QTest::keyClick(box, Qt::Key_Escape);
                  }),
              Button::Ok);
    EXPECT_EQ(run(open, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }),
              Button::Ok);
}

// ---- the file-open dialog ----

TEST(OpenDialogFilter, DelphiStyleFiltersBecomeQtNameFilters) {
    EXPECT_EQ(OpenDialog::qtNameFilters(QStringLiteral("プログラムファイル(*.exe)|*.exe")),
              QStringList{QStringLiteral("プログラムファイル(*.exe) (*.exe)")});
    // "*.*" matches every name, also one without an extension.
    EXPECT_EQ(OpenDialog::qtNameFilters(QStringLiteral("すべてのファイル(*.*)|*.*")),
              QStringList{QStringLiteral("すべてのファイル(*.*) (*)")});
    EXPECT_EQ(OpenDialog::qtNameFilters(QStringLiteral("Text|*.txt;*.log|All|*.*")),
              (QStringList{QStringLiteral("Text (*.txt *.log)"), QStringLiteral("All (*)")}));
    EXPECT_TRUE(OpenDialog::qtNameFilters(QString()).isEmpty());
    // A description without its pattern is dropped.
    EXPECT_EQ(OpenDialog::qtNameFilters(QStringLiteral("Text|*.txt|Broken")),
              QStringList{QStringLiteral("Text (*.txt)")});
}

TEST(OpenDialogSeam, ChoiceIsRememberedAndCancelKeepsIt) {
    OpenDialog dialog;
    dialog.setTitle(QStringLiteral("プログラムファイルの指定"));
    dialog.setFilter(QStringLiteral("プログラムファイル(*.exe)|*.exe"));
    OpenDialog::setNextFileName(QStringLiteral("/tmp/a/Sample.exe"));
    ASSERT_TRUE(dialog.execute(nullptr));
    EXPECT_EQ(dialog.fileName(), QStringLiteral("/tmp/a/Sample.exe"));
    EXPECT_EQ(OpenDialog::shownCount(), 1);
    EXPECT_EQ(OpenDialog::lastTitle(), QStringLiteral("プログラムファイルの指定"));
    EXPECT_EQ(OpenDialog::lastFilter(), QStringLiteral("プログラムファイル(*.exe)|*.exe"));
    EXPECT_EQ(OpenDialog::lastStartFileName(), QString());

    dialog.setTitle(QStringLiteral("ファイルの指定"));
    OpenDialog::setNextCancel();
    EXPECT_FALSE(dialog.execute(nullptr));
    EXPECT_EQ(dialog.fileName(), QStringLiteral("/tmp/a/Sample.exe"));
    EXPECT_EQ(OpenDialog::lastStartFileName(), QStringLiteral("/tmp/a/Sample.exe"));
    EXPECT_EQ(OpenDialog::lastTitle(), QStringLiteral("ファイルの指定"));
    EXPECT_EQ(OpenDialog::shownCount(), 2);
}

TEST(OpenDialogSeam, UnexpectedDialogIsCountedAndCancelled) {
    OpenDialog dialog;
    dialog.setFileName(QStringLiteral("/tmp/keep.exe"));
    EXPECT_FALSE(dialog.execute(nullptr));
    EXPECT_EQ(dialog.fileName(), QStringLiteral("/tmp/keep.exe"));
    EXPECT_EQ(OpenDialog::unexpectedCount(), 1);
    OpenDialog::resetSeam();
    EXPECT_EQ(OpenDialog::unexpectedCount(), 0);
}

// The real dialog, answered from the event loop.
class RealDialog : public testing::Test {
protected:
    void SetUp() override { OpenDialog::setFailOnUnexpectedDialog(false); }
    void TearDown() override { OpenDialog::setFailOnUnexpectedDialog(true); }

    bool run(OpenDialog& dialog, const std::function<void(QFileDialog*)>& act) {
        bool acted = false;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!shown || !shown->isVisible() || acted)
                return;
            acted = true;
            poll.stop();
            act(shown);
        });
        poll.start();
        const bool chosen = dialog.execute(nullptr);
        EXPECT_TRUE(acted);
        return chosen;
    }
};

TEST_F(RealDialog, StartsAtTheLastChoiceAndTakesATypedNameThatDoesNotExist) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString existing = QDir(folder.path()).filePath(QStringLiteral("Sample.exe"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    OpenDialog dialog;
    dialog.setTitle(QStringLiteral("プログラムファイルの指定"));
    dialog.setFilter(QStringLiteral("プログラムファイル(*.exe)|*.exe"));
    dialog.setFileName(existing);

    const bool chosen = run(dialog, [&](QFileDialog* shown) {
        EXPECT_EQ(shown->windowTitle(), QStringLiteral("プログラムファイルの指定"));
        EXPECT_EQ(shown->fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(shown->acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_EQ(shown->nameFilters(),
                  QStringList{QStringLiteral("プログラムファイル(*.exe) (*.exe)")});
        EXPECT_EQ(QDir(shown->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
        auto* nameField = shown->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(nameField, nullptr);
        EXPECT_EQ(nameField->text(), QStringLiteral("Sample.exe"));
        // A name that does not exist, as if typed.
        shown->selectFile(QDir(folder.path()).filePath(QStringLiteral("Missing.exe")));
        EXPECT_EQ(nameField->text(), QStringLiteral("Missing.exe"));
        QMetaObject::invokeMethod(shown, "accept"); // a protected slot
    });
    ASSERT_TRUE(chosen);
    EXPECT_EQ(QFileInfo(dialog.fileName()).fileName(), QStringLiteral("Missing.exe"));
    EXPECT_EQ(QFileInfo(dialog.fileName()).dir().canonicalPath(),
              QDir(folder.path()).canonicalPath());
}

TEST_F(RealDialog, CancelKeepsTheLastChoice) {
    OpenDialog dialog;
    dialog.setFileName(QStringLiteral("/tmp/keep.exe"));
    EXPECT_FALSE(run(dialog, [](QFileDialog* shown) { shown->reject(); }));
    EXPECT_EQ(dialog.fileName(), QStringLiteral("/tmp/keep.exe"));
}

} // namespace
