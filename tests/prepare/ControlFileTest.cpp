// The control file as written through whole requests, read back from its bytes.
#include "prepare/ControlFile.h"
#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "prepare/Texts.h"
#include "support/IniText.h"
#include "support/ProductNames.h"
#include "support/RequestFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_support;
using Kind = prepare::RequestOutcome::Kind;
using Lines = std::vector<std::string>;

namespace {

using testing_support::Ini;
using testing_support::Installer;

// Sample.exe, Inst.exe and doc\Manual.txt, surveyed in that order.
void sampleOrder(FaultySystem& sys) {
    auto rank = [](const platform::DirEntry& e) {
        static const std::vector<std::string> order{"Sample.exe", Installer, "doc"};
        return std::find(order.begin(), order.end(), e.name) - order.begin();
    };
    sys.enumerationOrder = [rank](const auto& a, const auto& b) { return rank(a) < rank(b); };
}

class ControlFileTest : public ::testing::Test {
protected:
    ProgramFolderFixture f;
    void SetUp() override {
        f.file("Sample.exe");
        f.file(Installer);
        f.file("doc/Manual.txt", "manual");
        sampleOrder(f.sys);
        f.browse("Sample.exe");
    }
    std::vector<IniSection> ini(bool* crlf = nullptr) { return parseIniText(f.iniBytes(), crlf); }
};

TEST_F(ControlFileTest, SampleRequestSectionBySection) {
    auto outcome = f.run(f.texts("Sample.exe", "サンプル", {{"説明書", "doc/Manual.txt"}}));
    ASSERT_EQ(outcome.kind, Kind::Started) << outcome.message;

    bool crlf = false;
    auto sections = ini(&crlf);
    EXPECT_TRUE(crlf) << "every line ends in CR LF";
    std::vector<std::string> names;
    for (auto& s : sections)
        names.push_back(s.name);
    EXPECT_EQ(names, (Lines{"Install", "Files", "Group", "Startup", "Desktop", "Uninstall"}));

    EXPECT_EQ(sectionLines(sections, "Install"),
              (Lines{"Title=サンプルのインストール", "InstallDir=Sample", "IsFileDelAfterInst=1"}));
    EXPECT_EQ(sectionLines(sections, "Files"), (Lines{"Item1=Sample.exe", "Item2=" + Installer,
                                                      "Item3=doc\\Manual.txt", "Item4=" + Ini}));
    EXPECT_EQ(
        sectionLines(sections, "Group"),
        (Lines{"Value=1",
               "Info=スタートメニューの「プログラム」内に「サンプル」というグループを作成します。",
               "GroupName=サンプル", "Item1=サンプル,Sample.exe", "Item2=説明書,doc\\Manual.txt",
               "Item3=サンプルのアンインストール," + Installer + ",/r"}));
    EXPECT_EQ(
        sectionLines(sections, "Startup"),
        (Lines{"Value=0",
               "Info="
               "この項目にチェックを入れておくと，Windowsを起動する度に「サンプル」を起動します。",
               "Item1=サンプル,Sample.exe"}));
    EXPECT_EQ(sectionLines(sections, "Desktop"),
              (Lines{"Value=0",
                     "Info="
                     "この項目にチェックを入れておくと，「サンプル」というショートカットをデスクト"
                     "ップに作成します。",
                     "Item1=サンプル,Sample.exe"}));
    EXPECT_EQ(sectionLines(sections, "Uninstall"),
              (Lines{"Key=SampleUnInstall", "Name=サンプル", "Title=サンプルのアンインストール",
                     "AllDelete=2", "RebootDlg=0", "NotAdmin=1", "Modify=1"}));

    // The full-width comma of the Info texts is 0x81 0x43 in the file.
    EXPECT_NE(f.iniBytes().find("\x81\x43"), std::string::npos);
    // And the subfolder's file now stands beside the program file.
    EXPECT_TRUE(f.tmp.exists("Sample/Manual.txt"));
    EXPECT_FALSE(f.tmp.exists("Sample/doc/Manual.txt"));
}

TEST_F(ControlFileTest, SecondRequestKeepsFileListAndUpdatesInPlace) {
    ASSERT_EQ(
        f.run(f.texts("Sample.exe", "サンプル", {{"説明書", "doc/Manual.txt"}, {"", Installer}}))
            .kind,
        Kind::Started);
    auto first = ini();
    f.file("extra.txt"); // not listed again: the old list is what comes back at close
    ASSERT_EQ(f.run(f.texts("Sample.exe", "別名")).kind, Kind::Started);
    auto second = ini();

    EXPECT_EQ(sectionLines(second, "Files"), sectionLines(first, "Files"));
    EXPECT_EQ(sectionLines(second, "Install"),
              (Lines{"Title=別名のインストール", "InstallDir=Sample", "IsFileDelAfterInst=1"}));
    // Items 1 and 2 replaced in place, the first request's items 3 and 4 gone.
    EXPECT_EQ(
        sectionLines(second, "Group"),
        (Lines{"Value=1",
               "Info=スタートメニューの「プログラム」内に「別名」というグループを作成します。",
               "GroupName=別名", "Item1=別名,Sample.exe",
               "Item2=別名のアンインストール," + Installer + ",/r"}));
    // One record for one folder.
    EXPECT_EQ(f.state.CreatedIniFiles(), (Lines{f.logic(Ini)}));
}

TEST_F(ControlFileTest, GroupItemsOfAFileFromBeforeTheRunStay) {
    // Item 4 is its author's; item 3 the run's first request wrote.
    f.file(Ini, "[Files]\r\nItem1=Sample.exe\r\n[Group]\r\nItem3=c\r\nItem4=d\r\n");
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a", {{"", "doc/Manual.txt"}})).kind, Kind::Started);
    ASSERT_EQ(f.run(f.texts("Sample.exe", "b")).kind, Kind::Started);
    const auto group = ini()[1].entries;
    EXPECT_EQ(group.size(), 6u);
    EXPECT_EQ(group[0], (std::pair<std::string, std::string>{"Item4", "d"}));
}

TEST_F(ControlFileTest, StartMenuRowsNumberingAndNames) {
    f.file("doc/readme.txt");
    auto outcome = f.run(f.texts(
        "Sample.exe", "A,B", {{"自分", "Sample.exe"}, {"", "doc/read*.t?t"}, {"説明", Installer}}));
    ASSERT_EQ(outcome.kind, Kind::Started) << outcome.message;
    auto group = sectionLines(ini(), "Group");
    // Row 1 names the program file itself: no item, the numbering closes up.
    // Row 2 has no name: the name of the file its pattern matched is shown,
    // and that file is written, never the pattern. The comma in App stays.
    EXPECT_EQ(
        group,
        (Lines{"Value=1",
               "Info=スタートメニューの「プログラム」内に「A,B」というグループを作成します。",
               "GroupName=A,B", "Item1=A,B,Sample.exe", "Item2=readme.txt,doc\\readme.txt",
               "Item3=説明," + Installer, "Item4=A,Bのアンインストール," + Installer + ",/r"}));
}

TEST(InstallFolderName, LastFolderOfTheProgramFolder) {
    EXPECT_EQ(prepare::installFolderName("C:\\Work\\Sample\\"), "Sample");
    EXPECT_EQ(prepare::installFolderName("D:\\"), "D:");
    EXPECT_EQ(prepare::installFolderName("\\"), "");
    // "ソ" ends in 0x5C: no backslash to cut at inside the name.
    const std::string so = prepare::sjis("ソフト");
    EXPECT_EQ(prepare::installFolderName("C:\\" + so + "\\"), so);
    EXPECT_EQ(prepare::installFolderName("C:\\a\\" + so + "\\"), so);
}

TEST_F(ControlFileTest, UninstallKeyDropsTheLastFourBytes) {
    f.file("prog.bin");
    ASSERT_EQ(f.run(f.texts("prog.bin", "x")).kind, Kind::Started);
    EXPECT_EQ(sectionLines(ini(), "Uninstall").front(), "Key=progUnInstall");
}

TEST_F(ControlFileTest, RootFolderGivesItsDriveStyleName) {
    prepare::RunState state;
    prepare::setProgramFile(state, "D:\\Sample.exe");
    prepare::ControlFileRequest request;
    request.application = "x";
    f.sys.captureWrites = true;
    std::size_t items = 0;
    ASSERT_FALSE(prepare::writeControlFile(f.sys, state, request, items));
    auto sections = parseIniText(f.sys.captured.at("D:\\" + Ini));
    EXPECT_EQ(sectionLines(sections, "Install")[1], "InstallDir=D:");
    EXPECT_EQ(sectionLines(sections, "Files"), (Lines{"Item1=" + Ini}));
}

TEST_F(ControlFileTest, WriteErrorNamesThePathAndLeavesTheOldFile) {
    const std::string old =
        "[Install]\r\nInstallDir=Sample\r\n[Files]\r\nItem1=doc\\Manual.txt\r\n";
    const std::string unicode = "\xFF\xFE" + platform::utf16leFromUtf8(old);
    const std::string expected =
        platform::cp932FromUtf8ForDisplay(f.tmp.native("Sample/" + Ini).string()) +
        prepare::sjis(" に書き込めません");
    // The write fails; or the old file cannot be read (or is Unicode with a
    // lone surrogate, or starts with the UTF-8 mark, which Windows and Wine
    // read differently), and replacing it would lose the list the restore at
    // close follows.
    const std::pair<std::optional<Operation>, std::string> rows[] = {
        {Operation::writeFileAtomic, old},
        {Operation::readFile, old},
        {std::nullopt, "\xEF\xBB\xBF" + old},
        {std::nullopt, unicode + "\x01\xD8"}};
    for (const auto& [failing, bytes] : rows) {
        SCOPED_TRACE(failing ? operationName(*failing) : "no failure");
        f.file(Ini, bytes);
        f.sys.fail = [&](Operation op, const std::string&) { return op == failing; };
        auto outcome = f.run(f.texts("Sample.exe", "x"));
        EXPECT_EQ(outcome.kind, Kind::WriteFailed);
        EXPECT_EQ(outcome.message, expected);
        EXPECT_EQ(f.tmp.read("Sample/" + Ini), bytes);
        EXPECT_TRUE(f.tmp.exists("Sample/doc/Manual.txt"));
        EXPECT_TRUE(f.state.CreatedIniFiles().empty());
    }
}

} // namespace
