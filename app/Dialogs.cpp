#include "app/Dialogs.h"

#include "prepare/Texts.h"

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

#include <deque>
#include <optional>
#include <utility>

namespace app {

namespace {

struct Seam {
    bool scripted = false;
    std::deque<form::Answer> boxAnswers;
    std::deque<std::optional<QString>> fileAnswers; // nullopt: cancel
    std::vector<Boxes::Shown> boxes;
    std::vector<OpenDialog::Shown> dialogs;
};

Seam& theSeam() {
    static Seam seam;
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
    form::Answer id;
    QString text;
    QMessageBox::ButtonRole role;
};

const BoxButton Ok{form::Answer::Ok, QStringLiteral("OK"), QMessageBox::AcceptRole};

form::Answer runBox(QWidget* parent, const QString& caption, const QString& text, Boxes::Icon icon,
                    const std::vector<BoxButton>& buttons, form::Answer defaultButton,
                    form::Answer escapeButton) {
    Box box(parent);
    box.setWindowTitle(caption);
    box.setTextFormat(Qt::PlainText); // file names may hold "<" and "&"
    box.setText(lineBreaks(text));
    box.setIcon(icon == Boxes::Icon::Question ? QMessageBox::Question
                : icon == Boxes::Icon::Stop   ? QMessageBox::Critical
                                              : QMessageBox::NoIcon);
    std::vector<std::pair<QAbstractButton*, form::Answer>> made;
    for (const BoxButton& b : buttons) {
        QPushButton* pushButton = box.addButton(b.text, b.role);
        made.emplace_back(pushButton, b.id);
        if (b.id == defaultButton)
            box.setDefaultButton(pushButton);
        if (b.id == escapeButton)
            box.setEscapeButton(pushButton);
    }

    // The record is read back from the box itself.
    Boxes::Shown record;
    record.caption = box.windowTitle();
    record.text = text;
    record.displayedText = box.text();
    record.icon = box.icon() == QMessageBox::Question   ? Boxes::Icon::Question
                  : box.icon() == QMessageBox::Critical ? Boxes::Icon::Stop
                                                        : Boxes::Icon::None;
    for (const auto& made1 : made)
        record.buttons.append(made1.first->text());
    if (box.defaultButton())
        record.defaultButton = box.defaultButton()->text();
    if (box.escapeButton())
        record.escapeButton = box.escapeButton()->text();

    Seam& seam = theSeam();
    if (!seam.boxAnswers.empty() || seam.scripted) {
        form::Answer answer = form::Answer::Closed;
        if (!seam.boxAnswers.empty()) {
            answer = seam.boxAnswers.front();
            seam.boxAnswers.pop_front();
            record.answered = true;
        }
        seam.boxes.push_back(std::move(record));
        return answer;
    }
    seam.boxes.push_back(std::move(record));

    box.exec();
    if (box.closedByTitleBar)
        return form::Answer::Closed;
    for (const auto& [pushButton, id] : made)
        if (pushButton == box.clickedButton())
            return id;
    return form::Answer::Closed;
}

} // namespace

// ---- OpenDialog ----

QStringList OpenDialog::qtNameFilters(const QString& filter) {
    QStringList result;
    if (filter.isEmpty())
        return result;
    const QStringList parts = filter.split(QLatin1Char('|'));
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

bool OpenDialog::execute(QWidget* parent, form::OpenDialogState& state) {
    const QString title = QString::fromStdString(state.title);
    const QString startFileName = QString::fromStdString(state.fileName);
    Seam& seam = theSeam();
    Shown record{title, QString::fromStdString(state.filter), startFileName};
    if (!seam.fileAnswers.empty() || seam.scripted) {
        std::optional<QString> answer;
        if (!seam.fileAnswers.empty()) {
            answer = seam.fileAnswers.front();
            seam.fileAnswers.pop_front();
            record.answered = true;
        }
        seam.dialogs.push_back(record);
        if (!answer)
            return false;
        state.fileName = answer->toStdString();
        return true;
    }
    seam.dialogs.push_back(record);

    QFileDialog dialog(parent, title);
    dialog.setFileMode(QFileDialog::AnyFile); // a typed name need not exist
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The descriptions already name their patterns.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
#ifndef Q_OS_WIN
    // The desktop's own dialogs insist on existing files in "open" mode.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
    const QStringList filters = qtNameFilters(record.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (state.filterIndex >= 1 && state.filterIndex <= filters.size())
            dialog.selectNameFilter(filters[state.filterIndex - 1]);
    }
    if (!startFileName.isEmpty()) {
        const QFileInfo start(startFileName);
        dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return false;
    state.fileName = QDir::toNativeSeparators(chosen.first()).toStdString();
    const qsizetype entry = filters.indexOf(dialog.selectedNameFilter());
    if (entry >= 0)
        state.filterIndex = static_cast<int>(entry) + 1;
    return true;
}

void OpenDialog::setNextFileName(const QString& nativePath) {
    theSeam().fileAnswers.emplace_back(nativePath);
}

void OpenDialog::setNextCancel() {
    theSeam().fileAnswers.emplace_back(std::nullopt);
}

// ---- Boxes ----

void Boxes::plain(QWidget* parent, const QString& text) {
    runBox(parent, applicationTitle(), text, Icon::None, {Ok}, form::Answer::Ok, form::Answer::Ok);
}

form::Answer Boxes::question(QWidget* parent, const QString& caption, const QString& text) {
    return runBox(parent, caption, text, Icon::Question,
                  {{form::Answer::Yes, QString::fromUtf8(prepare::text::Yes), QMessageBox::YesRole},
                   {form::Answer::No, QString::fromUtf8(prepare::text::No), QMessageBox::NoRole}},
                  form::Answer::Yes, form::Answer::No);
}

void Boxes::error(QWidget* parent, const QString& text) {
    runBox(parent, applicationTitle(), text, Icon::Stop, {Ok}, form::Answer::Ok, form::Answer::Ok);
}

form::Answer Boxes::retry(QWidget* parent, const QString& text) {
    const form::Answer answer = runBox(
        parent, applicationTitle(), text, Icon::Stop,
        {{form::Answer::Retry, QString::fromUtf8(prepare::text::Retry), QMessageBox::AcceptRole},
         {form::Answer::Cancel, QString::fromUtf8(prepare::text::Cancel), QMessageBox::RejectRole}},
        form::Answer::Retry, form::Answer::Cancel);
    return answer == form::Answer::Retry ? answer : form::Answer::Cancel;
}

void Boxes::setNextAnswer(form::Answer answer) {
    theSeam().boxAnswers.push_back(answer);
}

// ---- the record ----

namespace seam {

void setScripted(bool scripted) {
    theSeam().scripted = scripted;
}

const std::vector<Boxes::Shown>& boxes() {
    return theSeam().boxes;
}

const std::vector<OpenDialog::Shown>& dialogs() {
    return theSeam().dialogs;
}

int pendingAnswers() {
    return static_cast<int>(theSeam().boxAnswers.size() + theSeam().fileAnswers.size());
}

void reset() {
    Seam& s = theSeam();
    const bool scripted = s.scripted;
    s = Seam{};
    s.scripted = scripted;
}

} // namespace seam

} // namespace app
