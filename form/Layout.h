// The main window as data: every control with its place, caption, font, colour,
// start state, hint and accessible name, in creation order (which is also the
// tab order of the controls that take the focus). Both windows, Qt and Win32,
// build their controls from this one table; the start-menu rows are made in a
// loop, so a further row is one change of prepare::StartMenuRowCount.
//
// Texts are UTF-8 (prepare/Texts.h holds every one); "\r" in a hint is a line
// break. Positions are client pixels at the design resolution (DesignDpi).
#pragma once

#include "prepare/RunState.h"

#include <cstddef>
#include <string>
#include <vector>

namespace form {

constexpr int StartMenuRowCount = prepare::StartMenuRowCount;
// The rows lie this far apart from the first one's top; the progress text and
// the install button lie below the last row, and the window grows with them.
constexpr int StartMenuRowTop = 191;
constexpr int StartMenuRowPitch = 26;
constexpr int StartMenuRowsBottom = StartMenuRowTop + StartMenuRowPitch * StartMenuRowCount;

constexpr int ClientWidth = 385;
constexpr int ClientHeight = StartMenuRowsBottom + 54;
// The resolution the places and font heights are drawn for; others scale them.
constexpr int DesignDpi = 96;
// How long a hint stays up unless the pointer leaves its field.
constexpr int HintHidePause = 120000;

constexpr const char* FontFamily = "ＭＳ Ｐゴシック";
constexpr int DefaultFontHeight = 13; // the window's own font, regular

enum class Kind { Label, Field, Button };

enum class Colour { WindowText, Red, Navy, Green };

struct Rgb {
    int r, g, b;
};
Rgb rgb(Colour colour); // WindowText: {-1, -1, -1}, the system's colour
// `colour` where its WCAG 2 contrast on `background` is at least 3:1, else the
// same hue and saturation at the nearest HSL lightness, lighter or darker, that
// reaches it.
Rgb readableOn(Rgb colour, Rgb background);

struct Rect {
    int left, top, width, height;
};

// What a control is to the handlers. The start-menu roles come once per row.
enum class Role {
    Label1,
    Label2,
    Label3,
    Label4,
    Label5,
    Label6, // the progress text
    BtnSansho,
    EditProgramFile,
    EditApplication,
    BitBtnInstall,
    EditStartMenu,      // row 1..StartMenuRowCount
    EditStartMenuFile,  // row 1..StartMenuRowCount
    BtnStartMenuSansho, // row 1..StartMenuRowCount
};

struct ControlEntry {
    std::string name; // the member name: "EditStartMenuFile2"
    Role role;
    int row = 0; // 1.. for the start-menu roles, else 0
    Kind kind;
    Rect place;
    std::string caption; // label or button text; fields start empty
    int fontHeight = 0;  // 0: the window's own font
    bool bold = false;
    Colour colour = Colour::WindowText;
    bool enabled = true;                // at start
    bool visible = true;                // at start
    bool wordWrap = false;              // labels only
    std::string hint;                   // empty: none
    std::string accessibleName;         // fields and buttons: what a screen reader says
    std::vector<std::string> alsoShows; // labels: the texts the logic may put there later
};

// Every control in creation order. Index i of this table is the control's
// number everywhere (ControlId).
const std::vector<ControlEntry>& controls();

using ControlId = std::size_t;

// The number of a control by role (and row for the start-menu roles).
ControlId id(Role role, int row = 0);

// The start-menu table of the window: name fields, then file fields, then the
// browse buttons, each in row order.
std::vector<ControlId> startMenuRows();

} // namespace form
