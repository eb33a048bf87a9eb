#include "platform/PathRules.h"

#include "platform/WordScan.h"

#include <algorithm>

namespace pathrules {

namespace {

// Where a scan from `i` must look at bytes one by one: the first word of
// eight bytes, from `i` on, that holds a byte other than a single-byte
// character that is neither `a` nor `b` (n when there is none).
std::size_t plainUntil(std::string_view text, std::size_t i, unsigned char a, unsigned char b) {
    while (i + 8 <= text.size()) {
        const std::uint64_t word = wordscan::load(text.data() + i);
        if (wordscan::hasHighByte(word) || wordscan::hasByte(word, a) || wordscan::hasByte(word, b))
            return i;
        i += 8;
    }
    return i;
}

// Calls `visit(position, length)` for each character of the text, first to
// last. A lead byte takes the next byte with it; a lead byte at the very end
// stands alone as one character.
template <typename Visit> void forEachCharacter(std::string_view text, Visit visit) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        std::size_t len = (isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < n) ? 2 : 1;
        visit(i, len);
        i += len;
    }
}

} // namespace

std::size_t lastSeparator(std::string_view path) {
    std::size_t found = std::string_view::npos;
    std::size_t i = 0;
    const std::size_t n = path.size();
    while (i < n) {
        i = plainUntil(path, i, '\\', ':');
        // The next eight bytes (or the rest) one by one; a lead byte takes the
        // byte after it along, and a lead byte at the very end stands alone.
        for (const std::size_t stop = std::min(i + 8, n); i < stop; ++i) {
            const unsigned char b = static_cast<unsigned char>(path[i]);
            if (isLeadByte(b))
                ++i;
            else if (b == '\\' || b == ':')
                found = i;
        }
    }
    return found;
}

std::size_t firstBackslash(std::string_view path) {
    std::size_t found = std::string_view::npos;
    // The first part ends at the first backslash, unless it is the whole path.
    forEachPart(path, [&](std::string_view first) {
        if (first.size() < path.size())
            found = first.size();
        return false;
    });
    return found;
}

bool containsBackslash(std::string_view path) {
    return firstBackslash(path) != std::string_view::npos;
}

bool endsWithBackslash(std::string_view path) {
    bool last = false;
    forEachCharacter(path,
                     [&](std::size_t i, std::size_t len) { last = (len == 1 && path[i] == '\\'); });
    return last;
}

std::string_view fileNamePart(std::string_view path) {
    std::size_t sep = lastSeparator(path);
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

std::string_view folderPart(std::string_view path) {
    std::size_t sep = lastSeparator(path);
    return sep == std::string_view::npos ? std::string_view() : path.substr(0, sep + 1);
}

std::string withTrailingBackslash(std::string_view folder) {
    std::string out(folder);
    if (!endsWithBackslash(folder))
        out += '\\';
    return out;
}

std::string foldCase(std::string_view text) {
    std::string out(text);
    forEachCharacter(text, [&](std::size_t i, std::size_t len) {
        if (len == 1 && out[i] >= 'A' && out[i] <= 'Z')
            out[i] = static_cast<char>(out[i] - 'A' + 'a');
    });
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    auto fold = [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    const std::size_t n = a.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if (isLeadByte(x) && i + 1 < n) {
            // A double-byte character matches only itself (equal lead bytes
            // start a character in both texts).
            if (x != y || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (fold(x) != fold(y)) {
            return false;
        }
    }
    return true;
}

} // namespace pathrules
