#include "platform/ProfileFile.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "support/FaultySystem.h"
#include "support/ProductNames.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

using platform::ProfileFile;

namespace {

using Names = std::vector<std::string>;

// Shift-JIS characters whose second byte looks like ASCII.
const std::string KatakanaA = "\x83\x41";  // "ア": second byte is "A"
const std::string Katakana61 = "\x83\x61"; // second byte is "a": another character
const std::string KatakanaSo = "\x83\x5C"; // "ソ": second byte is a backslash
const std::string KatakanaZo = "\x83\x5D"; // "ゾ": second byte is "]"
const std::string Sample = "\x83\x54\x83\x93\x83\x76\x83\x8B"; // "サンプル"

// The real platform layer, but holding files in memory: enough for load and
// save. `fail` makes its reads or its atomic writes fail.
class MemorySystem : public testing_support::NoLaunchSystem {
public:
    std::map<std::string, std::string> files;
    std::function<bool(testing_support::Operation op, const std::string& path)> fail;

    std::uint32_t attributes(const std::string& path) override {
        return files.count(path) ? platform::AttrArchive : platform::InvalidAttributes;
    }
    platform::FileResult rename(const std::string& from, const std::string& to,
                                bool replace) override {
        if (!files.count(from))
            return platform::FileResult::Failed;
        if (!replace && files.count(to))
            return platform::FileResult::Exists;
        files[to] = files[from];
        files.erase(from);
        return platform::FileResult::Done;
    }
    bool removeFile(const std::string& path) override { return files.erase(path) != 0; }
    std::optional<std::string> readFile(const std::string& path) override {
        auto it = files.find(path);
        if (it == files.end() || (fail && fail(testing_support::Operation::readFile, path)))
            return std::nullopt;
        return it->second;
    }
    platform::FileResult createFile(const std::string& path,
                                    const std::vector<std::string_view>& pieces,
                                    const std::string&) override {
        if (files.count(path))
            return platform::FileResult::Exists;
        std::string& text = files[path];
        for (std::string_view piece : pieces)
            text += piece;
        return platform::FileResult::Done;
    }
    bool writeAtomic(const std::string& path,
                     const std::vector<std::string_view>& pieces) override {
        return !(fail && fail(testing_support::Operation::writeFileAtomic, path)) &&
               System::writeAtomic(path, pieces);
    }
    void syncFolder(const std::string&) override {}
    std::optional<std::string> finalPath(const std::string& path) override { return path; }
};

// A literal with its NUL bytes.
template <std::size_t N> std::string bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

// Every section's keys and values as read, for comparing two profiles.
std::string dump(const ProfileFile& ini) {
    std::string out;
    for (const std::string& section : ini.sectionNames()) {
        out += "[" + section + "]";
        for (const std::string& key : ini.keys(section))
            out += " " + key + "=" + ini.read(section, key, "<none>");
        out += "\n";
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Reading what other writers produce

TEST(ProfileFileReading, AcceptsLfCrLfAndACrAtTheEnd) {
    ProfileFile ini = ProfileFile::parse("[A]\nx=1\r\ny=2\n\r\nz=3\r");
    EXPECT_EQ(ini.keys("A"), (Names{"x", "y", "z"}));
    EXPECT_EQ(ini.read("A", "x", "-"), "1");
    EXPECT_EQ(ini.read("A", "y", "-"), "2");
    EXPECT_EQ(ini.read("A", "z", "-"), "3");
}

TEST(ProfileFileReading, CommentsAndBlankLinesAreNoKeys) {
    ProfileFile ini = ProfileFile::parse("[A]\r\n"
                                         "; a comment=1\r\n"
                                         "   ;indented=2\r\n"
                                         "\r\n"
                                         "   \t\r\n"
                                         "k=v ; not a comment\r\n"
                                         "a;b=3\r\n");
    EXPECT_EQ(ini.keys("A"), (Names{"k", "a;b"}));
    EXPECT_FALSE(ini.read("A", "; a comment"));
    EXPECT_EQ(ini.read("A", "k", "-"), "v ; not a comment");
    EXPECT_EQ(ini.read("A", "a;b", "-"), "3");
}

TEST(ProfileFileReading, BlanksAroundNamesAndValuesAreIgnored) {
    ProfileFile ini = ProfileFile::parse("  [  Install \t]  \r\n"
                                         "  Title  =  two words  \r\n"
                                         "\tTab\t=\tv\t\r\n"
                                         "Empty=\r\n"
                                         "Inner = a = b\r\n");
    EXPECT_EQ(ini.sectionNames(), (Names{"Install"}));
    EXPECT_EQ(ini.keys("Install"), (Names{"Title", "Tab", "Empty", "Inner"}));
    EXPECT_EQ(ini.read("Install", "Title", "-"), "two words");
    EXPECT_EQ(ini.read("Install", "Tab", "-"), "v");
    EXPECT_EQ(ini.read("Install", "Empty", "-"), "");
    EXPECT_EQ(ini.read("Install", "Inner", "-"), "a = b");
    // Names given to the functions are trimmed the same way.
    EXPECT_EQ(ini.read(" Install ", " Title ", "-"), "two words");
}

TEST(ProfileFileReading, KeysBeforeTheFirstSectionBelongToNoSection) {
    ProfileFile ini = ProfileFile::parse("Title=outside\r\n=x\r\n[Install]\r\nOther=1\r\n");
    EXPECT_FALSE(ini.read("Install", "Title"));
    EXPECT_FALSE(ini.read("", "Title"));
    EXPECT_EQ(ini.sectionNames(), (Names{"Install"}));
}

TEST(ProfileFileReading, FirstOfDuplicatedKeysGivesTheValueButAllAreListed) {
    ProfileFile ini = ProfileFile::parse("[Files]\r\nItem1=a\r\nITEM1=b\r\nItem2=c\r\nitem1=d\r\n");
    EXPECT_EQ(ini.read("Files", "item1", "-"), "a");
    EXPECT_EQ(ini.keys("Files"), (Names{"Item1", "ITEM1", "Item2", "item1"}));
}

TEST(ProfileFileReading, OnlyTheFirstOfDuplicatedSectionsCounts) {
    ProfileFile ini = ProfileFile::parse("[Files]\r\nItem1=a\r\n"
                                         "[Other]\r\nk=v\r\n"
                                         "[FILES]\r\nItem1=b\r\nItem2=c\r\n");
    EXPECT_EQ(ini.read("Files", "Item1", "-"), "a");
    EXPECT_FALSE(ini.read("Files", "Item2"));
    EXPECT_EQ(ini.keys("Files"), (Names{"Item1"}));
    EXPECT_EQ(ini.sectionNames(), (Names{"Files", "Other", "FILES"}));
}

TEST(ProfileFileReading, AnEmptyFirstSectionHidesALaterOneOfTheSameName) {
    ProfileFile ini = ProfileFile::parse("[Files]\r\n; none yet\r\n[Files]\r\nItem1=a\r\n");
    EXPECT_FALSE(ini.hasSection("Files"));
    EXPECT_FALSE(ini.hasKey("Files", "Item1"));
}

TEST(ProfileFileReading, EnclosingQuotesAreDropped) {
    ProfileFile ini = ProfileFile::parse("[Q]\r\n"
                                         "d=\"double\"\r\n"
                                         "s='single'\r\n"
                                         "inner=  \" spaced \"  \r\n"
                                         "nested=\"'x'\"\r\n"
                                         "mixed=\"x'\r\n"
                                         "open=\"x\r\n"
                                         "lone=\"\r\n"
                                         "pair=\"\"\r\n"
                                         "middle=a\"b\"\r\n"
                                         "\"qkey\"=1\r\n");
    EXPECT_EQ(ini.read("Q", "d", "-"), "double");
    EXPECT_EQ(ini.read("Q", "s", "-"), "single");
    EXPECT_EQ(ini.read("Q", "inner", "-"), " spaced ");
    EXPECT_EQ(ini.read("Q", "nested", "-"), "'x'");
    EXPECT_EQ(ini.read("Q", "mixed", "-"), "\"x'");
    EXPECT_EQ(ini.read("Q", "open", "-"), "\"x");
    EXPECT_EQ(ini.read("Q", "lone", "-"), "\"");
    EXPECT_EQ(ini.read("Q", "pair", "-"), "");
    EXPECT_EQ(ini.read("Q", "middle", "-"), "a\"b\"");
    // Quotes around a key name are part of the name.
    EXPECT_EQ(ini.read("Q", "\"qkey\"", "-"), "1");
    EXPECT_FALSE(ini.read("Q", "qkey"));
}

TEST(ProfileFileReading, LinesWithoutEqualsOrNameAreNoKeys) {
    ProfileFile ini =
        ProfileFile::parse("[s]\r\nname1=val1\r\nname2=\r\nname3\r\n=val\r\nname4=v4\r\n");
    EXPECT_EQ(ini.keys("s"), (Names{"name1", "name2", "name4"}));
    EXPECT_EQ(ini.read("s", "name3", "default"), "default");
    EXPECT_FALSE(ini.hasKey("s", "name3"));
    EXPECT_EQ(ini.read("s", "name2", "default"), "");
}

TEST(ProfileFileReading, SectionHeaderForms) {
    ProfileFile ini = ProfileFile::parse("[A] trailing text=1\r\n"
                                         "a=1\r\n"
                                         "[B\r\n" // no closing bracket: the name runs to the end
                                         "b=2\r\n"
                                         "[C]D]\r\n" // the first bracket ends the name
                                         "c=3\r\n"
                                         "[]\r\n"
                                         "e=4\r\n");
    EXPECT_EQ(ini.sectionNames(), (Names{"A", "B", "C", ""}));
    EXPECT_EQ(ini.read("A", "a", "-"), "1");
    EXPECT_EQ(ini.read("B", "b", "-"), "2");
    EXPECT_EQ(ini.read("C", "c", "-"), "3");
    EXPECT_EQ(ini.read("", "e", "-"), "4");
}

TEST(ProfileFileReading, ABracketAsSecondByteDoesNotEndTheSectionName) {
    const std::string name = "x" + KatakanaZo + "y";
    ProfileFile ini = ProfileFile::parse("[" + name + "]\r\nk=v\r\n");
    EXPECT_EQ(ini.sectionNames(), (Names{name}));
    EXPECT_EQ(ini.read(name, "k", "-"), "v");
}

TEST(ProfileFileReading, NamesMatchWithoutCaseForAsciiLettersOnly) {
    ProfileFile ini = ProfileFile::parse("[Install]\r\n"
                                         "InstallDir=Sample\r\n"
                                         "[" +
                                         KatakanaA + "Sec]\r\n" + KatakanaA + "Key=upper\r\n");
    EXPECT_EQ(ini.read("INSTALL", "installdir", "-"), "Sample");
    EXPECT_TRUE(ini.hasKey("install", "INSTALLDIR"));
    // ASCII letters after a double-byte character still fold...
    EXPECT_EQ(ini.read(KatakanaA + "SEC", KatakanaA + "key", "-"), "upper");
    // ...but the second byte of a double-byte character never does.
    EXPECT_FALSE(ini.hasSection(Katakana61 + "Sec"));
    EXPECT_FALSE(ini.read(KatakanaA + "Sec", Katakana61 + "Key"));
}

TEST(ProfileFileReading, AUtf8MarkBelongsToTheFirstLineAndSuchAFileCannotBeRead) {
    const std::string bytes = "\xEF\xBB\xBF[Install]\r\nTitle=t\r\n";
    EXPECT_EQ(ProfileFile::parse(bytes).read("Install", "Title", "-"), "-");
    EXPECT_FALSE(ProfileFile::decode(bytes));
}

TEST(ProfileFileReading, ASectionExistsOnlyWithAKey) {
    ProfileFile ini = ProfileFile::parse("[Empty]\r\n; comment\r\njunk\r\n[Full]\r\nk=\r\n");
    EXPECT_FALSE(ini.hasSection("Empty"));
    EXPECT_TRUE(ini.keys("Empty").empty());
    EXPECT_TRUE(ini.hasSection("full"));
    EXPECT_FALSE(ini.hasSection("Missing"));
    EXPECT_FALSE(ini.hasKey("Missing", "k"));
    EXPECT_EQ(ini.read("Missing", "k", "Nothing"), "Nothing");
}

// ---------------------------------------------------------------------------
// Writing

TEST(ProfileFileWriting, ExistingKeyChangesInPlaceAndOtherLinesStay) {
    ProfileFile ini = ProfileFile::parse("; header comment\n"
                                         "[install]\n"
                                         "  TITLE =  old  \n"
                                         "odd   line\n"
                                         "InstallDir = Sample\r\n"
                                         "[Files]\r\n"
                                         "Item1=a\r\n");
    EXPECT_TRUE(ini.write("Install", "Title", "new"));
    EXPECT_EQ(ini.serialize(), "; header comment\r\n"
                               "[install]\r\n"
                               "TITLE=new\r\n"
                               "odd   line\r\n"
                               "InstallDir = Sample\r\n"
                               "[Files]\r\n"
                               "Item1=a\r\n");
    EXPECT_EQ(ini.read("Install", "Title", "-"), "new");
}

TEST(ProfileFileWriting, KeysDifferingInASecondByteAreDifferentKeys) {
    ProfileFile ini = ProfileFile::parse("[A]\r\n" + Katakana61 + "Key=1\r\n");
    EXPECT_TRUE(ini.write("a", KatakanaA + "Key", "2"));
    EXPECT_TRUE(ini.write("A", Katakana61 + "KEY", "3"));
    EXPECT_EQ(ini.serialize(), "[A]\r\n" + Katakana61 + "Key=3\r\n" + KatakanaA + "Key=2\r\n");
}

TEST(ProfileFileWriting, OnlyTheFirstOfDuplicatedKeysChanges) {
    ProfileFile ini = ProfileFile::parse("[A]\r\nk=1\r\nk=2\r\n");
    EXPECT_TRUE(ini.write("A", "K", "3"));
    EXPECT_EQ(ini.serialize(), "[A]\r\nk=3\r\nk=2\r\n");
    ini.erase("a", "K"); // and only the first goes
    EXPECT_EQ(ini.serialize(), "[A]\r\nk=2\r\n");
}

TEST(ProfileFileWriting, NewKeyFollowsTheLastKeyOfItsSection) {
    ProfileFile ini = ProfileFile::parse("[Group]\r\n"
                                         "Item1=a\r\n"
                                         "; about items\r\n"
                                         "Item2=b\r\n"
                                         "\r\n"
                                         "; trailing comment\r\n"
                                         "\r\n"
                                         "[Startup]\r\n"
                                         "Value=0\r\n");
    EXPECT_TRUE(ini.write("group", "Item3", "c"));
    EXPECT_TRUE(ini.write("Group", "Item4", "d"));
    EXPECT_EQ(ini.serialize(), "[Group]\r\n"
                               "Item1=a\r\n"
                               "; about items\r\n"
                               "Item2=b\r\n"
                               "Item3=c\r\n"
                               "Item4=d\r\n"
                               "\r\n"
                               "; trailing comment\r\n"
                               "\r\n"
                               "[Startup]\r\n"
                               "Value=0\r\n");
    EXPECT_EQ(ini.keys("Group"), (Names{"Item1", "Item2", "Item3", "Item4"}));
}

TEST(ProfileFileWriting, NewKeyInASectionWithoutKeysFollowsTheHeader) {
    ProfileFile ini = ProfileFile::parse("[Files]\r\n; empty\r\n[Group]\r\nValue=1\r\n");
    EXPECT_TRUE(ini.write("Files", "Item1", "Inst.ini"));
    EXPECT_EQ(ini.serialize(), "[Files]\r\nItem1=Inst.ini\r\n; empty\r\n[Group]\r\nValue=1\r\n");

    ProfileFile list = ProfileFile::parse("[Files]\r\n; empty\r\n[Group]\r\nValue=1\r\n");
    EXPECT_TRUE(list.writeNumbered("files", "Item", {"a", "b"}));
    EXPECT_EQ(list.serialize(),
              "[Files]\r\nItem1=a\r\nItem2=b\r\n; empty\r\n[Group]\r\nValue=1\r\n");
    EXPECT_EQ(list.read("Files", "ITEM2", "-"), "b");
}

TEST(ProfileFileWriting, WritesGoToTheFirstOfDuplicatedSections) {
    ProfileFile ini = ProfileFile::parse("[A]\r\nx=1\r\n[A]\r\ny=2\r\n");
    EXPECT_TRUE(ini.write("A", "y", "3"));
    EXPECT_EQ(ini.serialize(), "[A]\r\nx=1\r\ny=3\r\n[A]\r\ny=2\r\n");
}

TEST(ProfileFileWriting, NewSectionGoesToTheEndAfterOneBlankLine) {
    ProfileFile ini = ProfileFile::parse("[A]\nx=1");
    EXPECT_TRUE(ini.write("B", "y", "2"));
    EXPECT_EQ(ini.serialize(), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");

    ProfileFile endsBlank = ProfileFile::parse("[A]\r\nx=1\r\n\r\n");
    EXPECT_TRUE(endsBlank.write("B", "y", "2"));
    EXPECT_EQ(endsBlank.serialize(), "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");

    ProfileFile onlyText = ProfileFile::parse("; written by hand");
    EXPECT_TRUE(onlyText.write("B", "y", "2"));
    EXPECT_EQ(onlyText.serialize(), "; written by hand\r\n\r\n[B]\r\ny=2\r\n");
}

TEST(ProfileFileWriting, FileFromScratchHasExactBytes) {
    ProfileFile ini;
    EXPECT_TRUE(ini.write("Install", "Title", Sample));
    EXPECT_TRUE(ini.write("Install", "InstallDir", "Sample"));
    EXPECT_TRUE(ini.write("Files", "Item1", "Sample.exe"));
    EXPECT_TRUE(ini.write("Files", "Item2", "doc\\" + KatakanaSo + ".txt"));
    EXPECT_TRUE(ini.write("Group", "Item1", Sample + ",Sample.exe"));
    EXPECT_TRUE(ini.write("Install", "IsFileDelAfterInst", "1"));
    EXPECT_EQ(ini.serialize(), "[Install]\r\n"
                               "Title=" +
                                   Sample +
                                   "\r\n"
                                   "InstallDir=Sample\r\n"
                                   "IsFileDelAfterInst=1\r\n"
                                   "\r\n"
                                   "[Files]\r\n"
                                   "Item1=Sample.exe\r\n"
                                   "Item2=doc\\" +
                                   KatakanaSo +
                                   ".txt\r\n"
                                   "\r\n"
                                   "[Group]\r\n"
                                   "Item1=" +
                                   Sample + ",Sample.exe\r\n");
}

TEST(ProfileFileWriting, SectionAndKeyNamesAreTrimmedAndExistingSpellingKept) {
    ProfileFile ini = ProfileFile::parse("[Install]\r\nTitle=a\r\n");
    EXPECT_TRUE(ini.write("  INSTALL ", " title ", "b"));
    EXPECT_TRUE(ini.write(" New ", " Key ", " v "));
    EXPECT_EQ(ini.serialize(), "[Install]\r\nTitle=b\r\n\r\n[New]\r\nKey= v \r\n");
    // Written as given; reading ignores the blanks, as on Windows.
    EXPECT_EQ(ini.read("New", "Key", "-"), "v");
}

TEST(ProfileFileWriting, EntriesAFileCannotHoldAreRefused) {
    const std::string before = "[A]\r\nk=1\r\n";
    ProfileFile ini = ProfileFile::parse(before);
    EXPECT_FALSE(ini.write("A", "k", "line\nbreak"));
    EXPECT_FALSE(ini.write("A", "k", "line\rbreak"));
    EXPECT_FALSE(ini.write("A", "new\nkey", "v"));
    EXPECT_FALSE(ini.write("A\r\n[B", "k", "v"));
    EXPECT_FALSE(ini.write("A", "", "v"));
    EXPECT_FALSE(ini.write("A", "   ", "v"));
    EXPECT_FALSE(ini.write("A", "a=b", "v"));
    EXPECT_FALSE(ini.write("A", ";comment", "v"));
    EXPECT_FALSE(ini.write("A", "[B]", "v"));
    EXPECT_FALSE(ini.write("B]C", "k", "v"));
    // A lone lead byte at the end would swallow the closing bracket.
    EXPECT_FALSE(ini.write("B\x83", "k", "v"));
    EXPECT_FALSE(ini.writeNumbered("A", "Item", {"v"})); // a section with a key
    EXPECT_FALSE(ini.writeNumbered("B", "Item", {"v", "line\nbreak"}));
    EXPECT_FALSE(ini.writeNumbered("B", "a=", {"v"}));
    EXPECT_EQ(ini.serialize(), before);
    // A bracket as the second byte of a character is fine.
    EXPECT_TRUE(ini.write(KatakanaZo, "k", "v"));
    EXPECT_EQ(ini.read(KatakanaZo, "k", "-"), "v");
}

TEST(ProfileFileWriting, RoundTripReadsTheSame) {
    ProfileFile ini = ProfileFile::parse("junk before\n[Install]\nTitle = \"q\"\n; c\n\n"
                                         "[Files]\nItem1=" +
                                         KatakanaSo + "\\a\nItem1=dup\n[Install]\nx=1\n");
    ini.write("Files", "Item2", "Inst.ini");
    ini.write("Group", "Value", "1");
    ini.write("Install", "Title", "t");
    const std::string once = ini.serialize();
    ProfileFile again = ProfileFile::parse(once);
    EXPECT_EQ(dump(again), dump(ini));
    EXPECT_EQ(again.serialize(), once);
    EXPECT_EQ(again.read("Files", "Item1", "-"), KatakanaSo + "\\a");
}

TEST(ProfileFileReading, SectionsStartOnlyWhereALineStartsWithABracket) {
    // A "[" inside a value, after a lone CR, or as the second byte of "ゼ"
    // (0x83 0x5B) starts no section; one after blanks does.
    ProfileFile ini =
        ProfileFile::parse("[A]\r\nk=[not a section]\r\n\x83[x=1\r\n \t[B] tail\r\nv=a\r[C]\r\n");
    EXPECT_EQ(ini.sectionNames(), (Names{"A", "B"}));
    EXPECT_EQ(ini.keys("A"), (Names{"k", "\x83[x"}));
    EXPECT_EQ(ini.read("B", "v", "-"), "a\r[C]");
}

// ---------------------------------------------------------------------------
// A section's entries read as a whole

namespace {

// A section's entries as `entries` gives them.
std::string entries(const ProfileFile& ini, std::string_view section) {
    std::string out;
    for (const auto& [key, value] : ini.entries(section))
        out += key + "=" + value + "\n";
    return out;
}

// The same through the key list and one read per key.
std::string keyByKey(const ProfileFile& ini, std::string_view section) {
    std::string out;
    for (const std::string& key : ini.keys(section))
        out += key + "=" + ini.read(section, key, "<none>") + "\n";
    return out;
}

} // namespace

TEST(ProfileFileLists, EntriesAreWhatTheKeyListAndReadsGive) {
    const std::string texts[] = {
        "[Files]\r\nItem1=a\\x\r\nItem2=\"q\"\r\nitem3= b \r\n",
        // Duplicates: each reads the first key of its name.
        "[Files]\r\nItem1=a\r\nITEM1=b\r\nItem2=c\r\nitem1=d\r\n",
        // Numbered at first, then not, then a duplicate of a numbered key.
        "[Files]\r\nItem1=a\r\nItem2=b\r\nItem4=c\r\nItem2=d\r\nx=e\r\n",
        "[Files]\r\nA=1\r\nB=2\r\n; c\r\nC=3\r\n\r\n[Other]\r\nA=9\r\n",
        "[Files]\nItem01=a\nItem1=b\nitem01=c\n",
        "[Files]\r\n[Files]\r\nItem1=x\r\n",
        "x=1\r\n[files]\r\n 1 = a \r\n2=b\r\n",
        // The next number spelled as before, but not a key of that name:
        // blanks before "=", more digits, no "=", another spelling.
        "[Files]\r\nItem1=a\r\nItem2 = b\r\nItem3\r\nItem3=\r\nItem41=c\r\nItem4=d\r\n",
        "[Files]\r\nItem1=a\r\nITEM2=b\r\nItem3= ' q ' \r\nItem4=\"\r\nItem1=e\r\n",
        "[Files]\r\nFoo=a\r\nFoo1=b\r\n",
        "[Files]\r\n1=a\r\n2=b\r\n3\t=c\r\n\t4=d\r\n1=e\r\n",
    };
    for (const std::string& text : texts) {
        EXPECT_EQ(entries(ProfileFile::parse(text), "Files"),
                  keyByKey(ProfileFile::parse(text), "Files"))
            << text;
    }
    EXPECT_EQ(entries(ProfileFile::parse(texts[1]), "Files"),
              "Item1=a\nITEM1=a\nItem2=c\nitem1=a\n");
    EXPECT_EQ(entries(ProfileFile::parse(texts[2]), "Files"),
              "Item1=a\nItem2=b\nItem4=c\nItem2=b\nx=e\n");
    EXPECT_EQ(entries(ProfileFile::parse(texts[0]), "Missing"), "");

    // Numbers that gain a digit (9, 99, 999), a duplicate at the very end.
    std::string list = "[Files]\r\n";
    for (int i = 1; i <= 1200; ++i)
        list += "Item" + std::to_string(i) + "= v" + std::to_string(i) + " \r\n";
    EXPECT_EQ(entries(ProfileFile::parse(list), "Files"),
              keyByKey(ProfileFile::parse(list), "Files"));
    list += "item1000=again\r\n";
    const std::string read = entries(ProfileFile::parse(list), "Files");
    EXPECT_EQ(read, keyByKey(ProfileFile::parse(list), "Files"));
    EXPECT_NE(read.find("\nitem1000=v1000\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Loading and saving through the platform layer

TEST(ProfileFileStorage, SaveWritesTheTextAndLoadReadsItBack) {
    MemorySystem sys;
    ProfileFile ini;
    ini.write("Install", "Title", Sample);
    ini.write("Files", "Item1", "Inst.ini");
    ASSERT_TRUE(ini.save(sys, "\\w\\Inst.ini"));
    EXPECT_EQ(sys.files["\\w\\Inst.ini"], ini.serialize());

    ProfileFile loaded = *ProfileFile::load(sys, "\\w\\Inst.ini");
    EXPECT_EQ(loaded.read("install", "title", "-"), Sample);
    EXPECT_EQ(loaded.keys("Files"), (Names{"Item1"}));
}

// A control file as the memory system stores it.
const std::string StoredIni = "\\w\\" + testing_support::Ini;

TEST(ProfileFileStorage, MissingFileLoadsEmptyAndUnreadableOneNotAtAll) {
    MemorySystem sys;
    std::optional<ProfileFile> missing = ProfileFile::load(sys, StoredIni);
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->sectionNames().empty());
    EXPECT_EQ(missing->serialize(), "");

    sys.files[StoredIni] = "[Install]\r\nInstallDir=x\r\n";
    sys.fail = [](testing_support::Operation op, const std::string&) {
        return op == testing_support::Operation::readFile;
    };
    EXPECT_FALSE(ProfileFile::load(sys, StoredIni));
}

TEST(ProfileFileStorage, FailedWriteIsReportedAndLeavesTheOldFile) {
    MemorySystem sys;
    sys.files[StoredIni] = "[Install]\r\nTitle=old\r\n";
    sys.fail = [](testing_support::Operation op, const std::string&) {
        return op == testing_support::Operation::writeFileAtomic;
    };
    ProfileFile ini = *ProfileFile::load(sys, StoredIni);
    ini.write("Install", "Title", "new");
    EXPECT_FALSE(ini.save(sys, StoredIni));
    EXPECT_EQ(sys.files[StoredIni], "[Install]\r\nTitle=old\r\n");

    sys.fail = nullptr;
    EXPECT_TRUE(ini.save(sys, StoredIni));
    EXPECT_EQ(sys.files[StoredIni], "[Install]\r\nTitle=new\r\n");
}

TEST(ProfileFileStorage, RealFileHoldsTheBytesAndReadsBack) {
    testing_support::TestFolder folder;
    folder.write("Inst.ini", "[Install]\nTitle=old\n; kept\n");
    platform::System& sys = platform::realSystem();
    const std::string path = folder.logic("Inst.ini");
    ProfileFile ini = *ProfileFile::load(sys, path);
    ASSERT_TRUE(ini.write("Install", "Title", Sample));
    ASSERT_TRUE(ini.write("Files", "Item1", "doc\\" + KatakanaSo + ".txt"));
    ASSERT_TRUE(ini.save(sys, path));
    EXPECT_EQ(folder.read("Inst.ini"), "[Install]\r\nTitle=" + Sample +
                                           "\r\n; kept\r\n\r\n[Files]\r\nItem1=doc\\" + KatakanaSo +
                                           ".txt\r\n");
    EXPECT_EQ(ProfileFile::load(sys, path)->read("Files", "Item1", "-"),
              "doc\\" + KatakanaSo + ".txt");
    EXPECT_TRUE(ProfileFile::load(sys, folder.logic("Missing.ini"))->sectionNames().empty());
}

// ---------------------------------------------------------------------------
// Size and hostile input

TEST(ProfileFileRobustness, HugeValueIsReadWhole) {
    std::string value(100000, 'x');
    for (std::size_t i = 0; i < value.size(); i += 7)
        value[i] = static_cast<char>('a' + i % 26);
    value.back() = 'Z';
    MemorySystem sys;
    ProfileFile ini;
    ASSERT_TRUE(ini.write("Files", "Item1", value));
    ASSERT_TRUE(ini.save(sys, "big.ini"));
    ProfileFile loaded = *ProfileFile::load(sys, "big.ini");
    EXPECT_EQ(loaded.read("Files", "Item1", ""), value);
}

TEST(ProfileFileRobustness, ManyKeysAndLongKeyLists) {
    std::string text = "[Files]\r\n";
    for (int i = 1; i <= 50000; ++i)
        text += "Item" + std::to_string(i) + "=dir\\file" + std::to_string(i) + ".txt\r\n";
    text += "[Group]\r\nValue=1\r\n";
    ProfileFile ini = ProfileFile::parse(text);
    const Names keys = ini.keys("Files");
    ASSERT_EQ(keys.size(), 50000u);
    EXPECT_EQ(keys.front(), "Item1");
    EXPECT_EQ(keys.back(), "Item50000");
    EXPECT_EQ(ini.read("Files", "item50000", "-"), "dir\\file50000.txt");
    EXPECT_EQ(ini.read("Files", "ITEM17", "-"), "dir\\file17.txt");

    // Alternating writes into two sections, neither of them the last one.
    ProfileFile two = ProfileFile::parse("[A]\r\n[B]\r\n; end\r\n[C]\r\n");
    for (int i = 0; i < 20000; ++i) {
        two.write("A", "k" + std::to_string(i), "a");
        two.write("B", "k" + std::to_string(i), "b");
    }
    EXPECT_EQ(two.keys("A").size(), 20000u);
    EXPECT_EQ(two.keys("B").back(), "k19999");
    ProfileFile reread = ProfileFile::parse(two.serialize());
    EXPECT_EQ(reread.read("B", "k12345", "-"), "b");
    EXPECT_EQ(reread.sectionNames(), (Names{"A", "B", "C"}));
}

TEST(ProfileFileRobustness, GarbageParsesAndRoundTrips) {
    // Deterministic bytes rich in the characters the reader cares about.
    const std::string alphabet =
        std::string("[]=;\"' \t\r\n\x83\x81\xE0\xFC\x5C\x5D") + bytes("\0aAzZ09");
    std::uint32_t state = 12345;
    std::string garbage;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        const std::uint32_t pick = state >> 16;
        garbage += (pick % 4 == 0) ? static_cast<char>(pick >> 8)
                                   : alphabet[(pick >> 2) % alphabet.size()];
    }
    garbage += '\x83'; // a lone lead byte at the very end
    ProfileFile ini = ProfileFile::parse(garbage);
    const std::string once = ini.serialize();
    ProfileFile again = ProfileFile::parse(once);
    EXPECT_EQ(again.serialize(), once);
    EXPECT_EQ(dump(again), dump(ini));
    // Every listed key is found, also by its name folded by the path rules.
    std::size_t listed = 0;
    for (const std::string& section : ini.sectionNames())
        for (const std::string& key : ini.keys(section)) {
            ++listed;
            EXPECT_TRUE(ini.hasKey(pathrules::foldCase(section), pathrules::foldCase(key)));
        }
    EXPECT_GT(listed, 100u);
}

TEST(ProfileFileRobustness, ExtremeLinesAndNulBytes) {
    const std::string longLine(3000000, '[');
    ProfileFile ini = ProfileFile::parse(longLine);
    EXPECT_EQ(ini.sectionNames().size(), 1u);
    EXPECT_EQ(ini.serialize(), longLine + "\r\n");

    const std::string withNul = bytes("[A\0B]\r\nk\0=v\0w\r\n\x83");
    ProfileFile nul = ProfileFile::parse(withNul);
    EXPECT_EQ(nul.sectionNames(), (Names{std::string("A\0B", 3)}));
    EXPECT_EQ(nul.read(std::string("a\0b", 3), std::string("K\0", 2), "-"), std::string("v\0w", 3));
    EXPECT_TRUE(nul.write(std::string("A\0B", 3), "x", std::string("\0", 1)));
    EXPECT_EQ(ProfileFile::parse(nul.serialize()).read(std::string("A\0B", 3), "x", "-"),
              std::string("\0", 1));
}
