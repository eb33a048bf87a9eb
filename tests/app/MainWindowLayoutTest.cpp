// The main window as it looks at start: every control where the layout puts
// it, with its caption, font, colour, state, hint and place in the tab order.
#include "app/QtPrinters.h"
#include "app/Unit1.h"
#include "support/FaultySystem.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextLayout>
#include <QToolTip>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

enum class Kind { Label, Button, Field };

struct Control {
    const char* name;
    Kind kind;
    QRect geometry;
    const char* caption; // label or button text; fields start empty
    int pixelSize;
    bool bold;
    std::optional<QColor> colour; // none: the style's text colour
    bool enabled;
    bool visible;
    int tabOrder; // -1: not in the tab order
};

const QColor Red(255, 0, 0);
const QColor Navy(0, 0, 128);
const QColor Green(0, 128, 0);

// The window's layout, in creation order.
const std::vector<Control> Layout = {
    {"Label1",
     Kind::Label,
     {9, 9, 194, 17},
     "プログラムファイルの名前",
     17,
     true,
     Red,
     true,
     true,
     -1},
    {"Label2", Kind::Label, {9, 69, 96, 17}, "ソフトの名前", 17, true, Red, true, true, -1},
    {"Label3",
     Kind::Label,
     {9, 130, 313, 36},
     "スタートメニューに追加するショートカット（プログラムファイル以外）",
     17,
     true,
     Red,
     true,
     true,
     -1},
    {"Label4", Kind::Label, {52, 173, 30, 14}, "名前", 14, true, Navy, true, true, -1},
    {"Label5", Kind::Label, {208, 173, 67, 14}, "ファイル名", 14, true, Navy, true, true, -1},
    {"Label6",
     Kind::Label,
     {9, 293, 195, 17},
     "インストールの準備中・・・",
     17,
     true,
     Red,
     true,
     false,
     -1},
    {"BtnSansho", Kind::Button, {329, 35, 45, 27}, "参照", 13, false, std::nullopt, true, true, 0},
    {"EditProgramFile", Kind::Field, {17, 35, 296, 22}, "", 14, false, std::nullopt, true, true, 1},
    {"EditApplication", Kind::Field, {17, 95, 296, 22}, "", 14, false, std::nullopt, true, true, 2},
    {"BitBtnInstall",
     Kind::Button,
     {259, 278, 105, 36},
     "インストール",
     17,
     true,
     Green,
     false,
     true,
     3},
    {"EditStartMenu1", Kind::Field, {9, 191, 131, 22}, "", 14, false, std::nullopt, false, true, 4},
    {"EditStartMenu2", Kind::Field, {9, 217, 131, 22}, "", 14, false, std::nullopt, false, true, 5},
    {"EditStartMenu3", Kind::Field, {9, 243, 131, 22}, "", 14, false, std::nullopt, false, true, 6},
    {"EditStartMenuFile1",
     Kind::Field,
     {147, 191, 175, 22},
     "",
     14,
     false,
     std::nullopt,
     false,
     true,
     7},
    {"EditStartMenuFile2",
     Kind::Field,
     {147, 217, 175, 22},
     "",
     14,
     false,
     std::nullopt,
     false,
     true,
     8},
    {"EditStartMenuFile3",
     Kind::Field,
     {147, 243, 175, 22},
     "",
     14,
     false,
     std::nullopt,
     false,
     true,
     9},
    {"BtnStartMenuSansho1",
     Kind::Button,
     {329, 191, 45, 21},
     "参照",
     13,
     false,
     std::nullopt,
     false,
     true,
     10},
    {"BtnStartMenuSansho2",
     Kind::Button,
     {329, 217, 45, 21},
     "参照",
     13,
     false,
     std::nullopt,
     false,
     true,
     11},
    {"BtnStartMenuSansho3",
     Kind::Button,
     {329, 243, 45, 21},
     "参照",
     13,
     false,
     std::nullopt,
     false,
     true,
     12},
};

const QString ProgramFileHint = QStringLiteral(
    "「参照」ボタンを押して、インストールする\nプログラムファイル(*.exe)を指定してください。");
const QString ApplicationHint = QStringLiteral("ソフトの名前を入力します。（例\u3000クワリノ）");
const QString StartMenuNameHint =
    QStringLiteral("プログラムファイル以外でスタートメニューに追加したい\nショートカットがあればそ"
                   "の名前を入力します。"
                   "（例\u3000初めにお読みください）\n空欄の場合はファイル名を名前とします。");
const QString StartMenuFileHint = QStringLiteral(
    "「参照」ボタンを押して、プログラムファイル以外で\nスタートメニューに追加したいファイルを指定"
    "してください。");

// Where the ink of a label's text ends, the text laid out as the label lays
// it out (top-left aligned, wrapped at the label's width when it wraps).
struct Ink {
    qreal right = 0;
    qreal bottom = 0;
    int lines = 0;
};

Ink inkOf(const QLabel& label) {
    Ink ink;
    const QString text = label.text();
    const QFontMetricsF metrics(label.font());
    QTextLayout layout(text, label.font());
    QTextOption option;
    option.setWrapMode(label.wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(label.width());
        line.setPosition(QPointF(0, y));
        const QRectF glyphs =
            metrics.tightBoundingRect(text.mid(line.textStart(), line.textLength()));
        ink.right = std::max(ink.right, line.naturalTextWidth());
        ink.bottom = std::max(ink.bottom, y + line.ascent() + glyphs.bottom());
        y += line.height();
        ++ink.lines;
    }
    layout.endLayout();
    return ink;
}

class MainWindowLayout : public testing::Test {
protected:
    testing_support::FaultySystem sys{platform::realSystem()};
    TForm1 form{sys};

    QWidget* control(const char* name) {
        return form.findChild<QWidget*>(QString::fromLatin1(name));
    }
};

TEST_F(MainWindowLayout, EveryControlIsAMemberWithItsName) {
    const std::vector<std::pair<const char*, QWidget*>> members = {
        {"Label1", form.Label1},
        {"Label2", form.Label2},
        {"Label3", form.Label3},
        {"Label4", form.Label4},
        {"Label5", form.Label5},
        {"Label6", form.Label6},
        {"BtnSansho", form.BtnSansho},
        {"EditProgramFile", form.EditProgramFile},
        {"EditApplication", form.EditApplication},
        {"BitBtnInstall", form.BitBtnInstall},
        {"EditStartMenu1", form.EditStartMenu1},
        {"EditStartMenu2", form.EditStartMenu2},
        {"EditStartMenu3", form.EditStartMenu3},
        {"EditStartMenuFile1", form.EditStartMenuFile1},
        {"EditStartMenuFile2", form.EditStartMenuFile2},
        {"EditStartMenuFile3", form.EditStartMenuFile3},
        {"BtnStartMenuSansho1", form.BtnStartMenuSansho1},
        {"BtnStartMenuSansho2", form.BtnStartMenuSansho2},
        {"BtnStartMenuSansho3", form.BtnStartMenuSansho3},
    };
    ASSERT_EQ(members.size(), Layout.size());
    for (const auto& [name, member] : members) {
        SCOPED_TRACE(name);
        ASSERT_NE(member, nullptr);
        EXPECT_EQ(control(name), member);
        EXPECT_EQ(member->parentWidget(), form.centralWidget());
    }
    EXPECT_EQ(form.MainMenu1, form.menuBar());
    EXPECT_EQ(form.MainMenu1->objectName(), QStringLiteral("MainMenu1"));
    ASSERT_NE(form.Help1, nullptr);
    EXPECT_EQ(form.Help1->objectName(), QStringLiteral("Help1"));
}

TEST_F(MainWindowLayout, ControlsMatchTheLayout) {
    for (const Control& c : Layout) {
        SCOPED_TRACE(c.name);
        QWidget* w = control(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), c.geometry);
        EXPECT_EQ(w->font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        EXPECT_EQ(w->font().pixelSize(), c.pixelSize);
        EXPECT_EQ(w->font().bold(), c.bold);
        EXPECT_EQ(w->isEnabled(), c.enabled);
        EXPECT_EQ(w->isVisibleTo(&form), c.visible);
        switch (c.kind) {
        case Kind::Label: {
            auto* label = qobject_cast<QLabel*>(w);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), QString::fromUtf8(c.caption));
            ASSERT_TRUE(c.colour);
            EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), *c.colour);
            break;
        }
        case Kind::Button: {
            auto* button = qobject_cast<QPushButton*>(w);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), QString::fromUtf8(c.caption));
            EXPECT_TRUE(button->icon().isNull());
            const QColor expected =
                c.colour ? *c.colour : QApplication::palette().color(QPalette::ButtonText);
            EXPECT_EQ(button->palette().color(QPalette::Active, QPalette::ButtonText), expected);
            break;
        }
        case Kind::Field: {
            auto* field = qobject_cast<QLineEdit*>(w);
            ASSERT_NE(field, nullptr);
            EXPECT_TRUE(field->text().isEmpty());
            EXPECT_EQ(field->palette().color(QPalette::Active, QPalette::Text),
                      QApplication::palette().color(QPalette::Text));
            break;
        }
        }
    }
    EXPECT_TRUE(form.Label3->wordWrap());
}

TEST_F(MainWindowLayout, DisabledInstallButtonIsNotGreen) {
    // Green while it can be pressed; the style's grey otherwise.
    EXPECT_NE(form.BitBtnInstall->palette().color(QPalette::Disabled, QPalette::ButtonText), Green);
}

TEST_F(MainWindowLayout, JapaneseFontIsFoundAndTextsFitTheirBoxes) {
#ifndef Q_OS_WIN
    // Off Windows the window's typeface is replaced by IPA P Gothic
    // (Debian package fonts-ipafont-gothic).
    EXPECT_EQ(QFontInfo(form.Label1->font()).family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(QFontInfo(form.BtnSansho->font()).family(), QStringLiteral("IPAPGothic"));
#endif
    for (QLabel* label :
         {form.Label1, form.Label2, form.Label3, form.Label4, form.Label5, form.Label6}) {
        SCOPED_TRACE(label->objectName().toStdString());
        const Ink ink = inkOf(*label);
        // Less than half a pixel of antialiasing may fall outside.
        EXPECT_LE(ink.right, label->width() + 0.5);
        EXPECT_LE(ink.bottom, label->height() + 0.5);
        EXPECT_EQ(ink.lines, label == form.Label3 ? 2 : 1);
    }
    for (QPushButton* button : {form.BtnSansho, form.BitBtnInstall, form.BtnStartMenuSansho1}) {
        SCOPED_TRACE(button->objectName().toStdString());
        const QFontMetrics metrics(button->font());
        EXPECT_LE(metrics.horizontalAdvance(button->text()), button->width() - 8);
        EXPECT_LE(metrics.height(), button->height());
    }
}

TEST_F(MainWindowLayout, TabOrderFollowsTheLayout) {
    std::vector<QWidget*> expected(13);
    for (const Control& c : Layout)
        if (c.tabOrder >= 0)
            expected[static_cast<std::size_t>(c.tabOrder)] = control(c.name);

    // Walk the focus chain from the first control, keeping the window's
    // focusable controls.
    std::vector<QWidget*> chain;
    QWidget* w = expected.front();
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == form.centralWidget())
            chain.push_back(w);
        w = w->nextInFocusChain();
    } while (w != expected.front() && chain.size() <= expected.size());
    EXPECT_EQ(chain, expected);

    for (const Control& c : Layout) {
        if (c.kind == Kind::Label) {
            EXPECT_EQ(control(c.name)->focusPolicy(), Qt::NoFocus) << c.name;
        }
    }
}

TEST_F(MainWindowLayout, WindowIsFixedCentredAndTitled) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    EXPECT_EQ(form.windowTitle(), QStringLiteral("クワリノ"));
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("クワリノ"));
    EXPECT_EQ(form.centralWidget()->size(), QSize(385, 323));
    EXPECT_EQ(form.centralWidget()->y(), form.menuBar()->height());
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.size(), QSize(385, 323 + form.menuBar()->height()));

    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);

    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(32, 32)));

    // Background in the button-face colour.
    EXPECT_EQ(form.palette().color(QPalette::Window), form.palette().color(QPalette::Button));

    const QRect screen = form.screen()->geometry();
    const QPoint offset = form.frameGeometry().center() - screen.center();
    EXPECT_LE(std::abs(offset.x()), 1);
    EXPECT_LE(std::abs(offset.y()), 1);

    EXPECT_EQ(QApplication::focusWidget(), form.BtnSansho);
}

TEST_F(MainWindowLayout, HelpIsOneMenuItemWithoutSubmenu) {
    const QList<QAction*> items = form.menuBar()->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0], form.Help1);
    EXPECT_EQ(form.Help1->text(), QStringLiteral("ヘルプ(&H)"));
    EXPECT_EQ(form.Help1->menu(), nullptr);
}

TEST_F(MainWindowLayout, FieldsHaveTheirHints) {
    EXPECT_EQ(form.EditProgramFile->toolTip(), ProgramFileHint);
    EXPECT_EQ(form.EditApplication->toolTip(), ApplicationHint);
    for (QLineEdit* f : {form.EditStartMenu1, form.EditStartMenu2, form.EditStartMenu3})
        EXPECT_EQ(f->toolTip(), StartMenuNameHint) << f->objectName().toStdString();
    for (QLineEdit* f : {form.EditStartMenuFile1, form.EditStartMenuFile2, form.EditStartMenuFile3})
        EXPECT_EQ(f->toolTip(), StartMenuFileHint) << f->objectName().toStdString();
    for (QWidget* w :
         {static_cast<QWidget*>(form.BtnSansho), static_cast<QWidget*>(form.BitBtnInstall),
          static_cast<QWidget*>(form.Label1)})
        EXPECT_TRUE(w->toolTip().isEmpty()) << w->objectName().toStdString();
}

TEST_F(MainWindowLayout, HintShowsWithLineBreaksAlsoOnDisabledFields) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    for (QLineEdit* field : {form.EditProgramFile, form.EditStartMenuFile2}) {
        SCOPED_TRACE(field->objectName().toStdString());
        const QPoint at(5, 5);
        QHelpEvent help(QEvent::ToolTip, at, field->mapToGlobal(at));
        QApplication::sendEvent(field, &help);
        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text(), field->toolTip());
        EXPECT_TRUE(QToolTip::text().contains(QLatin1Char('\n')));
        QToolTip::hideText();
    }
}

TEST_F(MainWindowLayout, StartMenuRowsAndTagsAreSetAtCreation) {
    const std::array<QWidget*, 9> expected = {
        form.EditStartMenu1,      form.EditStartMenu2,      form.EditStartMenu3,
        form.EditStartMenuFile1,  form.EditStartMenuFile2,  form.EditStartMenuFile3,
        form.BtnStartMenuSansho1, form.BtnStartMenuSansho2, form.BtnStartMenuSansho3};
    EXPECT_EQ(form.StartMenuRows, expected);
    EXPECT_EQ(form.BtnStartMenuSansho1->property("tag").toInt(), 1);
    EXPECT_EQ(form.BtnStartMenuSansho2->property("tag").toInt(), 2);
    EXPECT_EQ(form.BtnStartMenuSansho3->property("tag").toInt(), 3);

    const prepare::RunState& state = form.runState();
    EXPECT_TRUE(state.ProgramFileName.empty());
    EXPECT_TRUE(state.ProgramFolder.empty());
    EXPECT_EQ(state.ProgramFolderLength, 0u);
    EXPECT_TRUE(state.CreatedIniFiles.empty());
    EXPECT_FALSE(state.RelocationRefused);
}

} // namespace
