#include "platform/Dialogs.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QtDebug>

#include <deque>
#include <optional>
#include <utility>

namespace platform {

namespace {

// ---- the file-open dialog's seam ----

struct DialogSeam {
    std::deque<std::optional<QString>> answers; // nullopt: cancel
    bool failOnUnexpected = false;
    int unexpected = 0;
    int shown = 0;
    QString lastTitle;
    QString lastFilter;
    QString lastStartFileName;
};

DialogSeam& dialogSeam() {
    static DialogSeam seam;
    return seam;
}

// ---- the message boxes' seam ----

struct BoxSeam {
    std::deque<MessageBox::Button> answers;
    bool failOnUnexpected = false;
    int unexpected = 0;
    std::vector<MessageBox::Shown> shown;
};

BoxSeam& boxSeam() {
    static BoxSeam seam;
    return seam;
}

// The tool's line break is a carriage return alone; Qt breaks lines at "\n".
QString lineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString applicationTitle() {
    // The display name falls back to the application name when none is set.
    return QGuiApplication::applicationDisplayName();
}

// A QMessageBox that opens centred on the screen and tells a close by the
// title bar apart from a press of the escape button.
class Box : public QMessageBox {
public:
    explicit Box(QWidget* parent) : QMessageBox(parent) {}
    bool closedByTitleBar = false;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event); // sizes the box
        QScreen* where = parentWidget() ? parentWidget()->screen() : screen();
        if (where)
            move(where->geometry().center() - rect().center());
    }
    void closeEvent(QCloseEvent* event) override {
        // Only a close request from outside gets here: the box eats the close
        // event of its own buttons.
        closedByTitleBar = true;
        QMessageBox::closeEvent(event);
    }
};

struct BoxButton {
    MessageBox::Button id;
    QString text;
    QMessageBox::ButtonRole role;
};

MessageBox::Button runBox(QWidget* parent, const QString& caption, const QString& text,
                          MessageBox::Icon icon, const std::vector<BoxButton>& buttons,
                          MessageBox::Button defaultButton, MessageBox::Button escapeButton) {
    Box box(parent);
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText); // file names may hold "<" and "&"
    box.setText(lineBreaks(text));
    switch (icon) {
    case MessageBox::Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageBox::Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageBox::Icon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    std::vector<std::pair<QAbstractButton*, MessageBox::Button>> made;
    for (const BoxButton& b : buttons) {
        QPushButton* pushButton = box.addButton(b.text, b.role);
        made.emplace_back(pushButton, b.id);
        if (b.id == defaultButton)
            box.setDefaultButton(pushButton);
        if (b.id == escapeButton)
            box.setEscapeButton(pushButton);
    }
    auto idOf = [&made](const QAbstractButton* button) {
        for (const auto& [pushButton, id] : made)
            if (pushButton == button)
                return id;
        return MessageBox::Button::Closed;
    };

    // The record is read back from the box itself.
    MessageBox::Shown record;
    record.caption = box.windowTitle();
    record.text = text;
    record.displayedText = box.text();
    switch (box.icon()) {
    case QMessageBox::Question:
        record.icon = MessageBox::Icon::Question;
        break;
    case QMessageBox::Critical:
        record.icon = MessageBox::Icon::Stop;
        break;
    default:
        record.icon = MessageBox::Icon::None;
        break;
    }
    for (const auto& [pushButton, id] : made) {
        record.buttons.push_back(id);
        record.buttonTexts.push_back(pushButton->text());
    }
    record.defaultButton = idOf(box.defaultButton());
    record.escapeButton = idOf(box.escapeButton());

    BoxSeam& seam = boxSeam();
    if (!seam.answers.empty()) {
        const MessageBox::Button answer = seam.answers.front();
        seam.answers.pop_front();
        record.answered = true;
        seam.shown.push_back(std::move(record));
        return answer;
    }
    if (seam.failOnUnexpected) {
        ++seam.unexpected;
        record.unexpected = true;
        qWarning().noquote() << "Unexpected message box:" << caption << text;
        seam.shown.push_back(std::move(record));
        return MessageBox::Button::Closed;
    }
    seam.shown.push_back(std::move(record));

    box.exec();
    if (box.closedByTitleBar)
        return MessageBox::Button::Closed;
    return idOf(box.clickedButton());
}

} // namespace

// ---- OpenDialog ----

QStringList OpenDialog::qtNameFilters(const QString& delphiStyle) {
    QStringList result;
    if (delphiStyle.isEmpty())
        return result;
    const QStringList parts = delphiStyle.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (trimmed.isEmpty())
                continue;
            patterns.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        result.append(parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

bool OpenDialog::execute(QWidget* parent) {
    DialogSeam& seam = dialogSeam();
    ++seam.shown;
    seam.lastTitle = title_;
    seam.lastFilter = filter_;
    seam.lastStartFileName = fileName_;
    if (!seam.answers.empty()) {
        const std::optional<QString> answer = seam.answers.front();
        seam.answers.pop_front();
        if (!answer)
            return false;
        fileName_ = *answer;
        return true;
    }
    if (seam.failOnUnexpected) {
        ++seam.unexpected;
        qWarning().noquote() << "Unexpected file dialog:" << title_;
        return false;
    }

    QFileDialog dialog(parent, title_);
    dialog.setFileMode(QFileDialog::AnyFile); // a typed name need not exist
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The descriptions already name their patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
#ifndef Q_OS_WIN
    // The desktop's own dialogs insist on existing files in "open" mode.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
    const QStringList filters = qtNameFilters(filter_);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (filterIndex_ >= 1 && filterIndex_ <= filters.size())
            dialog.selectNameFilter(filters[filterIndex_ - 1]);
    }
    if (!fileName_.isEmpty()) {
        const QFileInfo start(fileName_);
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return false;
    fileName_ = QDir::toNativeSeparators(chosen.first());
    const qsizetype entry = filters.indexOf(dialog.selectedNameFilter());
    if (entry >= 0)
        filterIndex_ = static_cast<int>(entry) + 1;
    return true;
}

void OpenDialog::setNextFileName(const QString& nativePath) {
    dialogSeam().answers.emplace_back(nativePath);
}

void OpenDialog::setNextCancel() {
    dialogSeam().answers.emplace_back(std::nullopt);
}

int OpenDialog::pendingAnswers() {
    return static_cast<int>(dialogSeam().answers.size());
}

int OpenDialog::shownCount() {
    return dialogSeam().shown;
}

QString OpenDialog::lastTitle() {
    return dialogSeam().lastTitle;
}

QString OpenDialog::lastFilter() {
    return dialogSeam().lastFilter;
}

QString OpenDialog::lastStartFileName() {
    return dialogSeam().lastStartFileName;
}

void OpenDialog::setFailOnUnexpectedDialog(bool fail) {
    dialogSeam().failOnUnexpected = fail;
}

int OpenDialog::unexpectedCount() {
    return dialogSeam().unexpected;
}

void OpenDialog::resetSeam() {
    DialogSeam& seam = dialogSeam();
    const bool fail = seam.failOnUnexpected;
    seam = DialogSeam{};
    seam.failOnUnexpected = fail;
}

// ---- MessageBox ----

MessageBox::Button MessageBox::plain(QWidget* parent, const QString& text) {
    return runBox(parent, applicationTitle(), text, Icon::None,
                  {{Button::Ok, QStringLiteral("OK"), QMessageBox::AcceptRole}}, Button::Ok,
                  Button::Ok);
}

MessageBox::Button MessageBox::question(QWidget* parent, const QString& caption,
                                        const QString& text) {
    return runBox(parent, caption, text, Icon::Question,
                  {{Button::Yes, QStringLiteral("はい(&Y)"), QMessageBox::YesRole},
                   {Button::No, QStringLiteral("いいえ(&N)"), QMessageBox::NoRole}},
                  Button::Yes, Button::No);
}

QString MessageBox::withFullStop(const QString& text) {
    if (text.isEmpty())
        return text;
    // The last character, a surrogate pair counted as one.
    char32_t last = text.back().unicode();
    if (text.size() >= 2 && text.back().isLowSurrogate() && text[text.size() - 2].isHighSurrogate())
        last = QChar::surrogateToUcs4(text[text.size() - 2], text.back());
    return last > U'.' ? text + QLatin1Char('.') : text;
}

MessageBox::Button MessageBox::error(QWidget* parent, const QString& text) {
    return runBox(parent, applicationTitle(), withFullStop(text), Icon::Stop,
                  {{Button::Ok, QStringLiteral("OK"), QMessageBox::AcceptRole}}, Button::Ok,
                  Button::Ok);
}

void MessageBox::setNextAnswer(Button answer) {
    boxSeam().answers.push_back(answer);
}

int MessageBox::pendingAnswers() {
    return static_cast<int>(boxSeam().answers.size());
}

const std::vector<MessageBox::Shown>& MessageBox::shown() {
    return boxSeam().shown;
}

void MessageBox::clearShown() {
    boxSeam().shown.clear();
}

void MessageBox::setFailOnUnexpectedBox(bool fail) {
    boxSeam().failOnUnexpected = fail;
}

int MessageBox::unexpectedCount() {
    return boxSeam().unexpected;
}

void MessageBox::resetSeam() {
    BoxSeam& seam = boxSeam();
    const bool fail = seam.failOnUnexpected;
    seam = BoxSeam{};
    seam.failOnUnexpected = fail;
}

} // namespace platform
