#include "form/Layout.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace form {
namespace {

const char* const ProgramFileHint =
    "「参照」ボタンを押して、インストールする\rプログラムファイル(*.exe)を指定してください。";
const char* const ApplicationHint = "ソフトの名前を入力します。（例\u3000クワリノ）";
const char* const StartMenuNameHint =
    "プログラムファイル以外でスタートメニューに追加したい\rショートカットがあればその名前を入力"
    "します。（例\u3000初めにお読みください）\r空欄の場合はファイル名を名前とします。";
const char* const StartMenuFileHint = "「参照」ボタンを押して、プログラムファイル以外で\rスタートメ"
                                      "ニューに追加したいファイルを指定してください。";

const char* const ProgramFileLabel = "プログラムファイルの名前";
const char* const ApplicationLabel = "ソフトの名前";
const char* const NameColumnLabel = "名前";
const char* const FileColumnLabel = "ファイル名";
const char* const Browse = "参照";
const char* const Install = "インストール";

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
    c.caption = Browse;
    c.enabled = row == 0;
    c.accessibleName = std::move(accessibleName);
    return c;
}

std::vector<ControlEntry> makeControls() {
    std::vector<ControlEntry> t;
    t.push_back(label("Label1", Role::Label1, {9, 9, 194, 17}, ProgramFileLabel, 17, Colour::Red));
    t.push_back(label("Label2", Role::Label2, {9, 69, 96, 17}, ApplicationLabel, 17, Colour::Red));
    t.push_back(label("Label3", Role::Label3, {9, 130, 313, 36},
                      "スタートメニューに追加するショートカット（プログラムファイル以外）", 17,
                      Colour::Red));
    t.back().wordWrap = true;
    t.push_back(
        label("Label4", Role::Label4, {52, 173, 30, 14}, NameColumnLabel, 14, Colour::Navy));
    t.push_back(
        label("Label5", Role::Label5, {208, 173, 67, 14}, FileColumnLabel, 14, Colour::Navy));
    t.push_back(label("Label6", Role::Label6, {9, StartMenuRowsBottom + 24, 195, 17},
                      "インストールの準備中・・・", 17, Colour::Red));
    t.back().visible = false;

    t.push_back(
        button("BtnSansho", Role::BtnSansho, 0, {329, 35, 45, 27}, "プログラムファイルの参照"));
    t.push_back(field("EditProgramFile", Role::EditProgramFile, 0, {17, 35, 296, 22},
                      ProgramFileHint, ProgramFileLabel));
    t.push_back(field("EditApplication", Role::EditApplication, 0, {17, 95, 296, 22},
                      ApplicationHint, ApplicationLabel));

    ControlEntry install = button("BitBtnInstall", Role::BitBtnInstall, 0,
                                  {259, StartMenuRowsBottom + 9, 105, 36}, Install);
    install.caption = Install;
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
                          {9, top(row), 131, 22}, StartMenuNameHint,
                          numbered(NameColumnLabel, row)));
    for (int row = 1; row <= StartMenuRowCount; ++row)
        t.push_back(field("EditStartMenuFile" + std::to_string(row), Role::EditStartMenuFile, row,
                          {147, top(row), 175, 22}, StartMenuFileHint,
                          numbered(FileColumnLabel, row)));
    for (int row = 1; row <= StartMenuRowCount; ++row)
        t.push_back(button("BtnStartMenuSansho" + std::to_string(row), Role::BtnStartMenuSansho,
                           row, {329, top(row), 45, 21},
                           numbered(FileColumnLabel, row) + " の参照"));
    return t;
}

} // namespace

std::string surveyProgressText(std::size_t entriesSoFar) {
    return "フォルダのファイルを調べています…\r" + std::to_string(entriesSoFar) + " 個";
}

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
