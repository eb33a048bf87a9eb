#include "form/Layout.h"

#include "prepare/Texts.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

namespace form {
namespace {

namespace text = prepare::text;

ControlEntry label(const char* name, Role role, Rect place, const char* caption, int fontHeight,
                   Colour colour) {
    ControlEntry c;
    c.name = name;
    c.role = role;
    c.kind = Kind::Label;
    c.place = place;
    c.caption = caption;
    c.fontHeight = fontHeight;
    c.bold = true;
    c.colour = colour;
    return c;
}

ControlEntry field(std::string name, Role role, int row, Rect place, const char* hint,
                   std::string accessibleName) {
    ControlEntry c;
    c.name = std::move(name);
    c.role = role;
    c.row = row;
    c.kind = Kind::Field;
    c.place = place;
    c.fontHeight = 14;
    c.enabled = row == 0; // the start-menu rows wait for the program file
    c.hint = hint;
    c.accessibleName = std::move(accessibleName);
    return c;
}

ControlEntry button(std::string name, Role role, int row, Rect place, std::string accessibleName) {
    ControlEntry c;
    c.name = std::move(name);
    c.role = role;
    c.row = row;
    c.kind = Kind::Button;
    c.place = place;
    c.caption = text::Browse;
    c.enabled = row == 0;
    c.accessibleName = std::move(accessibleName);
    return c;
}

std::vector<ControlEntry> makeControls() {
    std::vector<ControlEntry> t;
    t.push_back(
        label("Label1", Role::Label1, {9, 9, 194, 17}, text::ProgramFileLabel, 17, Colour::Red));
    t.push_back(
        label("Label2", Role::Label2, {9, 69, 96, 17}, text::ApplicationLabel, 17, Colour::Red));
    t.push_back(
        label("Label3", Role::Label3, {9, 130, 313, 36}, text::StartMenuLabel, 17, Colour::Red));
    t.back().wordWrap = true;
    t.push_back(
        label("Label4", Role::Label4, {52, 173, 30, 14}, text::NameColumnLabel, 14, Colour::Navy));
    t.push_back(
        label("Label5", Role::Label5, {208, 173, 67, 14}, text::FileColumnLabel, 14, Colour::Navy));
    t.push_back(label("Label6", Role::Label6, {9, StartMenuRowsBottom + 24, 195, 17},
                      text::Preparing, 17, Colour::Red));
    t.back().visible = false;
    t.back().alsoShows = {text::WaitingForInstaller};

    t.push_back(
        button("BtnSansho", Role::BtnSansho, 0, {329, 35, 45, 27}, text::ProgramFileBrowseName));
    t.push_back(field("EditProgramFile", Role::EditProgramFile, 0, {17, 35, 296, 22},
                      text::ProgramFileHint, text::ProgramFileLabel));
    t.push_back(field("EditApplication", Role::EditApplication, 0, {17, 95, 296, 22},
                      text::ApplicationHint, text::ApplicationLabel));

    ControlEntry install = button("BitBtnInstall", Role::BitBtnInstall, 0,
                                  {259, StartMenuRowsBottom + 9, 105, 36}, text::Install);
    install.caption = text::Install;
    install.fontHeight = 17;
    install.bold = true;
    install.colour = Colour::Green;
    install.enabled = false;
    t.push_back(install);

    // The start-menu block: the name fields, the file fields, then the browse
    // buttons, each in row order (the window's creation and tab order).
    auto top = [](int row) { return StartMenuRowTop + StartMenuRowPitch * (row - 1); };
    auto numbered = [](const char* text, int row) {
        std::string name = text;
        return name.append(" ").append(std::to_string(row));
    };
    for (int row = 1; row <= StartMenuRowCount; ++row)
        t.push_back(field("EditStartMenu" + std::to_string(row), Role::EditStartMenu, row,
                          {9, top(row), 131, 22}, text::StartMenuNameHint,
                          numbered(text::NameColumnLabel, row)));
    for (int row = 1; row <= StartMenuRowCount; ++row)
        t.push_back(field("EditStartMenuFile" + std::to_string(row), Role::EditStartMenuFile, row,
                          {147, top(row), 175, 22}, text::StartMenuFileHint,
                          numbered(text::FileColumnLabel, row)));
    for (int row = 1; row <= StartMenuRowCount; ++row)
        t.push_back(button("BtnStartMenuSansho" + std::to_string(row), Role::BtnStartMenuSansho,
                           row, {329, top(row), 45, 21},
                           numbered(text::FileColumnLabel, row) + text::RowBrowseNameEnd));
    return t;
}

} // namespace

Rgb rgb(Colour colour) {
    switch (colour) {
    case Colour::Red:
        return {255, 0, 0};
    case Colour::Navy:
        return {0, 0, 128};
    case Colour::Green:
        return {0, 128, 0};
    case Colour::WindowText:
        break;
    }
    return {-1, -1, -1};
}

namespace {

// WCAG's floor for large text, which every coloured caption is.
constexpr double ReadableContrast = 3.0;

// The WCAG 2 relative luminance of an sRGB colour: 0 black, 1 white.
double luminance(Rgb c) {
    auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

// The WCAG 2 contrast ratio of two colours, 1 to 21.
double contrast(Rgb a, Rgb b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct Hsl {
    double h, s, l; // hue in degrees, saturation and lightness 0..1
};

Hsl toHsl(Rgb c) {
    const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
    const double hi = std::max({r, g, b}), lo = std::min({r, g, b}), d = hi - lo;
    const double l = (hi + lo) / 2;
    if (d == 0)
        return {0, 0, l};
    const double h = hi == r ? (g - b) / d : hi == g ? (b - r) / d + 2 : (r - g) / d + 4;
    return {std::fmod(h * 60 + 360, 360), d / (1 - std::abs(2 * l - 1)), l};
}

// The CSS Color 4 conversion, each channel rounded.
Rgb fromHsl(Hsl c) {
    auto channel = [&](int n) {
        const double k = std::fmod(n + c.h / 30, 12);
        const double a = c.s * std::min(c.l, 1 - c.l);
        const double v = c.l - a * std::max(-1.0, std::min({k - 3, 9 - k, 1.0}));
        return static_cast<int>(std::lround(v * 255));
    };
    return {channel(0), channel(8), channel(4)};
}

} // namespace

Rgb readableOn(Rgb colour, Rgb background) {
    if (contrast(colour, background) >= ReadableContrast)
        return colour;
    const Hsl hsl = toHsl(colour);
    // Lightness in steps of 1/510, each moving a channel by one at most; the
    // first step either way that reaches the floor is the least change, so a
    // mid-grey face gets a dark red, not a near-white one.
    const long start = std::lround(hsl.l * 510);
    for (long step = 1; step <= 510; ++step) {
        for (const long l : {start + step, start - step}) {
            if (l < 0 || l > 510)
                continue;
            const Rgb shade = fromHsl({hsl.h, hsl.s, l / 510.0});
            if (contrast(shade, background) >= ReadableContrast)
                return shade;
        }
    }
    return colour; // not reached: white or black reads at 3:1 on any face
}

const std::vector<ControlEntry>& controls() {
    static const std::vector<ControlEntry> table = makeControls();
    return table;
}

ControlId id(Role role, int row) {
    const std::vector<ControlEntry>& table = controls();
    for (ControlId i = 0; i < table.size(); ++i)
        if (table[i].role == role && table[i].row == row)
            return i;
    throw std::out_of_range("no such control");
}

std::vector<ControlId> startMenuRows() {
    std::vector<ControlId> rows;
    for (Role role : {Role::EditStartMenu, Role::EditStartMenuFile, Role::BtnStartMenuSansho})
        for (int row = 1; row <= StartMenuRowCount; ++row)
            rows.push_back(id(role, row));
    return rows;
}

} // namespace form
