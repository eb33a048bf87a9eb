// Path rules for Shift-JIS (code page 932) paths in Windows form.
//
// Every text inside the logic is a byte string in code page 932. A character is
// one or two bytes; a byte 0x5C is a backslash only when it is not the second
// byte of a double-byte character (as in "ソ", 0x83 0x5C). Every search for a
// separator in the tool goes through these functions.
#pragma once

#include "platform/WordScan.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace pathrules {

// True for the first byte of a double-byte code page 932 character.
constexpr bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Calls `each(part)` for the parts of the path between its backslashes, first
// to last (a path without a backslash is one part, an empty path one empty
// part), until `each` returns false; false then. Runs of eight single-byte
// characters are searched a word at a time. With `RefuseColon`, a colon byte
// anywhere (a second byte included: no character of code page 932 has ":" as
// its second byte) also ends the walk with false, when it is reached.
template <bool RefuseColon = false, typename Each>
bool forEachPart(std::string_view path, Each each) {
    std::size_t begin = 0;
    std::size_t i = 0;
    const std::size_t n = path.size();
    while (i < n) {
        if (i + 8 <= n) {
            const std::uint64_t word = wordscan::load(path.data() + i);
            if (!wordscan::hasHighByte(word)) {
                if (RefuseColon && wordscan::hasByte(word, ':'))
                    return false;
                // Eight single-byte characters: their backslashes are found
                // all at once.
                for (std::uint64_t marks = wordscan::bytesEqualTo(word, '\\'); marks != 0;
                     marks = wordscan::withoutFirst(marks)) {
                    const std::size_t at = i + wordscan::firstMarked(marks);
                    if (!each(path.substr(begin, at - begin)))
                        return false;
                    begin = at + 1;
                }
                i += 8;
                continue;
            }
        }
        // These eight bytes one by one: the trail byte of a double-byte
        // character (possibly 0x5C) belongs to its character.
        for (const std::size_t stop = std::min(i + 8, n); i < stop; ++i) {
            const unsigned char b = static_cast<unsigned char>(path[i]);
            if (RefuseColon && b == ':')
                return false;
            if (isLeadByte(b)) {
                if (RefuseColon && i + 1 < n && path[i + 1] == ':')
                    return false;
                ++i;
            } else if (b == '\\') {
                if (!each(path.substr(begin, i - begin)))
                    return false;
                begin = i + 1;
            }
        }
    }
    return each(path.substr(begin));
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

// ASCII letters folded to lower case, double-byte characters left alone (their
// second byte may look like a letter). Used for case-insensitive names.
std::string foldCase(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace pathrules
