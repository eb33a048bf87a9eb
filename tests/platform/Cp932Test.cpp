#include "platform/Cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace platform;

namespace {

const std::string Geta = "\x81\xAC";
const std::string GetaUtf8 = "\xE3\x80\x93";

void expectRoundTrip(const std::string& utf8, const std::string& cp932) {
    EXPECT_EQ(cp932FromUtf8(utf8), std::optional<std::string>(cp932)) << utf8;
    EXPECT_EQ(utf8FromCp932(cp932), std::optional<std::string>(utf8)) << utf8;
}

} // namespace

TEST(Cp932Conversion, MicrosoftTableCharactersRoundTrip) {
    expectRoundTrip("～", "\x81\x60"); // U+FF5E
    expectRoundTrip("－", "\x81\x7C"); // U+FF0D
    expectRoundTrip("∥", "\x81\x61");  // U+2225
    expectRoundTrip("①", "\x87\x40");
    expectRoundTrip("〓", Geta);
    expectRoundTrip("ｱ", "\xB1");
    expectRoundTrip("ソフト表.exe", "\x83\x5C\x83\x74\x83\x67\x95\x5C.exe");
    expectRoundTrip("クワリノ", "\x83\x4E\x83\x8F\x83\x8A\x83\x6D");
}

TEST(Cp932Conversion, AsciiIsUnchanged) {
    std::string ascii;
    for (int c = 0; c < 0x80; ++c)
        ascii += static_cast<char>(c);
    expectRoundTrip(ascii, ascii);
    expectRoundTrip("", "");
    expectRoundTrip(std::string("a\0b", 3), std::string("a\0b", 3));
}

TEST(Cp932Conversion, UnrepresentableCharactersGiveNothing) {
    EXPECT_EQ(cp932FromUtf8("a\xF0\x9F\x98\x80"), std::nullopt); // U+1F600
    EXPECT_EQ(cp932FromUtf8("한"), std::nullopt);
    EXPECT_EQ(cp932FromUtf8("é"), std::nullopt);
    // Characters an encoder might map to something else: "¥" to the
    // backslash, "‾" to "~", the JIS wave dash to "～", a tag character to
    // nothing. None of them comes back as itself, so none is accepted.
    EXPECT_EQ(cp932FromUtf8("a¥b"), std::nullopt);
    EXPECT_EQ(cp932FromUtf8("‾"), std::nullopt);
    EXPECT_EQ(cp932FromUtf8("\xE3\x80\x9C"), std::nullopt);      // U+301C
    EXPECT_EQ(cp932FromUtf8("a\xF3\xA0\x81\x81"), std::nullopt); // U+E0041
}

TEST(Cp932Conversion, InvalidUtf8GivesNothing) {
    EXPECT_EQ(cp932FromUtf8("\xC0\xAF"), std::nullopt);     // overlong "/"
    EXPECT_EQ(cp932FromUtf8("\xED\xA0\x80"), std::nullopt); // surrogate
    EXPECT_EQ(cp932FromUtf8("ab\xE3\x81"), std::nullopt);   // cut short
    EXPECT_EQ(cp932FromUtf8("\x80"), std::nullopt);         // stray continuation
    EXPECT_EQ(cp932FromUtf8("\xFF"), std::nullopt);
}

TEST(Cp932Conversion, InvalidCp932GivesNothing) {
    EXPECT_EQ(utf8FromCp932("a\x83"), std::nullopt);    // lead byte at the end
    EXPECT_EQ(utf8FromCp932("\x83\x20"), std::nullopt); // no trail byte
    EXPECT_EQ(utf8FromCp932("\xFF"), std::nullopt);
}

TEST(Cp932Conversion, DisplayFormsMarkEachBadCharacter) {
    EXPECT_EQ(cp932FromUtf8ForDisplay("a\xF0\x9F\x98\x80"
                                      "b"),
              "a" + Geta + "b");
    EXPECT_EQ(cp932FromUtf8ForDisplay("한글"), Geta + Geta);
    EXPECT_EQ(cp932FromUtf8ForDisplay("x¥"), "x" + Geta); // never a backslash
    EXPECT_EQ(cp932FromUtf8ForDisplay("ソ\xFF"), "\x83\x5C" + Geta);
    EXPECT_EQ(cp932FromUtf8ForDisplay("ソフト"), "\x83\x5C\x83\x74\x83\x67");

    EXPECT_EQ(utf8FromCp932ForDisplay("a\x83"), "a" + GetaUtf8);
    EXPECT_EQ(utf8FromCp932ForDisplay("\xFF\x83\x5C"), GetaUtf8 + "ソ");
    // A lead byte without a fitting second byte is one bad character; the
    // byte after it is read on its own.
    EXPECT_EQ(utf8FromCp932ForDisplay("\x83 x"), GetaUtf8 + " x");
    EXPECT_EQ(utf8FromCp932ForDisplay("\x95\x5C"), "表");
}

TEST(Cp932Conversion, WorksOnOtherThreads) {
    std::optional<std::string> there;
    std::thread worker([&] { there = cp932FromUtf8("表"); });
    worker.join();
    EXPECT_EQ(there, std::optional<std::string>("\x95\x5C"));
    EXPECT_EQ(cp932FromUtf8("表"), there);
}
