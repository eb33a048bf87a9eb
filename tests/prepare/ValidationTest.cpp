// The checks of a request: order, messages, focus, and the program values.
#include "prepare/Validation.h"
#include "form/WindowTexts.h"
#include "platform/Cp932.h"
#include "prepare/Texts.h"
#include "support/ProductNames.h"
#include "support/RequestFixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

using namespace testing_support;
using prepare::Field;
namespace text = window_text;

namespace {

using testing_support::Installer;

class ValidationTest : public ::testing::Test {
protected:
    ProgramFolderFixture f;
    void SetUp() override {
        f.file("Sample.exe");
        f.file(Installer);
        f.file("doc/Manual.txt");
        f.browse("Sample.exe");
    }
    std::optional<prepare::Rejection> check(const prepare::RequestTexts& t) {
        return prepare::validateRequest(f.sys, f.state, t);
    }
};

// `message` as the user reads it (UTF-8).
void expectRejected(const std::optional<prepare::Rejection>& r, const std::string& message,
                    Field focus, int row = 0) {
    ASSERT_TRUE(r) << "the request passed";
    EXPECT_EQ(platform::utf8FromCp932(r->message), message);
    EXPECT_EQ(r->focus, focus);
    EXPECT_EQ(r->row, row);
}

TEST_F(ValidationTest, RequiredFieldsInOrder) {
    expectRejected(check(f.texts("", "")), text::NoProgramFile, Field::ProgramFile);
    expectRejected(check(f.texts("Sample.exe", "")), text::NoApplication, Field::Application);
    EXPECT_FALSE(check(f.texts("Sample.exe", "サンプル")));
}

TEST_F(ValidationTest, ProgramFileMustExistAsAFileOfDosTime) {
    expectRejected(check(f.texts("Missing.exe", "a")), text::ProgramFileMissing,
                   Field::ProgramFile);
    expectRejected(check(f.texts("doc", "a")), text::ProgramFileMissing, Field::ProgramFile);
    // A file dated before 1980 counts as missing.
    f.file("Old.exe");
#ifdef _WIN32
    struct _utimbuf old {
        0, 0
    };
    ASSERT_EQ(_wutime(f.tmp.native("Sample/Old.exe").c_str(), &old), 0);
#else
    struct utimbuf old {
        0, 0
    };
    ASSERT_EQ(utime(f.tmp.native("Sample/Old.exe").c_str(), &old), 0);
#endif
    expectRejected(check(f.texts("Old.exe", "a")), text::ProgramFileMissing, Field::ProgramFile);
}

TEST_F(ValidationTest, StartMenuRows) {
    f.file("Other/x.txt");
    // Outside the program folder; the first faulty row is the one reported.
    auto outside =
        f.texts("Sample.exe", "a", {{"", ""}, {"n", "../Other/x.txt"}, {"m", "nope.txt"}});
    outside.startMenuFiles[1] = f.tmp.logic("Other/x.txt");
    expectRejected(check(outside), text::StartMenuFileOutsideFolder, Field::StartMenuFile, 2);
    expectRejected(check(f.texts("Sample.exe", "a", {{"", "nope.txt"}, {"m", "nope2.txt"}})),
                   text::StartMenuFileMissing, Field::StartMenuFile, 1);
    // A pattern whose first match is a folder (the folder's own ".") names no
    // file.
    expectRejected(check(f.texts("Sample.exe", "a", {{"", "*"}})), text::StartMenuFileMissing,
                   Field::StartMenuFile, 1);
    expectRejected(check(f.texts("Sample.exe", "a", {{"", "doc/*.*"}})), text::StartMenuFileMissing,
                   Field::StartMenuFile, 1);
    // A name without a file is ignored; a file in a subfolder passes.
    EXPECT_FALSE(check(f.texts("Sample.exe", "a", {{"名前だけ", ""}, {"", "doc/Manual.txt"}})));
}

TEST_F(ValidationTest, StartMenuFolderComparisonIsCaseSensitive) {
    auto t = f.texts("Sample.exe", "a", {{"", "doc/Manual.txt"}});
    std::string file = *t.startMenuFiles[0];
    const std::size_t at = file.rfind("Sample\\doc");
    file.replace(at, 6, "SAMPLE");
    t.startMenuFiles[0] = file;
    expectRejected(check(t), text::StartMenuFileOutsideFolder, Field::StartMenuFile, 1);
}

TEST_F(ValidationTest, InstallerMustBePresentAndIsNotTheProgram) {
    expectRejected(check(f.texts(Installer, "a")), text::ProgramFileIsInstaller,
                   Field::ProgramFile);
    std::filesystem::remove(f.tmp.native("Sample/" + Installer));
    // Without the installer that check comes first, and the focus stays.
    f.file("Inst2.exe");
    expectRejected(check(f.texts("Sample.exe", "a")), text::InstallerMissing, Field::None);
}

TEST_F(ValidationTest, TypedTextGivesTheProgramValues) {
    prepare::RunState fresh;
    f.state = fresh; // no browse was made
    ASSERT_FALSE(check(f.texts("Sample.exe", "a")));
    EXPECT_EQ(f.state.ProgramFileName, f.logic("Sample.exe"));
    EXPECT_EQ(f.state.ProgramFolder, f.logic(""));
    EXPECT_EQ(f.state.ProgramFolderLength, f.logic("").size());

    // Typed over a browse of another folder: the field's file wins.
    f.tmp.write("Other/Prog.exe");
    f.tmp.write("Other/" + Installer);
    auto t = f.texts("Sample.exe", "a");
    t.programFile = f.tmp.logic("Other/Prog.exe");
    ASSERT_FALSE(check(t));
    EXPECT_EQ(f.state.ProgramFolder, f.tmp.logic("Other") + "\\");
}

TEST_F(ValidationTest, WildcardResolvesToTheMatchedFile) {
    f.state = prepare::RunState{};
    ASSERT_FALSE(check(f.texts("Samp*.exe", "a")));
    EXPECT_EQ(f.state.ProgramFileName, f.logic("Sample.exe"));
    // A pattern that matches only the installer is still the installer.
    std::filesystem::remove(f.tmp.native("Sample/Sample.exe"));
    std::string pattern = Installer;
    pattern[pattern.size() - 2] = '?'; // "Inst.e?e"
    expectRejected(check(f.texts(pattern, "a")), text::ProgramFileIsInstaller, Field::ProgramFile);
}

TEST_F(ValidationTest, TextsThatCannotBeWrittenFaithfully) {
    auto t = f.texts("Sample.exe", "a", {{"x", "doc/Manual.txt"}});
    t.application = std::nullopt; // held a character code page 932 cannot hold
    expectRejected(check(t), std::string(text::FieldApplication) + text::Unwritable,
                   Field::Application);

    t = f.texts("Sample.exe", "a\r\n[Files]", {{"x", "doc/Manual.txt"}});
    expectRejected(check(t), std::string(text::FieldApplication) + text::Unwritable,
                   Field::Application);

    t = f.texts("Sample.exe", "a", {{"", ""}, {"x\ny", "doc/Manual.txt"}});
    expectRejected(check(t), std::string(text::FieldStartMenuName2) + text::Unwritable,
                   Field::StartMenuName, 2);
    // A bad name in a row without a file does not matter.
    t = f.texts("Sample.exe", "a", {{"x\ny", ""}});
    EXPECT_FALSE(check(t));

    t = f.texts("Sample.exe", "a", {{"", "doc/Manual.txt"}});
    t.startMenuFiles[0] = std::nullopt;
    expectRejected(check(t), std::string(text::FieldStartMenuFile1) + text::Unwritable,
                   Field::StartMenuFile, 1);
    t = f.texts("Sample.exe", "a");
    t.programFile = std::nullopt;
    expectRejected(check(t), std::string(text::FieldProgramFile) + text::Unwritable,
                   Field::ProgramFile);
    // Names the group and its shortcuts cannot have, checked after the texts
    // above. ソ, 表, 能 end in 0x5C; a comma is fine; an unused row is not read.
    for (const char c : std::string("\\/:*?\"<>|"))
        expectRejected(check(f.texts("Sample.exe", std::string("a") + c)),
                       std::string(text::FieldApplication) + text::ForbiddenInNames,
                       Field::Application);
    t = f.texts("Sample.exe", "a",
                {{"x|y", ""}, {"", "doc/Manual.txt"}, {"A/B", "doc/Manual.txt"}});
    expectRejected(check(t), std::string(text::FieldStartMenuName3) + text::ForbiddenInNames,
                   Field::StartMenuName, 3);
    t.startMenuFiles[1] = std::nullopt;
    expectRejected(check(t), std::string(text::FieldStartMenuFile2) + text::Unwritable,
                   Field::StartMenuFile, 2);
    EXPECT_FALSE(check(f.texts("Sample.exe", "ソ表能,A", {{"ソ表能", "doc/Manual.txt"}})));
    // Names Windows keeps for devices, and dots only; a row without a file is not read.
    for (const char* name : {"CON", "com9", "lpt1 .txt", ".."})
        expectRejected(check(f.texts("Sample.exe", name)),
                       std::string(text::FieldApplication) + text::ReservedInNames,
                       Field::Application);
    t = f.texts("Sample.exe", "a", {{"CON", ""}, {"nul.txt", "doc/Manual.txt"}});
    expectRejected(check(t), std::string(text::FieldStartMenuName2) + text::ReservedInNames,
                   Field::StartMenuName, 2);
    for (const char* name : {"ＣＯＮ", "COM0", "LPT10", "CONSOLE", "CONx.txt"})
        EXPECT_FALSE(check(f.texts("Sample.exe", name))) << name;
}

TEST(ControlCharacters, DoubleByteCharactersAreNotControls) {
    EXPECT_TRUE(prepare::hasControlCharacter(std::string("a\0b", 3)));
    EXPECT_TRUE(prepare::hasControlCharacter("a\tb"));
    EXPECT_FALSE(prepare::hasControlCharacter(prepare::sjis("ソフト表示")));
}

} // namespace
