// The window as data: every control with its place, caption, font, colour,
// start state, hint and accessible name, in creation (and tab) order.
#include "form/Layout.h"
#include "form/Unit1.h"
#include "form/WindowTexts.h"
#include "prepare/ControlFile.h"
#include "prepare/Texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using form::Colour;
using form::Kind;
using namespace window_text;

struct Expected {
    const char* name;
    Kind kind;
    form::Rect place;
    const char* caption;
    int fontHeight; // 0: the window's own
    bool bold;
    Colour colour;
    bool enabled;
    bool visible;
    const char* hint;
    const char* accessibleName;
};

constexpr Colour Text = Colour::WindowText;

// clang-format off
const std::vector<Expected> Window = {
    {"Label1", Kind::Label, {9, 9, 194, 17}, ProgramFileLabel, 17, true, Colour::Red, true, true, "", ""},
    {"Label2", Kind::Label, {9, 69, 96, 17}, ApplicationLabel, 17, true, Colour::Red, true, true, "", ""},
    {"Label3", Kind::Label, {9, 130, 313, 36}, StartMenuLabel, 17, true, Colour::Red, true, true, "", ""},
    {"Label4", Kind::Label, {52, 173, 30, 14}, NameColumnLabel, 14, true, Colour::Navy, true, true, "", ""},
    {"Label5", Kind::Label, {208, 173, 67, 14}, FileColumnLabel, 14, true, Colour::Navy, true, true, "", ""},
    {"Label6", Kind::Label, {9, 293, 195, 17}, ProgressLabel, 17, true, Colour::Red, true, false, "", ""},
    {"BtnSansho", Kind::Button, {329, 35, 45, 27}, Browse, 0, false, Text, true, true, "", "プログラムファイルの参照"},
    {"EditProgramFile", Kind::Field, {17, 35, 296, 22}, "", 14, false, Text, true, true, ProgramFileHint, "プログラムファイルの名前"},
    {"EditApplication", Kind::Field, {17, 95, 296, 22}, "", 14, false, Text, true, true, ApplicationHint, "ソフトの名前"},
    {"BitBtnInstall", Kind::Button, {259, 278, 105, 36}, Install, 17, true, Colour::Green, false, true, "", "インストール"},
    {"EditStartMenu1", Kind::Field, {9, 191, 131, 22}, "", 14, false, Text, false, true, StartMenuNameHint, "名前 1"},
    {"EditStartMenu2", Kind::Field, {9, 217, 131, 22}, "", 14, false, Text, false, true, StartMenuNameHint, "名前 2"},
    {"EditStartMenu3", Kind::Field, {9, 243, 131, 22}, "", 14, false, Text, false, true, StartMenuNameHint, "名前 3"},
    {"EditStartMenuFile1", Kind::Field, {147, 191, 175, 22}, "", 14, false, Text, false, true, StartMenuFileHint, "ファイル名 1"},
    {"EditStartMenuFile2", Kind::Field, {147, 217, 175, 22}, "", 14, false, Text, false, true, StartMenuFileHint, "ファイル名 2"},
    {"EditStartMenuFile3", Kind::Field, {147, 243, 175, 22}, "", 14, false, Text, false, true, StartMenuFileHint, "ファイル名 3"},
    {"BtnStartMenuSansho1", Kind::Button, {329, 191, 45, 21}, Browse, 0, false, Text, false, true, "", "ファイル名 1 の参照"},
    {"BtnStartMenuSansho2", Kind::Button, {329, 217, 45, 21}, Browse, 0, false, Text, false, true, "", "ファイル名 2 の参照"},
    {"BtnStartMenuSansho3", Kind::Button, {329, 243, 45, 21}, Browse, 0, false, Text, false, true, "", "ファイル名 3 の参照"},
};
// clang-format on

TEST(Layout, EveryControlInCreationOrder) {
    const auto& table = form::controls();
    ASSERT_EQ(table.size(), Window.size());
    for (std::size_t i = 0; i < Window.size(); ++i) {
        const Expected& e = Window[i];
        const form::ControlEntry& c = table[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(c.name, e.name);
        EXPECT_EQ(c.kind, e.kind);
        EXPECT_EQ(c.place.left, e.place.left);
        EXPECT_EQ(c.place.top, e.place.top);
        EXPECT_EQ(c.place.width, e.place.width);
        EXPECT_EQ(c.place.height, e.place.height);
        EXPECT_EQ(c.caption, e.caption);
        EXPECT_EQ(c.fontHeight, e.fontHeight);
        EXPECT_EQ(c.bold, e.bold);
        EXPECT_EQ(c.colour, e.colour);
        EXPECT_EQ(c.enabled, e.enabled);
        EXPECT_EQ(c.visible, e.visible);
        EXPECT_EQ(c.wordWrap, c.name == "Label3");
        EXPECT_EQ(c.hint, e.hint);
        EXPECT_EQ(c.accessibleName, e.accessibleName);
        EXPECT_EQ(form::id(c.role, c.row), i);
    }
}

TEST(Layout, WindowTitleFontColoursProgressTextsAndFileNames) {
    EXPECT_STREQ(prepare::ControlFileName, ControlFileName);
    EXPECT_STREQ(prepare::InstallerName, InstallerName);
    EXPECT_STREQ(form::ReadMeName, ReadMeName);
    EXPECT_STREQ(prepare::text::ApplicationTitle, Title);
    EXPECT_STREQ(prepare::text::HelpMenu, HelpMenu);
    EXPECT_STREQ(form::FontFamily, "ＭＳ Ｐゴシック");
    EXPECT_EQ(form::DefaultFontHeight, 13);
    EXPECT_EQ(form::ClientWidth, 385);
    EXPECT_EQ(form::ClientHeight, 323);
    EXPECT_EQ(form::HintHidePause, 120000);
    const auto rgb = [](Colour c) {
        const form::Rgb v = form::rgb(c);
        return std::vector<int>{v.r, v.g, v.b};
    };
    EXPECT_EQ(rgb(Colour::Red), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(rgb(Colour::Navy), (std::vector<int>{0, 0, 128}));
    EXPECT_EQ(rgb(Colour::Green), (std::vector<int>{0, 128, 0}));
    EXPECT_EQ(rgb(Colour::WindowText), (std::vector<int>{-1, -1, -1}));
    EXPECT_EQ(prepare::text::surveyProgress(1234), SurveyProgress1234);
    EXPECT_STREQ(prepare::text::SurveyCancel, SurveyCancel);
}

TEST(Layout, StartMenuTableIsNamesThenFilesThenButtons) {
    std::vector<std::string> names;
    for (form::ControlId i : form::startMenuRows())
        names.push_back(form::controls().at(i).name);
    EXPECT_EQ(names, (std::vector<std::string>{"EditStartMenu1", "EditStartMenu2", "EditStartMenu3",
                                               "EditStartMenuFile1", "EditStartMenuFile2",
                                               "EditStartMenuFile3", "BtnStartMenuSansho1",
                                               "BtnStartMenuSansho2", "BtnStartMenuSansho3"}));
}

} // namespace
