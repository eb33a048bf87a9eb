// The modal window a long survey shows over the main window: how many entries
// it has met so far, and a button that cancels it.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

class ProgressWindow {
public:
    ProgressWindow() = default;
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // Opens the window over `owner`, which takes no input while it is up, or
    // shows the new `text`; then handles the messages waiting. false once
    // cancelled.
    bool update(HWND owner, HINSTANCE instance, UINT dpi, HFONT font, const std::wstring& text);
    // Gives the owner back its input and closes the window, if up.
    void end(HWND owner);
    // Closes the window, if up, as its owner goes.
    void destroy();
    // Its controls' font, the old one about to be freed.
    void setFont(HFONT font);
    HWND window() const { return window_; }

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HWND text_ = nullptr;
    bool cancelled_ = false;
};

} // namespace win32
