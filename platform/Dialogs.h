// The file-open dialog and the message boxes of the window: the only Qt part of
// the platform layer.
//
// Both carry a test seam modelled on KeePassXC's MessageBox::setNextAnswer and
// fileDialog()->setNextFileName: a test queues the next answers, and a box or
// dialog that finds an answer queued takes it instead of opening a modal
// window. Every message box is recorded (caption, text, icon, buttons), shown or
// not, so a test can see what the user would have seen. A test run also sets
// the "fail on unexpected" switches: a box or dialog that finds no queued
// answer is then counted and treated as closed, instead of blocking the run on
// a window nobody answers.
//
// Texts follow the tool's convention: "\r" (one carriage return) is a line
// break. The boxes show it as one.
//
// Note for the Windows build: <windows.h> defines a macro MessageBox; include
// this header where that macro is not in scope (or #undef it first).
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

namespace platform {

// A common file-open dialog. One object serves several browses: the filter and
// the title are set anew before each use, and the file name (and the filter
// entry) chosen last stay in it as the starting choice of the next use. A
// cancelled dialog changes nothing, not even that remembered name. A typed
// name need not exist; the caller checks existence where it matters. Qt's own
// dialog has no read-only check box to hide.
class OpenDialog {
public:
    // Filter in the "description|pattern|description|pattern" form, e.g.
    // "プログラムファイル(*.exe)|*.exe".
    void setFilter(const QString& delphiStyle) { filter_ = delphiStyle; }
    QString filter() const { return filter_; }
    void setTitle(const QString& title) { title_ = title; }
    QString title() const { return title_; }
    // The native path chosen last (the starting choice of the next use).
    QString fileName() const { return fileName_; }
    void setFileName(const QString& nativePath) { fileName_ = nativePath; }

    // Shows the dialog modally. true and fileName() set when the user chose a
    // file; false when the user cancelled (nothing changes then).
    bool execute(QWidget* parent);

    // The filter converted to Qt's name filters: each entry becomes
    // "description (patterns)", ";"-separated patterns become space-separated.
    // The pattern "*.*" becomes "*", which matches every name as it does on
    // Windows (also names without an extension).
    static QStringList qtNameFilters(const QString& delphiStyle);

    // Test seam. Each execute() takes the oldest queued answer: a native path
    // to choose, or a cancel.
    static void setNextFileName(const QString& nativePath);
    static void setNextCancel();
    static int pendingAnswers();
    // What the dialog would have shown, for every execute() since the last reset.
    static int shownCount();
    static QString lastTitle();
    static QString lastFilter();
    static QString lastStartFileName();
    // With the switch on, an execute() without a queued answer does not open a
    // window: it is counted as unexpected, warned about and cancelled.
    static void setFailOnUnexpectedDialog(bool fail);
    static int unexpectedCount();
    // Clears the queue, the records and the counts (not the switch).
    static void resetSeam();

private:
    QString filter_;
    QString title_;
    QString fileName_;
    int filterIndex_ = 1; // 1-based entry of the filter chosen last
};

class MessageBox {
public:
    enum class Button { Ok, Yes, No, Closed };
    enum class Icon { None, Question, Stop };

    // What one box showed.
    struct Shown {
        QString caption;
        QString text;          // as given ("\r" for a line break), with the full stop error() adds
        QString displayedText; // as the box holds it (line breaks as "\n")
        Icon icon = Icon::None;
        std::vector<Button> buttons; // in the order they were added
        std::vector<QString> buttonTexts;
        Button defaultButton = Button::Closed; // Closed: none
        Button escapeButton = Button::Closed;  // Closed: none
        bool answered = false;                 // a queued answer was taken
        bool unexpected = false;               // no answer queued while failing on unexpected boxes
    };

    // A modal box centred on the screen: caption the application title, no
    // icon, the text and one "OK" button, which Enter and Escape both press.
    static Button plain(QWidget* parent, const QString& text);

    // A confirmation: the given caption, a question-mark icon, "はい(&Y)" (the
    // default button) and "いいえ(&N)" (also pressed by Escape). Closing the box
    // by its title bar is neither answer: Button::Closed.
    static Button question(QWidget* parent, const QString& caption, const QString& text);

    // The application's error box: caption the application title, a stop icon,
    // one "OK" button, and the text with a full stop appended when its last
    // character sorts after "." (as every Japanese character does).
    static Button error(QWidget* parent, const QString& text);

    // The text error() shows for a given text.
    static QString withFullStop(const QString& text);

    // Test seam. Each box takes the oldest queued answer (returned as given)
    // and is recorded but not shown.
    static void setNextAnswer(Button answer);
    static int pendingAnswers();
    static const std::vector<Shown>& shown();
    static void clearShown();
    // With the switch on, a box without a queued answer is recorded, counted as
    // unexpected, warned about and answered Button::Closed without a window.
    static void setFailOnUnexpectedBox(bool fail);
    static int unexpectedCount();
    // Clears the queue, the records and the count (not the switch).
    static void resetSeam();
};

} // namespace platform
