// The Qt window's file-open dialog and message boxes.
//
// Tests script them the way KeePassXC does (MessageBox::setNextAnswer,
// fileDialog()->setNextFileName): a queued answer is taken instead of opening
// a modal window, and every box and dialog is recorded, so a test sees what
// the user would have seen. In scripted mode a box or dialog that finds no
// answer queued is recorded as unanswered and closed, instead of blocking the
// run on a window nobody answers.
#pragma once

#include "form/View.h"

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

namespace app {

class OpenDialog {
public:
    // Shows the dialog for `state` (filter, title, starting file and filter
    // entry) modally. true when a file was chosen: state.fileName and
    // state.filterIndex then hold the choice. A cancel changes nothing. A
    // typed name need not exist.
    static bool execute(QWidget* parent, form::OpenDialogState& state);

    // The "description|pattern|..." filter as Qt's name filters: each entry
    // becomes "description (patterns)", ";"-separated patterns become
    // space-separated, and "*.*" becomes "*", which matches every name as it
    // does on Windows (also names without an extension).
    static QStringList qtNameFilters(const QString& filter);

    // What one dialog showed.
    struct Shown {
        QString title, filter, startFileName;
        bool answered = false;
    };
    // Test seam: the next dialog chooses this native path, or is cancelled.
    static void setNextFileName(const QString& nativePath);
    static void setNextCancel();
};

class Boxes {
public:
    enum class Icon { None, Question, Stop };

    // What one box showed.
    struct Shown {
        QString caption;
        QString text;          // as given ("\r" for a line break)
        QString displayedText; // as the box holds it (line breaks as "\n")
        Icon icon = Icon::None;
        QStringList buttons;   // their texts, in order
        QString defaultButton; // empty: none
        QString escapeButton;  // empty: none
        bool answered = false; // a queued answer was taken
    };

    // The plain box: caption the application title, no icon, the text, one
    // "OK" that Enter and Escape press. Centred on the screen.
    static void plain(QWidget* parent, const QString& text);
    // The confirmation: the caption, a question-mark icon, "はい(&Y)" (default)
    // and "いいえ(&N)" (Escape); closed by its title bar it answers Closed.
    static form::Answer question(QWidget* parent, const QString& caption, const QString& text);
    // The application's error box: caption the application title, a stop icon,
    // one "OK"; the text as given.
    static void error(QWidget* parent, const QString& text);
    // The box for files that cannot go back: caption the application title, a
    // stop icon, "再試行(&R)" (default) and "キャンセル" (Escape); Retry or
    // Cancel, also when closed by its title bar.
    static form::Answer retry(QWidget* parent, const QString& text);

    // Test seam: the next box takes this answer.
    static void setNextAnswer(form::Answer answer);
};

// The record of every box and dialog, and the scripted mode (see above).
namespace seam {
void setScripted(bool scripted);
const std::vector<Boxes::Shown>& boxes();
const std::vector<OpenDialog::Shown>& dialogs();
// Answers queued but not taken.
int pendingAnswers();
// Clears the queues and the records (not the mode).
void reset();
} // namespace seam

} // namespace app
