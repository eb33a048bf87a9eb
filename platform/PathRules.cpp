#include "platform/PathRules.h"

namespace pathrules {

namespace {

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
    forEachCharacter(path, [&](std::size_t i, std::size_t len) {
        if (len == 1 && (path[i] == '\\' || path[i] == ':'))
            found = i;
    });
    return found;
}

std::size_t firstBackslash(std::string_view path) {
    std::size_t i = 0;
    const std::size_t n = path.size();
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(path[i]);
        if (isLeadByte(b)) {
            i += 2; // the trail byte (possibly 0x5C) belongs to this character
            continue;
        }
        if (b == '\\')
            return i;
        ++i;
    }
    return std::string_view::npos;
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
    return a.size() == b.size() && foldCase(a) == foldCase(b);
}

} // namespace pathrules
