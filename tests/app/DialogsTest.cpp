// The message boxes and the file-open dialog: what they show, how their test
// seam answers, and how the real boxes map keys and the title bar's close.
#include "app/Dialogs.h"
#include "app/QtPrinters.h"
#include "form/WindowTexts.h"

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

using app::Boxes;
using app::OpenDialog;
using form::Answer;
using Icon = Boxes::Icon;

const QStringList JustOk{QStringLiteral("OK")};
const QString Yes = QString::fromUtf8(window_text::Yes);
const QString No = QString::fromUtf8(window_text::No);
const QString Title = QString::fromUtf8(window_text::Title);

// ---- message boxes through the seam ----

TEST(BoxesSeam, EachBoxShowsItsCaptionIconAndButtons) {
    Boxes::setNextAnswer(Answer::Ok);
    Boxes::plain(nullptr, QStringLiteral("一行目\r二行目"));
    Boxes::setNextAnswer(Answer::No);
    EXPECT_EQ(Boxes::question(nullptr, QStringLiteral("確認"), QStringLiteral("続けますか？")),
              Answer::No);
    Boxes::setNextAnswer(Answer::Ok);
    Boxes::error(nullptr, QStringLiteral("/tmp/a/Inst.ini に書き込めません."));

    const auto& shown = app::seam::boxes();
    ASSERT_EQ(shown.size(), 3u);
    struct Expected {
        QString caption, text, displayed;
        Icon icon;
        QStringList buttons;
        QString defaultButton, escapeButton;
    };
    const Expected expected[] = {
        {Title, QStringLiteral("一行目\r二行目"), QStringLiteral("一行目\n二行目"), Icon::None,
         JustOk, QStringLiteral("OK"), QStringLiteral("OK")},
        {QStringLiteral("確認"), QStringLiteral("続けますか？"), QStringLiteral("続けますか？"),
         Icon::Question, QStringList{Yes, No}, Yes, No},
        {Title, QStringLiteral("/tmp/a/Inst.ini に書き込めません."),
         QStringLiteral("/tmp/a/Inst.ini に書き込めません."), Icon::Stop, JustOk,
         QStringLiteral("OK"), QStringLiteral("OK")},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(shown[i].caption, expected[i].caption);
        EXPECT_EQ(shown[i].text, expected[i].text);
        EXPECT_EQ(shown[i].displayedText, expected[i].displayed);
        EXPECT_EQ(shown[i].icon, expected[i].icon);
        EXPECT_EQ(shown[i].buttons, expected[i].buttons);
        EXPECT_EQ(shown[i].defaultButton, expected[i].defaultButton);
        EXPECT_EQ(shown[i].escapeButton, expected[i].escapeButton);
        EXPECT_TRUE(shown[i].answered);
    }
}

// ---- the real boxes ----

// Opens a real box (scripting off) and acts on it from the event loop once it
// is up.
class RealBox : public testing::Test {
protected:
    void SetUp() override { app::seam::setScripted(false); }
    void TearDown() override {
        app::seam::setScripted(true);
        app::seam::reset(); // the real boxes were answered by hand
    }

    template <typename Open> auto run(Open open, const std::function<void(QMessageBox*)>& act) {
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
        auto answer = open();
        EXPECT_TRUE(acted);
        return answer;
    }
};

Answer openQuestion() {
    return Boxes::question(nullptr, QStringLiteral("確認"), QStringLiteral("続けますか？"));
}

TEST_F(RealBox, QuestionKeysTitleBarAndButtons) {
    EXPECT_EQ(run(openQuestion, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }),
              Answer::No);
    EXPECT_EQ(run(openQuestion, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }),
              Answer::Yes);
    EXPECT_EQ(run(openQuestion, [](QMessageBox* box) { box->close(); }), Answer::Closed)
        << "closed by its title bar: neither answer";
    EXPECT_EQ(run(openQuestion,
                  [](QMessageBox* box) {
                      for (QAbstractButton* b : box->buttons())
                          if (b->text() == No)
                              b->click();
                  }),
              Answer::No);
}

TEST_F(RealBox, PlainBoxEscapeAndEnterPressOk) {
    auto open = [] {
        Boxes::plain(nullptr, QStringLiteral("一行目\r二行目"));
        return true;
    };
    EXPECT_TRUE(run(open, [](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), Title);
        EXPECT_EQ(box->text(), QStringLiteral("一行目\n二行目"));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        QTest::keyClick(box, Qt::Key_Escape);
    }));
    EXPECT_TRUE(run(open, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }));
}

// ---- the file-open dialog ----

TEST(OpenDialogFilter, FiltersBecomeQtNameFilters) {
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

// The real dialog, answered from the event loop.
class RealDialog : public testing::Test {
protected:
    void SetUp() override { app::seam::setScripted(false); }
    void TearDown() override {
        app::seam::setScripted(true);
        app::seam::reset();
    }

    bool run(form::OpenDialogState& state, const std::function<void(QFileDialog*)>& act) {
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
        const bool chosen = OpenDialog::execute(nullptr, state);
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
    form::OpenDialogState state;
    state.title = "プログラムファイルの指定";
    state.filter = "プログラムファイル(*.exe)|*.exe";
    state.fileName = existing.toStdString();

    const bool chosen = run(state, [&](QFileDialog* shown) {
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
    const QFileInfo result(QString::fromStdString(state.fileName));
    EXPECT_EQ(result.fileName(), QStringLiteral("Missing.exe"));
    EXPECT_EQ(result.dir().canonicalPath(), QDir(folder.path()).canonicalPath());
    EXPECT_EQ(state.filterIndex, 1);
}

TEST_F(RealDialog, CancelKeepsTheLastChoice) {
    form::OpenDialogState state;
    state.fileName = "/tmp/keep.exe";
    EXPECT_FALSE(run(state, [](QFileDialog* shown) { shown->reject(); }));
    EXPECT_EQ(state.fileName, "/tmp/keep.exe");
}

} // namespace
