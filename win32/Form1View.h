// The main window of kwarino.exe in plain Win32: the controls of the window's
// table at their places, and every event forwarded to TForm1's handlers.
#pragma once

#include "form/Layout.h"
#include "form/View.h"
#include "win32/Fonts.h"
#include "win32/Hints.h"
#include "win32/ProgressWindow.h"
#include "win32/Theme.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace form {
class TForm1;
}

namespace win32 {

// The number of the menu item "ヘルプ(&H)" in WM_COMMAND.
constexpr int Help1CommandId = 900;
// A control's window ID: this base plus its number in the table, so each has
// a unique, stable ID other programs may look for.
constexpr int ControlIdBase = 1000;

class Form1View final : public form::View {
public:
    // Creates the window and its controls, hidden.
    explicit Form1View(HINSTANCE instance);
    ~Form1View() override;
    Form1View(const Form1View&) = delete;
    Form1View& operator=(const Form1View&) = delete;

    // The handlers the events go to; until then events are dropped.
    void attach(form::TForm1& form) { form_ = &form; }
    void show(int showCommand);

    HWND window() const { return window_; }
    HWND control(form::ControlId id) const { return controls_[id]; }
    HWND tooltip() const { return hints_.tooltip(); }
    HWND progressWindow() const { return progress_.window(); }

    std::string text(form::ControlId control) const override;
    void setText(form::ControlId control, const std::string& text) override;
    bool isEnabled(form::ControlId control) const override;
    void setEnabled(form::ControlId control, bool enabled) override;
    void setVisible(form::ControlId control, bool visible) override;
    void setFocus(form::ControlId control) override;
    void plainBox(const std::string& text) override;
    form::Answer questionBox(const std::string& caption, const std::string& text) override;
    void errorBox(const std::string& text) override;
    form::Answer retryBox(const std::string& text) override;
    void beep() override;
    bool openDialog(form::OpenDialogState& dialog) override;
    void keepPainted() override;
    bool surveyProgress(std::size_t entriesSoFar) override;
    void endSurveyProgress() override;
    void closeWindow() override;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void command(int id, int code);
    // Files dropped from the file manager go to the handlers.
    void dropFiles(HDROP drop);
    void createControls();
    // Places, sizes and fonts for the current resolution.
    void layOut();
    int indexOf(HWND control) const;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    ProgressWindow progress_;
    Hints hints_;
    std::vector<HWND> controls_; // by ControlId
    Fonts fonts_;
    Theme theme_;
    UINT dpi_ = form::DesignDpi;
    form::TForm1* form_ = nullptr;
};

} // namespace win32
