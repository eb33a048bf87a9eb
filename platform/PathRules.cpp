#include "platform/PathRules.h"

namespace pathrules {

namespace {

constexpr std::size_t None = std::string_view::npos;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The double-byte letters that Windows folds in names, each run of capitals
// with the first of its small letters: full-width Latin, Greek, Cyrillic and
// the Roman numerals.
struct Fold {
    unsigned first, last, lower;
};
constexpr Fold DoubleByteFolds[] = {
    {0x8260, 0x8279, 0x8281}, // Ａ-Ｚ
    {0x839F, 0x83B6, 0x83BF}, // Α-Ω
    {0x8440, 0x844E, 0x8470}, // А-Н
    {0x844F, 0x8460, 0x8480}, // О-Я (the trail byte 0x7F is no character)
    {0x8754, 0x875D, 0xFA40}, // Ⅰ-Ⅹ
};

unsigned lowerDoubleByte(unsigned code) {
    for (const Fold& fold : DoubleByteFolds)
        if (code >= fold.first && code <= fold.last)
            return code - fold.first + fold.lower;
    return code;
}

} // namespace

std::size_t lastSeparator(std::string_view path) {
    std::size_t found = None;
    for (std::size_t i = 0; i < path.size(); i = nextCharacter(path, i))
        if (path[i] == '\\' || path[i] == ':')
            found = i;
    return found;
}

std::size_t firstBackslash(std::string_view path) {
    for (std::size_t i = 0; i < path.size(); i = nextCharacter(path, i))
        if (path[i] == '\\')
            return i;
    return None;
}

bool containsBackslash(std::string_view path) {
    return firstBackslash(path) != None;
}

bool endsWithBackslash(std::string_view path) {
    bool last = false;
    for (std::size_t i = 0; i < path.size(); i = nextCharacter(path, i))
        last = path[i] == '\\';
    return last;
}

std::string_view fileNamePart(std::string_view path) {
    const std::size_t sep = lastSeparator(path);
    return sep == None ? path : path.substr(sep + 1);
}

std::string_view folderPart(std::string_view path) {
    const std::size_t sep = lastSeparator(path);
    return sep == None ? std::string_view() : path.substr(0, sep + 1);
}

std::string withTrailingBackslash(std::string_view folder) {
    std::string out(folder);
    if (!endsWithBackslash(folder))
        out += '\\';
    return out;
}

std::string foldCase(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); i = nextCharacter(out, i)) {
        if (nextCharacter(out, i) == i + 1) {
            out[i] = lower(out[i]);
            continue;
        }
        const unsigned code = lowerDoubleByte(static_cast<unsigned char>(out[i]) << 8 |
                                              static_cast<unsigned char>(out[i + 1]));
        out[i] = static_cast<char>(code >> 8);
        out[i + 1] = static_cast<char>(code & 0xFF);
    }
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && foldCase(a) == foldCase(b);
}

} // namespace pathrules
