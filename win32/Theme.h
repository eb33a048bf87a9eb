// The system's look as the window follows it: the push button the window
// draws itself, with the visual style or the classic bevel, and the colours of
// high contrast.
#pragma once

#include "form/Layout.h"

#include <windows.h>

#include <string>

namespace win32 {

// A coloured text's colour: as tabled; in high contrast the system's colour for
// text on a button face; the system's grey while disabled.
COLORREF textColour(form::Colour colour, bool highContrast, bool disabled);

// The system's look for one window: its theme data and high contrast.
class Theme {
public:
    Theme();
    ~Theme();
    Theme(const Theme&) = delete;
    Theme& operator=(const Theme&) = delete;

    // After a change of theme, colours or settings: high contrast is read anew
    // and the theme data reopened when next drawn.
    void refresh();
    // The user has high contrast on: coloured texts take the system's colours.
    bool highContrast() const { return highContrast_; }
    // Draws an owner-drawn push button in its state: frame and face, its
    // `caption` in `colour`, and the focus rectangle.
    void drawButton(const DRAWITEMSTRUCT& item, const std::wstring& caption, form::Colour colour);

private:
    // Draws the frame and face of an owner-drawn push button in its state with
    // the theme and gives the place of its caption; false, with nothing drawn,
    // while no theme is active.
    bool drawPushButton(const DRAWITEMSTRUCT& item, RECT& content);

    HANDLE data_ = nullptr; // the button's theme data, opened when first drawn
    bool highContrast_ = false;
};

} // namespace win32
