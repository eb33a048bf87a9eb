// The modal windows of kwarino.exe: the three message boxes and the file-open
// dialog, with the seam through which tests answer them (after KeePassXC's
// MessageBox::setNextAnswer and fileDialog()->setNextFileName): a box or dialog
// that finds an answer queued takes it instead of opening a window, and every
// one is recorded, so an in-process test never blocks and still sees what the
// user would have seen.
//
// Texts are UTF-16; "\r" alone is a line break, as the logic writes it.
#pragma once

#include "form/View.h"

#include <windows.h>

#include <string>
#include <vector>

namespace win32 {

enum class BoxKind { Plain, Question, Error, Retry };

// A modal box centred on the screen. Plain: caption the application title, no
// icon, one "OK" (Enter and Escape). Error: the same with a stop icon.
// Question: the given caption, a question mark, "はい(&Y)" (default) and
// "いいえ(&N)" (Escape); closed by its title bar it answers Closed. Retry: a
// stop icon, the system's "再試行" (default) and "キャンセル" (Escape, also
// its close button).
form::Answer showBox(HWND owner, BoxKind kind, const std::wstring& caption,
                     const std::wstring& text);

// What the common file-open dialog gets and gives, in UTF-16.
struct OpenRequest {
    std::wstring filter; // "description|pattern|..."
    std::wstring title;
    std::wstring fileName; // the start choice in, the chosen file out
    int filterIndex = 1;   // 1-based, in and out
};
// GetOpenFileNameW: resizable, no read-only check box, a typed name need not
// exist. true when a file was chosen; a cancel leaves the request unchanged.
bool showOpenDialog(HWND owner, OpenRequest& request);

namespace seam {

struct Shown {
    BoxKind kind;
    std::wstring caption;
    std::wstring text;
};
struct ShownDialog {
    OpenRequest request; // as the dialog would have been opened
};

// The next box takes this answer without a window.
void setNextAnswer(form::Answer answer);
// The next open dialog chooses this file (filter index unchanged), or cancels.
void setNextFileName(const std::wstring& fileName);
void setNextCancel();
// With the switch on, a box or dialog with no answer queued opens no window:
// it is recorded as unexpected and answers Closed (a dialog: cancel).
void setFailOnUnexpected(bool fail);
int unexpectedCount();
const std::vector<Shown>& shownBoxes();
const std::vector<ShownDialog>& shownDialogs();
// Clears the queues, the records and the count (not the switch).
void reset();

} // namespace seam

} // namespace win32
