#include "platform/PathRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pathrules;

namespace {

// "C:\ソフト\表.exe" in code page 932: "ソ" (0x83 0x5C) and "表" (0x95 0x5C)
// both end in the byte of a backslash.
const std::string SoftTable = "C:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C.exe";
const std::string So = "\x83\x5C";
const std::string Hyo = "\x95\x5C";

} // namespace

TEST(PathRulesSeparators, TrailByte5CIsNotABackslash) {
    EXPECT_EQ(lastSeparator(SoftTable), 9u);
    EXPECT_EQ(fileNamePart(SoftTable), Hyo + ".exe");
    EXPECT_EQ(folderPart(SoftTable), "C:\\\x83\x5C\x83\x74\x83\x67\\");
    EXPECT_EQ(firstBackslash(SoftTable), 2u);

    EXPECT_FALSE(containsBackslash(So + "\x83\x74\x83\x67"));
    EXPECT_FALSE(containsBackslash(Hyo));
    for (const char* lead : {"\x81", "\x9F", "\xE0", "\xFC"}) // each end of both lead ranges
        EXPECT_FALSE(containsBackslash(std::string(lead) + "\x5C"))
            << +static_cast<unsigned char>(*lead);
    EXPECT_EQ(firstBackslash(So + "a\\b"), 3u);
    EXPECT_EQ(lastSeparator("a\\" + So), 1u);
    EXPECT_EQ(fileNamePart("a\\" + So), So);
}

TEST(PathRulesSeparators, EndsWithBackslashIsCharacterAware) {
    EXPECT_FALSE(endsWithBackslash("C:\\" + So));
    EXPECT_FALSE(endsWithBackslash(Hyo));
    EXPECT_TRUE(endsWithBackslash("C:\\" + So + "\\"));
    EXPECT_TRUE(endsWithBackslash("\\"));
    EXPECT_FALSE(endsWithBackslash(""));

    EXPECT_EQ(withTrailingBackslash("C:\\" + So), "C:\\" + So + "\\");
    EXPECT_EQ(withTrailingBackslash("C:\\" + So + "\\"), "C:\\" + So + "\\");
    EXPECT_EQ(withTrailingBackslash(""), "\\");
}

TEST(PathRulesSeparators, ColonsAndDriveRoots) {
    EXPECT_EQ(lastSeparator("C:abc"), 1u);
    EXPECT_EQ(fileNamePart("C:abc"), "abc");
    EXPECT_EQ(folderPart("C:abc"), "C:");
    EXPECT_FALSE(containsBackslash("C:abc"));

    EXPECT_EQ(fileNamePart("C:\\"), "");
    EXPECT_EQ(folderPart("C:\\"), "C:\\");
    EXPECT_EQ(fileNamePart("C:"), "");
    EXPECT_EQ(folderPart("C:"), "C:");
    // The last separator wins, whichever kind it is.
    EXPECT_EQ(lastSeparator("a\\b:c"), 3u);
    EXPECT_EQ(lastSeparator("a:b\\c"), 3u);
}

TEST(PathRulesSeparators, EmptyAndPlainTexts) {
    EXPECT_EQ(lastSeparator(""), std::string_view::npos);
    EXPECT_EQ(firstBackslash(""), std::string_view::npos);
    EXPECT_EQ(fileNamePart(""), "");
    EXPECT_EQ(folderPart(""), "");
    EXPECT_EQ(fileNamePart("Sample.exe"), "Sample.exe");
    EXPECT_EQ(folderPart("Sample.exe"), "");
}

TEST(PathRulesSeparators, LoneLeadByteAtTheEnd) {
    // A lead byte at the very end is one character on its own.
    EXPECT_EQ(lastSeparator("x\\\x83"), 1u);
    EXPECT_EQ(fileNamePart("x\\\x83"), "\x83");
    EXPECT_FALSE(endsWithBackslash("abc\x83"));
    EXPECT_EQ(withTrailingBackslash("abc\x83"), "abc\x83\\");
    // A lead byte before a backslash swallows it as its second byte.
    EXPECT_FALSE(containsBackslash("x\x83\\"));
    EXPECT_FALSE(endsWithBackslash("x\x83\\"));
    // Two lead bytes in a row form one character; the backslash after them is real.
    EXPECT_TRUE(endsWithBackslash("\x83\x83\\"));
    EXPECT_EQ(firstBackslash("\x83\x83\\"), 2u);
}

TEST(PathRulesSeparators, HalfWidthKatakanaIsSingleByte) {
    // 0xB1 ("ｱ") is a whole character, so the backslash after it counts.
    EXPECT_EQ(lastSeparator("\xB1\\x"), 1u);
    EXPECT_TRUE(endsWithBackslash("\xB1\\"));
    // 0xE0..0xFC lead, 0xA0..0xDF do not.
    EXPECT_FALSE(containsBackslash("\xE0\\"));
    EXPECT_FALSE(containsBackslash("\xFC\\"));
    EXPECT_TRUE(containsBackslash("\xDF\\"));
    EXPECT_TRUE(containsBackslash("\xFD\\"));
}

TEST(PathRulesCase, FoldsLettersButNeverASecondByte) {
    EXPECT_EQ(foldCase("ReadMe.TXT"), "readme.txt");
    EXPECT_EQ(foldCase(""), "");
    // "ア" is 0x83 0x41: its second byte looks like "A" and must stay.
    EXPECT_EQ(foldCase("AB\x83\x41Z"), "ab\x83\x41z");
    EXPECT_EQ(foldCase("\x83\x41"), "\x83\x41");

    EXPECT_TRUE(equalsNoCase("Inst.INI", "inst.ini"));
    EXPECT_FALSE(equalsNoCase("Inst.ini", "Inst.in"));
    // "ア" (0x83 0x41) and "ャ" (0x83 0x61) are different characters.
    EXPECT_FALSE(equalsNoCase("\x83\x41", "\x83\x61"));
    EXPECT_TRUE(equalsNoCase(SoftTable, "c:\\\x83\x5C\x83\x74\x83\x67\\\x95\x5C.EXE"));
    // Letters after a double-byte character fold; a lone lead byte at the end
    // is a character of its own.
    EXPECT_TRUE(equalsNoCase("\x83\x41x", "\x83\x41X"));
    EXPECT_TRUE(equalsNoCase("A\x83", "a\x83"));
    EXPECT_FALSE(equalsNoCase("A\x83", "a\x84"));
    // Double-byte capitals Windows folds too, each with its small letter: ＡａＺｚΩωНнОоЯяⅩⅹ.
    const std::string pairs = "\x82\x60\x82\x81\x82\x79\x82\x9A\x83\xB6\x83\xD6\x84\x4E\x84\x7E"
                              "\x84\x4F\x84\x80\x84\x60\x84\x91\x87\x5D\xFA\x49";
    for (std::size_t i = 0; i < pairs.size(); i += 4)
        EXPECT_EQ(foldCase(pairs.substr(i, 4)), pairs.substr(i + 2, 2) + pairs.substr(i + 2, 2));
}
