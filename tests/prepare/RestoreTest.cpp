// The restore at close: files back into their subfolders, control files gone.
#include "prepare/Restore.h"
#include "platform/PathRules.h"
#include "platform/System.h"
#include "prepare/Texts.h"
#include "support/ProductNames.h"
#include "support/RequestFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

using namespace testing_support;
using Kind = prepare::RequestOutcome::Kind;
namespace fs = std::filesystem;

namespace {

using testing_support::Ini;
using testing_support::Installer;

class RestoreTest : public ::testing::Test {
protected:
    ProgramFolderFixture f;
    void SetUp() override {
        f.file("Sample.exe", "program");
        f.file(Installer, "installer");
        f.browse("Sample.exe");
    }
    void close() { prepare::restoreOnClose(f.sys, f.state); }
    void controlFile(const std::string& files) {
        f.file(Ini, "[Install]\r\nInstallDir=Sample\r\n[Files]\r\n" + files);
        prepare::recordControlFile(f.sys, f.state);
    }
};

TEST_F(RestoreTest, RequestThenCloseLeavesTheFolderAsFound) {
    f.file("doc/Manual.txt", "manual");
    f.file("doc/img/logo.png", std::string(100000, 'x'));
    f.file(".hidden/cfg", "c");
    const std::string so = "ソフト/表示.txt"; // second bytes 0x5C
    f.file(so, "so");
    auto before = f.tree();
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    ASSERT_TRUE(f.tmp.exists("Sample/表示.txt")) << "relocated";
    ASSERT_TRUE(f.tmp.exists("Sample/logo.png"));
    close();
    EXPECT_EQ(f.tree(), before);
    EXPECT_FALSE(f.tmp.exists("Sample/" + Ini));
}

TEST_F(RestoreTest, ControlFileWithoutInstallDirStays) {
    f.file("a.txt");
    f.file("doc/a.txt");
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started); // asked, answered yes
    close();
    EXPECT_TRUE(f.tmp.exists("Sample/" + Ini));
    EXPECT_TRUE(f.tmp.exists("Sample/doc/a.txt"));
}

TEST_F(RestoreTest, LeftRelocatedOnlyWhereTheCloseWouldMoveAListedFileBack) {
    f.file("doc/Manual.txt", "m");
    fs::create_directories(f.tmp.native("Sample/c.txt"));
    controlFile("Item1=doc\\Manual.txt\r\nItem2=doc\\c.txt\r\n");
    EXPECT_FALSE(prepare::leftRelocated(f.sys, f.logic(Ini))) << "a folder is no moved file";
    f.file("Manual.txt", "m");
    EXPECT_TRUE(prepare::leftRelocated(f.sys, f.logic(Ini)));
    f.file(Ini, "[Install]\r\nTitle=t\r\n[Files]\r\nItem1=doc\\Manual.txt\r\n");
    EXPECT_FALSE(prepare::leftRelocated(f.sys, f.logic(Ini))) << "installed in place";
}

TEST_F(RestoreTest, VanishedControlFileIsPassedOver) {
    prepare::recordControlFile(f.sys, f.state);
    close();
    EXPECT_EQ(f.tree().size(), 2u);
}

TEST_F(RestoreTest, EntriesWithoutBackslashAndMissingFoldersAreLeft) {
    f.file("Manual.txt", "m");
    f.file("b.txt", "b");
    controlFile("Item1=Sample.exe\r\nItem2=gone\\Manual.txt\r\nItem3=" + Ini +
                "\r\nItem4=b.txt\r\n");
    close();
    EXPECT_EQ(f.tmp.read("Sample/Manual.txt"), "m") << "its subfolder no longer exists";
    EXPECT_TRUE(f.tmp.exists("Sample/b.txt"));
    EXPECT_FALSE(f.tmp.exists("Sample/" + Ini));
}

TEST_F(RestoreTest, ExistingTargetIsNeverReplaced) {
    f.file("a.txt", "top");
    f.file("doc/a.txt", "below");
    // Two files of the list with the same bytes: the top one is no leftover
    // of a move.
    f.file("b.txt", "same");
    f.file("doc/b.txt", "same");
    // Nor is one name of a file that also stands below.
    f.file("doc/h.txt", "h");
    fs::create_hard_link(f.tmp.native("Sample/doc/h.txt"), f.tmp.native("Sample/h.txt"));
    // A folder where a file waits.
    f.tmp.mkdir("Sample/c.txt");
    controlFile("Item1=doc\\a.txt\r\nItem2=B.txt\r\nItem3=doc\\b.txt\r\nItem4=doc\\h.txt\r\n"
                "Item5=doc\\c.txt\r\n");
    // Each stays at the top and is said, but for the list's own B.txt.
    std::vector<std::string> said;
    for (const prepare::NotBack& file : prepare::restoreOnClose(f.sys, f.state).notBack)
        said.push_back(file.relative);
    EXPECT_EQ(said, (std::vector<std::string>{"doc\\a.txt", "doc\\h.txt", "doc\\c.txt"}));
    EXPECT_EQ(f.tmp.read("Sample/a.txt"), "top");
    EXPECT_EQ(f.tmp.read("Sample/doc/a.txt"), "below");
    EXPECT_TRUE(f.tmp.exists("Sample/b.txt"));
    EXPECT_EQ(f.tmp.read("Sample/doc/b.txt"), "same");
    EXPECT_TRUE(f.tmp.exists("Sample/h.txt") && f.tmp.exists("Sample/doc/h.txt"));
}

TEST_F(RestoreTest, HostileEntriesTouchNothingOutsideTheFolder) {
    f.tmp.write("victim.txt", "v");
    f.tmp.mkdir("Sample/doc");
    f.file("victim.txt", "inside");
    f.file("x.txt", "x");
    f.file("y.txt", "y");
    controlFile("Item1=..\\victim.txt\r\n"
                "Item2=doc\\..\\..\\victim.txt\r\n"
                "Item3=\\tmp\\x.txt\r\n"
                "Item4=C:\\x.txt\r\n"
                "Item5=doc\\\\y.txt\r\n"
                "Item6=doc\\" +
                Ini +
                "\r\n"
                "Item7=doc\\.\\y.txt\r\n");
    auto outside = f.tmp.read("victim.txt");
    close();
    EXPECT_EQ(f.tmp.read("victim.txt"), outside);
    EXPECT_EQ(f.tmp.read("Sample/victim.txt"), "inside");
    EXPECT_TRUE(f.tmp.exists("Sample/x.txt"));
    EXPECT_TRUE(f.tmp.exists("Sample/y.txt"));
    EXPECT_FALSE(f.tmp.exists("Sample/doc/" + Ini));
    EXPECT_FALSE(f.tmp.exists("Sample/" + Ini)) << "deleted after its moves";
}

TEST_F(RestoreTest, FileNamedLikeTheControlFileInOtherLettersStaysWhereItIs) {
    // One name with the control file to Windows and to the installer: the
    // folder is not relocated.
    std::string lower = Ini, upper = Ini;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    f.file("sub/" + lower, "mine");
    f.file("sub/" + upper + ".bak", "b");
    auto before = f.tree();
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    EXPECT_EQ(f.ui.questions, 1);
    close();
    before[Ini] = f.iniBytes();
    EXPECT_EQ(f.tree(), before);
}

TEST_F(RestoreTest, MovesAcrossDevicesCopyUnderATemporaryName) {
    f.sys.otherDevice = true;
    f.file("doc/Manual.txt", "manual");
    f.file("doc/img/logo.png", std::string(300000, 'x'));
    auto before = f.tree();
    // Each copy gets the file's name by a rename, only once it is whole.
    std::vector<std::string> renamedWhole;
    f.sys.fail = [&](Operation op, const std::string& path) {
        const std::string name(pathrules::fileNamePart(path));
        const auto temporary = platform::parseTemporaryName(name);
        if (op == Operation::rename && temporary && temporary->target != Ini)
            renamedWhole.push_back(f.sys.readFile(path).value_or("?"));
        return false;
    };
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    EXPECT_EQ(f.tmp.read("Sample/logo.png"), before["doc/img/logo.png"]);
    EXPECT_FALSE(f.tmp.exists("Sample/doc/img/logo.png"));
    close();
    EXPECT_EQ(f.tree(), before);
    std::sort(renamedWhole.begin(), renamedWhole.end());
    EXPECT_EQ(renamedWhole,
              (std::vector<std::string>{"manual", "manual", before["doc/img/logo.png"],
                                        before["doc/img/logo.png"]}));
}

TEST_F(RestoreTest, MovesCutShortByAKillAreFinishedAtClose) {
    f.file("doc/Manual.txt", "manual");
    f.file("doc/img/logo.png", "logo");
    f.file("doc/x.txt", "x");
    auto before = f.tree();
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    // Killed while copying back (a partial copy under a temporary name), and
    // between a copy's rename and the deletion of its source.
    f.file("doc/img/" + leftoverTemporaryName("logo.png"), "lo");
    f.file(leftoverTemporaryName("x.txt"), "x");
    f.file("doc/Manual.txt", "manual");
    f.file("x.txt.other", "not the same");
    // The copies are compared a piece at a time, never read whole.
    f.sys.fail = [](Operation op, const std::string& path) {
        return op == Operation::readFile && path.find(Ini) == std::string::npos;
    };
    close();
    before["x.txt.other"] = "not the same";
    EXPECT_EQ(f.tree(), before);

    // A leftover copy that cannot be deleted stays, and is said.
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    f.file("doc/Manual.txt", "manual");
    f.sys.fail = [&](Operation op, const std::string& path) {
        return op == Operation::removeFile && path == f.logic("Manual.txt");
    };
    EXPECT_EQ(prepare::restoreOnClose(f.sys, f.state).notBack,
              (std::vector<prepare::NotBack>{{f.state.ProgramFolder, "doc\\Manual.txt"}}));
}

TEST(SafeRelativePath, OnlyPathsThatStayInside) {
    EXPECT_TRUE(prepare::isSafeRelativePath("doc\\a.txt"));
    EXPECT_TRUE(prepare::isSafeRelativePath(prepare::sjis("ソ\\表\\..txt")));
    EXPECT_FALSE(prepare::isSafeRelativePath(""));
    EXPECT_FALSE(prepare::isSafeRelativePath("..\\a"));
    EXPECT_FALSE(prepare::isSafeRelativePath("a\\..\\..\\b"));
    EXPECT_FALSE(prepare::isSafeRelativePath("\\a\\b"));
    EXPECT_FALSE(prepare::isSafeRelativePath("C:\\a"));
    EXPECT_FALSE(prepare::isSafeRelativePath("a\\"));
    EXPECT_FALSE(prepare::isSafeRelativePath("a\\\\b"));
    // A separator to every system, and parts Windows reads without their end.
    EXPECT_FALSE(prepare::isSafeRelativePath("sub/..\\..\\Out\\a.txt"));
    EXPECT_FALSE(prepare::isSafeRelativePath("sub\\" + Ini + "."));
    EXPECT_FALSE(prepare::isSafeRelativePath("sub \\a.txt"));
    // A colon right after a lead byte is no second byte: still a colon.
    EXPECT_FALSE(prepare::isSafeRelativePath("a\\\xE0:b"));
}

TEST_F(RestoreTest, LongValuesAreReadWhole) {
    std::string deep;
    for (int i = 0; i < 10; ++i)
        deep += std::string(250, 'a' + i) + "/";
    f.file(deep + "f.txt", "deep");
    auto before = f.tree();
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    ASSERT_TRUE(f.tmp.exists("Sample/f.txt"));
    close();
    EXPECT_EQ(f.tree(), before);
}

TEST_F(RestoreTest, KilledToolIsRecoveredByTheNextRun) {
    f.file("doc/Manual.txt", "m");
    f.file("doc/x/y.txt", "y");
    auto before = f.tree();
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    // The tool dies here: no restore. A new run makes a request on the folder.
    prepare::RunState next;
    f.state = next;
    ASSERT_EQ(f.run(f.texts("Sample.exe", "b")).kind, Kind::Started);
    EXPECT_EQ(f.ui.questions, 0);
    close();
    EXPECT_EQ(f.tree(), before);
}

TEST_F(RestoreTest, ToolKilledWhileWritingTheControlFileLeavesNothingBehind) {
    f.file("doc/Manual.txt", "m");
    auto before = f.tree();
    f.file(leftoverTemporaryName(Ini), "[Install]\r\nInsta");
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    EXPECT_EQ(f.iniBytes().find(leftoverTemporaryName(Ini)), std::string::npos)
        << "not listed as a file of the software";
    close();
    EXPECT_EQ(f.tree(), before);
}

TEST_F(RestoreTest, ControlFileThatExistedBeforeWithInstallDirIsDeleted) {
    f.file("Manual.txt", "m");
    f.tmp.mkdir("Sample/doc");
    f.file(Ini, "[Install]\r\nInstallDir=Sample\r\n[Files]\r\nItem1=doc\\Manual.txt\r\n");
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    close();
    EXPECT_EQ(f.tmp.read("Sample/doc/Manual.txt"), "m");
    EXPECT_FALSE(f.tmp.exists("Sample/" + Ini));
}

} // namespace
