// The main window as it looks at start: every control where the layout puts
// it, with its caption, font, colour, state, hint and place in the tab order.
#include "app/MainWindow.h"
#include "app/QtPrinters.h"
#include "form/WindowTexts.h"
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
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

using form::ControlEntry;
using form::Kind;
using form::Role;

const QColor Green(0, 128, 0);

// WCAG 2's relative luminance and contrast ratio, from the published formulas.
double luminance(const QColor& c) {
    auto lin = [](double v) { return v <= .04045 ? v / 12.92 : std::pow((v + .055) / 1.055, 2.4); };
    return .2126 * lin(c.redF()) + .7152 * lin(c.greenF()) + .0722 * lin(c.blueF());
}
double contrast(const QColor& a, const QColor& b) {
    const auto [darker, lighter] = std::minmax({luminance(a), luminance(b)});
    return (lighter + .05) / (darker + .05);
}

// A hint as the tool-tip window shows it: "\r" becomes a line break.
QString tooltipOf(const std::string& hint) {
    return QString::fromStdString(hint).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

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
    testing_support::FaultySystem sys;
    MainWindow form{sys};

    QWidget* control(Role role, int row = 0) const { return form.control(form::id(role, row)); }
    template <typename T> T* as(Role role, int row = 0) const {
        return qobject_cast<T*>(control(role, row));
    }
};

TEST_F(MainWindowLayout, EveryControlIsWhereTheTablePutsItAndLooksSo) {
    const auto& table = form::controls();
    for (form::ControlId i = 0; i < table.size(); ++i) {
        const ControlEntry& c = table[i];
        SCOPED_TRACE(c.name);
        QWidget* w = form.control(i);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(form.findChild<QWidget*>(QString::fromStdString(c.name)), w);
        EXPECT_EQ(w->parentWidget(), form.centralWidget());
        EXPECT_EQ(w->geometry(), QRect(c.place.left, c.place.top, c.place.width, c.place.height));
        EXPECT_EQ(w->font().family(), QString::fromUtf8(form::FontFamily));
        EXPECT_EQ(w->font().pixelSize(), c.fontHeight ? c.fontHeight : form::DefaultFontHeight);
        EXPECT_EQ(w->font().bold(), c.bold);
        EXPECT_EQ(w->isEnabled(), c.enabled);
        EXPECT_EQ(w->isVisibleTo(&form), c.visible);
        EXPECT_EQ(w->toolTip(), tooltipOf(c.hint));
        EXPECT_EQ(w->accessibleName(), QString::fromStdString(c.accessibleName));
        std::optional<QColor> colour;
        if (c.colour != form::Colour::WindowText) {
            const form::Rgb rgb = form::rgb(c.colour);
            colour = QColor(rgb.r, rgb.g, rgb.b);
        }
        switch (c.kind) {
        case Kind::Label: {
            auto* label = qobject_cast<QLabel*>(w);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), QString::fromStdString(c.caption));
            EXPECT_EQ(label->wordWrap(), c.wordWrap);
            ASSERT_TRUE(colour);
            EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText), *colour);
            EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
            break;
        }
        case Kind::Button: {
            auto* button = qobject_cast<QPushButton*>(w);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), QString::fromStdString(c.caption));
            EXPECT_TRUE(button->icon().isNull());
            EXPECT_EQ(button->palette().color(QPalette::Active, QPalette::ButtonText),
                      colour.value_or(QApplication::palette().color(QPalette::ButtonText)));
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
}

TEST_F(MainWindowLayout, ColouredCaptionsKeepTheirHueAndReadAtThreeToOneOnAnyPalette) {
    // Switched to with the window open: Breeze Dark, a grey scheme, the default.
    QPalette dark(QColor(0x31, 0x36, 0x3b)), grey(QColor(0xd4, 0xd0, 0xc8));
    constexpr double KeepsItsHue = 0.5; // HSV saturation: a paler colour reads as white
    for (const QPalette& palette :
         {dark, grey, QPalette(QColor(0x90, 0x90, 0x90)), QApplication::palette()}) {
        QApplication::setPalette(palette);
        QCoreApplication::processEvents(); // the change is posted
        for (Role role : {Role::Label1, Role::Label4, Role::BitBtnInstall}) { // red, navy, green
            const QWidget* w = control(role);
            const QColor text = w->palette().color(QPalette::Active, w->foregroundRole());
            const QColor background = palette.color(QPalette::Button); // the window's face
            const form::Rgb rgb = form::rgb(form::controls()[form::id(role)].colour);
            const QColor tabled(rgb.r, rgb.g, rgb.b);
            // The tabled colour where it reads at 3:1, else its hue just past 3:1.
            const double reads = contrast(text, background);
            EXPECT_TRUE(contrast(tabled, background) >= 3
                            ? text == tabled
                            : text.hslHue() == tabled.hslHue() && reads >= 3 && reads < 3.05)
                << text.name().toStdString() << " on " << background.name().toStdString();
            EXPECT_GT(text.hsvSaturationF(), KeepsItsHue) << text.name().toStdString();
        }
    }
}

TEST_F(MainWindowLayout, DisabledInstallButtonIsNotGreen) {
    // Green while it can be pressed; the style's grey otherwise.
    EXPECT_NE(
        control(Role::BitBtnInstall)->palette().color(QPalette::Disabled, QPalette::ButtonText),
        Green);
}

TEST_F(MainWindowLayout, JapaneseFontIsFoundAndTextsFitTheirBoxes) {
#ifndef Q_OS_WIN
    // Off Windows the window's typeface is replaced by IPA P Gothic
    // (Debian package fonts-ipafont-gothic).
    EXPECT_EQ(QFontInfo(control(Role::Label1)->font()).family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(QFontInfo(control(Role::BtnSansho)->font()).family(), QStringLiteral("IPAPGothic"));
#endif
    for (Role role :
         {Role::Label1, Role::Label2, Role::Label3, Role::Label4, Role::Label5, Role::Label6}) {
        QLabel& label = *as<QLabel>(role);
        const ControlEntry& entry = form::controls()[form::id(role)];
        // The caption first, then each text the logic may put there later.
        std::vector<std::string> texts{label.text().toStdString()};
        texts.insert(texts.end(), entry.alsoShows.begin(), entry.alsoShows.end());
        for (const std::string& text : texts) {
            SCOPED_TRACE(label.objectName().toStdString() + ": " + text);
            form.setText(form::id(role), text);
            const Ink ink = inkOf(label);
            // Less than half a pixel of antialiasing may fall outside.
            EXPECT_LE(ink.right, label.width() + 0.5);
            EXPECT_LE(ink.bottom, label.height() + 0.5);
            EXPECT_EQ(ink.lines, role == Role::Label3 ? 2 : 1);
        }
    }
    for (QPushButton* button :
         {as<QPushButton>(Role::BtnSansho), as<QPushButton>(Role::BitBtnInstall),
          as<QPushButton>(Role::BtnStartMenuSansho, 1)}) {
        SCOPED_TRACE(button->objectName().toStdString());
        const QFontMetrics metrics(button->font());
        EXPECT_LE(metrics.horizontalAdvance(button->text()), button->width() - 8);
        EXPECT_LE(metrics.height(), button->height());
    }
}

TEST_F(MainWindowLayout, TabOrderIsTheTablesOrder) {
    std::vector<QWidget*> expected;
    for (form::ControlId i = 0; i < form::controls().size(); ++i)
        if (form::controls()[i].kind != Kind::Label)
            expected.push_back(form.control(i));

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
}

TEST_F(MainWindowLayout, WindowIsFixedCentredAndTitled) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    EXPECT_EQ(form.windowTitle(), QString::fromUtf8(window_text::Title));
    EXPECT_EQ(QApplication::applicationName(), QString::fromUtf8(window_text::Title));
    EXPECT_EQ(form.centralWidget()->size(), QSize(form::ClientWidth, form::ClientHeight));
    EXPECT_EQ(form.centralWidget()->y(), form.menuBar()->height());
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.size(), QSize(form::ClientWidth, form::ClientHeight + form.menuBar()->height()));

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

    EXPECT_EQ(QApplication::focusWidget(), control(Role::BtnSansho));
}

TEST_F(MainWindowLayout, HelpIsOneMenuItemWithoutSubmenu) {
    const QList<QAction*> items = form.menuBar()->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0], form.Help1);
    EXPECT_EQ(form.Help1->objectName(), QStringLiteral("Help1"));
    EXPECT_EQ(form.MainMenu1->objectName(), QStringLiteral("MainMenu1"));
    EXPECT_EQ(form.Help1->text(), QString::fromUtf8(window_text::HelpMenu));
    EXPECT_EQ(form.Help1->menu(), nullptr);
}

TEST_F(MainWindowLayout, HintShowsWithLineBreaksAlsoOnDisabledFields) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    for (QWidget* field : {control(Role::EditProgramFile), control(Role::EditStartMenuFile, 2)}) {
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

} // namespace
