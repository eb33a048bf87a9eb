// The survey of the program folder, the decision to relocate, and the moves.
#include "prepare/Survey.h"
#include "platform/Cp932.h"
#include "platform/System.h"
#include "prepare/Texts.h"
#include "support/IniText.h"
#include "support/ProductNames.h"
#include "support/RequestFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace testing_support;
using Kind = prepare::RequestOutcome::Kind;
namespace fs = std::filesystem;

namespace {

using testing_support::Ini;
using testing_support::Installer;

class SurveyTest : public ::testing::Test {
protected:
    ProgramFolderFixture f;
    void SetUp() override {
        f.file("Sample.exe");
        f.file(Installer);
        f.browse("Sample.exe");
    }
    prepare::SurveyResult survey() { return prepare::surveyProgramFolder(f.sys, f.state); }
    std::vector<std::string> sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
    void makeReadOnly(const std::string& relative) {
        fs::permissions(f.tmp.native("Sample/" + relative),
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
};

TEST_F(SurveyTest, ListsEveryFileWithItsRelativePath) {
    f.file("doc/Manual.txt");
    f.file("doc/img/a.png");
    f.file(".hidden");
    auto s = survey();
    EXPECT_EQ(sorted(s.FolderFiles),
              sorted({".hidden", Installer, "Sample.exe", "doc\\Manual.txt", "doc\\img\\a.png"}));
    EXPECT_FALSE(s.ReadOnlyFound);
    EXPECT_FALSE(prepare::relocationRefused(s));
}

TEST_F(SurveyTest, SubfolderFilesStandWhereTheSubfolderWasMet) {
    f.file("a/1");
    f.file("b/2");
    f.file("b/c/3");
    f.sys.enumerationOrder = [](const auto& x, const auto& y) { return x.name > y.name; };
    std::vector<std::string> top = sorted({"Sample.exe", Installer}); // met after the folders
    EXPECT_EQ(survey().FolderFiles,
              (std::vector<std::string>{"b\\c\\3", "b\\2", "a\\1", top[1], top[0]}));
}

TEST_F(SurveyTest, NinetyEightFilesAreRelocatedNinetyNineAreNot) {
    for (int i = 0; i < 96; ++i)
        f.file("sub/f" + std::to_string(i));
    auto s = survey();
    ASSERT_EQ(s.FolderFiles.size(), 98u);
    EXPECT_FALSE(prepare::relocationRefused(s));
    f.file("sub/one-more");
    s = survey();
    ASSERT_EQ(s.FolderFiles.size(), 99u);
    EXPECT_TRUE(prepare::relocationRefused(s));
}

TEST_F(SurveyTest, DuplicateNamesIgnoreLetterCase) {
    f.file("readme.txt");
    f.file("doc/readme.txt.bak");
    EXPECT_FALSE(prepare::relocationRefused(survey()));
    f.file("other/ReadMe.TXT"); // one name to Windows and to the installer
    EXPECT_TRUE(prepare::relocationRefused(survey()));
}

TEST_F(SurveyTest, ReadOnlyItemsRefuseRelocation) {
    f.file("doc/a.txt");
    makeReadOnly("doc/a.txt");
    EXPECT_TRUE(survey().ReadOnlyFound);
    fs::permissions(f.tmp.native("Sample/doc/a.txt"), fs::perms::owner_write,
                    fs::perm_options::add);
    EXPECT_FALSE(survey().ReadOnlyFound);

    makeReadOnly("doc");
#ifdef _WIN32
    if (!(GetFileAttributesW(f.tmp.native("Sample/doc").c_str()) & FILE_ATTRIBUTE_READONLY))
        GTEST_SKIP() << "this system keeps no read-only attribute on folders (Wine ignores it)";
#endif
    EXPECT_TRUE(survey().ReadOnlyFound);
    fs::permissions(f.tmp.native("Sample/doc"), fs::perms::owner_write, fs::perm_options::add);

    makeReadOnly("");
    EXPECT_TRUE(survey().ReadOnlyFound) << "the program folder itself";
}

TEST_F(SurveyTest, ProgramFolderWhoseAttributesCannotBeRead) {
    f.sys.fail = [&](Operation op, const std::string&) { return op == Operation::attributes; };
    EXPECT_TRUE(survey().ReadOnlyFound);
}

TEST_F(SurveyTest, SystemFilesAreNotListedButReadOnlyStillCounts) {
#ifdef _WIN32
    // The system attribute itself.
    f.file("pipe");
    ASSERT_TRUE(SetFileAttributesW(f.tmp.native("Sample/pipe").c_str(), FILE_ATTRIBUTE_SYSTEM));
#else
    ASSERT_EQ(mkfifo(f.tmp.native("Sample/pipe").c_str(), 0644), 0);
#endif
    auto s = survey();
    EXPECT_EQ(std::count(s.FolderFiles.begin(), s.FolderFiles.end(), "pipe"), 0);
    EXPECT_FALSE(s.ReadOnlyFound);
    f.file("doc/pipe"); // a namesake below would meet it at the top
    EXPECT_TRUE(prepare::relocationRefused(survey()));
    fs::remove(f.tmp.native("Sample/doc/pipe"));
#ifdef _WIN32
    f.file("ro-pipe");
    ASSERT_TRUE(SetFileAttributesW(f.tmp.native("Sample/ro-pipe").c_str(),
                                   FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
#else
    ASSERT_EQ(mkfifo(f.tmp.native("Sample/ro-pipe").c_str(), 0444), 0);
#endif
    s = survey();
    EXPECT_EQ(s.FolderFiles.size(), 2u);
    EXPECT_TRUE(s.ReadOnlyFound);
}

TEST_F(SurveyTest, LinksToFoldersAreNotFollowed) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows and Wine only pretends to make "
                    "them; Win32SystemTest covers links where the system makes them";
#endif
    f.tmp.write("Outside/secret.txt");
    fs::create_directory_symlink(f.tmp.native("Outside"), f.tmp.native("Sample/link"));
    fs::create_directory_symlink(f.tmp.native("Sample"), f.tmp.native("Sample/loop"));
    auto s = survey();
    EXPECT_EQ(sorted(s.FolderFiles), sorted({Installer, "Sample.exe"}));
    EXPECT_TRUE(s.ReadOnlyFound) << "a link to a folder refuses relocation";
}

TEST_F(SurveyTest, DeepTreeIsSurveyedWithoutRecursion) {
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "d/";
    f.file(deep + "leaf.txt");
    auto s = survey();
    ASSERT_EQ(s.FolderFiles.size(), 3u);
    EXPECT_NE(std::find_if(s.FolderFiles.begin(), s.FolderFiles.end(),
                           [](const std::string& p) { return p.size() > 600; }),
              s.FolderFiles.end());
}

// Once the answer is "refused" whatever else is found, later folders are
// listed without their read-only bits; the list and the answer stay the same.
class FullListingSystem : public FaultySystem {
public:
    bool
    enumerateWithoutReadOnly(const std::string& folder,
                             const std::function<void(const platform::DirEntry&)>& each) override {
        return enumerate(folder, each);
    }
};

std::size_t countCalls(const std::vector<std::string>& calls, const std::string& op) {
    return std::count_if(calls.begin(), calls.end(),
                         [&](const std::string& c) { return c.rfind(op + " ", 0) == 0; });
}

TEST_F(SurveyTest, BigTreeKeepsItsListAndItsAnswerWithCheapListings) {
    for (int d = 0; d < 6; ++d)
        for (int i = 0; i < 50; ++i)
            f.file("d" + std::to_string(d) + "/f" + std::to_string(i) + ".txt");
    f.file("zz/late.txt");
    makeReadOnly("zz/late.txt");
    f.file("zz/sub/last.txt");
    auto byName = [](const platform::DirEntry& x, const platform::DirEntry& y) {
        return x.name < y.name;
    };
    f.sys.enumerationOrder = byName;
    const auto s = survey();

    FullListingSystem full;
    full.enumerationOrder = byName;
    const auto reference = prepare::surveyProgramFolder(full, f.state);
    ASSERT_EQ(reference.FolderFiles.size(), 304u);
    EXPECT_TRUE(reference.ReadOnlyFound);

    EXPECT_EQ(s.FolderFiles, reference.FolderFiles) << "same files, same order";
    EXPECT_TRUE(prepare::relocationRefused(s));
    EXPECT_EQ(s.FolderFiles.back(), "zz\\sub\\last.txt");
    // The top folder, d0 and d1 are listed in full (98 files or fewer listed
    // when they are opened), d2 to d5, zz and zz\sub cheaply.
    EXPECT_EQ(countCalls(f.sys.calls, "enumerate"), 3u);
    EXPECT_EQ(countCalls(f.sys.calls, "enumerateWithoutReadOnly"), 6u);
}

TEST_F(SurveyTest, ReadOnlyItemsCountWhileTheyCanChangeTheAnswer) {
    // 98 files, the most that can be moved; then a folder that holds nothing
    // but a read-only subfolder. It is opened with 98 files listed, so its
    // read-only bits still decide.
    for (int i = 0; i < 96; ++i)
        f.file("a/f" + std::to_string(i));
    f.tmp.mkdir("Sample/b/locked");
    makeReadOnly("b/locked");
    if (!(platform::realSystem().attributes(f.logic("b/locked")) & platform::AttrReadOnly))
        GTEST_SKIP() << "this system keeps no read-only attribute on folders";
    f.sys.enumerationOrder = [](const auto& x, const auto& y) { return x.name < y.name; };
    auto s = survey();
    EXPECT_EQ(s.FolderFiles.size(), 98u);
    EXPECT_TRUE(s.ReadOnlyFound);
    EXPECT_TRUE(prepare::relocationRefused(s));
    EXPECT_EQ(countCalls(f.sys.calls, "enumerateWithoutReadOnly"), 1u) << "b\\locked only";
}

TEST_F(SurveyTest, ReadOnlyFileMetEarlyMakesLaterListingsCheap) {
    for (int i = 0; i < 10; ++i)
        f.file("a/f" + std::to_string(i));
    f.file("b/c/g.txt");
    f.file("0/ro.txt");
    makeReadOnly("0/ro.txt");
    f.sys.enumerationOrder = [](const auto& x, const auto& y) { return x.name < y.name; };
    auto s = survey();
    EXPECT_TRUE(s.ReadOnlyFound);
    EXPECT_TRUE(prepare::relocationRefused(s));
    EXPECT_EQ(s.FolderFiles.size(), 14u);
    EXPECT_EQ(s.FolderFiles.back(), "b\\c\\g.txt");
    EXPECT_EQ(countCalls(f.sys.calls, "enumerate"), 2u) << "the top folder and 0";
    EXPECT_EQ(countCalls(f.sys.calls, "enumerateWithoutReadOnly"), 3u) << "a, b, b\\c";
}

TEST_F(SurveyTest, FailedListingsAddNothingOnEitherPath) {
    for (int i = 0; i < 120; ++i)
        f.file("a/f" + std::to_string(i));
    f.file("b/x.txt");
    f.file("c/y.txt");
    f.sys.enumerationOrder = [](const auto& x, const auto& y) { return x.name < y.name; };
    f.sys.fail = [&](Operation op, const std::string& path) {
        return op == Operation::enumerateWithoutReadOnly && path == f.logic("b") + "\\";
    };
    auto s = survey();
    EXPECT_EQ(s.FolderFiles.size(), 123u);
    EXPECT_EQ(std::count(s.FolderFiles.begin(), s.FolderFiles.end(), "b\\x.txt"), 0);
    EXPECT_EQ(s.FolderFiles.back(), "c\\y.txt");
}

TEST_F(SurveyTest, RelocationMovesUpNeverReplacesAndEndsAtAFailedMove) {
    f.file("doc/Manual.txt", "manual");
    f.file("doc/img/logo.png", "logo");
    f.file("keep.txt", "top");
    f.file("sub/keep.txt", "below"); // a duplicate: refused as a whole, but relocate() alone
    auto result =
        prepare::relocate(f.sys, f.state.ProgramFolder,
                          {"Sample.exe", "doc\\Manual.txt", "sub\\keep.txt", "doc\\img\\logo.png"});
    EXPECT_EQ(result.moved, (std::vector<std::string>{"doc\\Manual.txt"}));
    EXPECT_EQ(result.failed, "sub\\keep.txt");
    EXPECT_EQ(f.tmp.read("Sample/Manual.txt"), "manual");
    EXPECT_EQ(f.tmp.read("Sample/doc/img/logo.png"), "logo") << "no move after the failed one";
    EXPECT_EQ(f.tmp.read("Sample/keep.txt"), "top");
    EXPECT_EQ(f.tmp.read("Sample/sub/keep.txt"), "below");
    EXPECT_TRUE(fs::is_directory(f.tmp.native("Sample/doc"))) << "subfolders stay";
}

// The survey as part of a whole request.
class SurveyRequestTest : public SurveyTest {};

TEST_F(SurveyRequestTest, RefusedRelocationAsksAndNoLeavesEverythingUntouched) {
    f.file("readme.txt");
    f.file("doc/readme.txt");
    auto before = f.tree();
    f.ui.answer = false;
    auto outcome = f.run(f.texts("Sample.exe", "a"));
    EXPECT_EQ(outcome.kind, Kind::Declined);
    EXPECT_EQ(f.ui.questions, 1);
    EXPECT_EQ(f.tree(), before);
    EXPECT_TRUE(f.state.CreatedIniFiles().empty());
}

TEST_F(SurveyRequestTest, YesInstallsInPlaceWithoutInstallDir) {
    f.file("readme.txt");
    f.file("doc/readme.txt");
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    EXPECT_TRUE(f.state.RelocationRefused);
    EXPECT_TRUE(f.tmp.exists("Sample/doc/readme.txt")) << "nothing moved";
    auto install = sectionLines(parseIniText(f.iniBytes()), "Install");
    EXPECT_EQ(install, (std::vector<std::string>{"Title=aのインストール"}));
    EXPECT_EQ(f.ui.progress, (std::vector<bool>{true, false}));
    EXPECT_EQ(f.sys.calls.back(), "shellOpen " + f.logic(Installer));
}

TEST_F(SurveyRequestTest, ExistingControlFileSkipsTheSurvey) {
    f.file("doc/a.txt");
    f.file(Ini, "[Files]\r\nItem1=" + Ini + "\r\n");
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    EXPECT_EQ(f.ui.questions, 0);
    EXPECT_TRUE(f.tmp.exists("Sample/doc/a.txt"));
    for (const auto& call : f.sys.calls) // the survey lists with the read-only bits
        EXPECT_NE(call.rfind("enumerate ", 0), 0u) << call;
    EXPECT_EQ(f.state.CreatedIniFiles(), (std::vector<std::string>{f.logic(Ini)}));
}

TEST_F(SurveyRequestTest, ExistingControlFileFollowsTheLastSurveyOfTheRun) {
    // As a refused survey earlier in the run left it.
    f.state.RelocationRefused = true;
    f.file(Ini, "[Install]\r\nTitle=old\r\n");
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    auto sections = parseIniText(f.iniBytes());
    EXPECT_EQ(sectionLines(sections, "Install"),
              (std::vector<std::string>{"Title=aのインストール"}));
    EXPECT_EQ(sectionLines(sections, "Files"), (std::vector<std::string>{"Item1=" + Ini}));
}

TEST_F(SurveyRequestTest, WriteErrorLeavesEveryFileWhereItWas) {
    f.file("doc/Manual.txt");
    f.file("doc/more/b.txt");
    auto before = f.tree();
    f.sys.fail = [](Operation op, const std::string&) { return op == Operation::writeFileAtomic; };
    auto outcome = f.run(f.texts("Sample.exe", "a"));
    EXPECT_EQ(outcome.kind, Kind::WriteFailed);
    EXPECT_EQ(outcome.message,
              platform::cp932FromUtf8ForDisplay(f.tmp.native("Sample/" + Ini).string()) +
                  prepare::sjis(" に書き込めません"));
    EXPECT_EQ(f.tree(), before);
    EXPECT_TRUE(f.state.CreatedIniFiles().empty());
    EXPECT_EQ(f.ui.progress, (std::vector<bool>{true, false}));
}

TEST_F(SurveyRequestTest, UnwritableFileNameEndsTheRequestBeforeAnyMove) {
    f.file("doc/a.txt");
    f.file("doc/emoji-\xF0\x9F\x98\x80.txt");
    auto before = f.tree();
    auto outcome = f.run(f.texts("Sample.exe", "a"));
    ASSERT_EQ(outcome.kind, Kind::Rejected);
    EXPECT_NE(outcome.message.find(prepare::sjis("emoji-〓.txt")), std::string::npos);
    EXPECT_EQ(f.tree(), before);
    EXPECT_FALSE(f.tmp.exists("Sample/" + Ini));
    EXPECT_EQ(f.ui.progress, (std::vector<bool>{true, false}));
}

TEST_F(SurveyRequestTest, CancelledSurveyMovesAndWritesNothing) {
    for (int i = 0; i < 1200; ++i)
        f.file("many/" + std::to_string(i));
    auto before = f.tree();
    f.ui.cancelAt = 600;
    EXPECT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Cancelled);
    EXPECT_EQ(f.tree(), before);
    EXPECT_TRUE(f.state.CreatedIniFiles().empty());
}

TEST_F(SurveyRequestTest, RequestsOnTwoFoldersAreRecordedInOrder) {
    ProgramFolderFixture other("Other");
    other.file("P.exe");
    other.file(Installer);
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    auto t = f.texts("Sample.exe", "b");
    t.programFile = other.logic("P.exe");
    // The other fixture lives in another temporary folder: survey it through ours.
    ASSERT_EQ(f.run(t).kind, Kind::Started);
    ASSERT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Started);
    EXPECT_EQ(f.state.CreatedIniFiles(), (std::vector<std::string>{f.logic(Ini), other.logic(Ini)}));
}

} // namespace

namespace {

TEST(ReadsBackAsWritten, BlanksAtTheEndsQuotesAndControls) {
    EXPECT_TRUE(prepare::readsBackAsWritten("doc\\a b.txt"));
    EXPECT_TRUE(prepare::readsBackAsWritten("\"a"));
    EXPECT_FALSE(prepare::readsBackAsWritten(" doc\\a.txt"));
    EXPECT_FALSE(prepare::readsBackAsWritten("doc\\a.txt "));
    EXPECT_FALSE(prepare::readsBackAsWritten("doc\\a.txt\t"));
    EXPECT_FALSE(prepare::readsBackAsWritten("'a.txt'"));
    EXPECT_FALSE(prepare::readsBackAsWritten("\"a.txt\""));
    EXPECT_FALSE(prepare::readsBackAsWritten("a\rb"));
}

TEST(SurveyNames, NameThatWouldNotReadBackEndsTheRequest) {
    ProgramFolderFixture f;
    f.file("Sample.exe");
    f.file(Installer);
    f.file("doc/a.txt");
#ifdef _WIN32
    // Windows drops trailing blanks from names; only the extended-length form
    // makes such a file.
    const std::wstring blank = L"\\\\?\\" + f.tmp.native("Sample").wstring() + L"\\a.txt ";
    HANDLE h = CreateFileW(blank.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
#else
    f.file("a.txt ");
#endif
    auto before = f.tree();
    auto outcome = f.run(f.texts("Sample.exe", "a"));
    ASSERT_EQ(outcome.kind, Kind::Rejected);
    EXPECT_NE(outcome.message.find("a.txt "), std::string::npos);
    EXPECT_EQ(f.tree(), before);
}

#ifndef _WIN32
TEST(SurveyNames, NameEndingInADotEndsTheRequest) {
    // Possible off Windows only; Windows and the restore would read "sub".
    ProgramFolderFixture f;
    f.file("Sample.exe");
    f.file(Installer);
    f.file("sub./x.txt");
    auto before = f.tree();
    EXPECT_EQ(f.run(f.texts("Sample.exe", "a")).kind, Kind::Rejected);
    EXPECT_EQ(f.tree(), before);
}
#endif

} // namespace
