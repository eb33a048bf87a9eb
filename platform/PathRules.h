// Path rules for Shift-JIS (code page 932) paths in Windows form.
//
// Every text inside the logic is a byte string in code page 932. A character is
// one or two bytes; a byte 0x5C is a backslash only when it is not the second
// byte of a double-byte character (as in "ソ", 0x83 0x5C). Every search for a
// separator in the tool goes through these functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pathrules {

// True for the first byte of a double-byte code page 932 character.
constexpr bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Where the character after the one at `i` begins: a lead byte takes the
// next byte with it; a lead byte at the very end stands alone.
constexpr std::size_t nextCharacter(std::string_view text, std::size_t i) {
    return isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? i + 2 : i + 1;
}

// Position of the last backslash or colon, or npos.
std::size_t lastSeparator(std::string_view path);
// Position of the first backslash, or npos.
std::size_t firstBackslash(std::string_view path);
bool containsBackslash(std::string_view path);
// True when the last character of the text is a backslash.
bool endsWithBackslash(std::string_view path);

// The text after the last backslash or colon (the whole text if there is none).
std::string_view fileNamePart(std::string_view path);
// The text up to and including the last backslash or colon (empty if there is none).
std::string_view folderPart(std::string_view path);

// The folder with a trailing backslash appended unless it already ends with one.
std::string withTrailingBackslash(std::string_view folder);

// Letters folded to small ones as Windows folds names: ASCII, and the
// full-width Latin, Greek, Cyrillic letters and Roman numerals of code page
// 932 (the second byte of a double-byte character never counts as a letter of
// its own). Used for case-insensitive names.
std::string foldCase(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace pathrules
