#include "platform/PathRules.h"

namespace pathrules {

namespace {

constexpr std::size_t None = std::string_view::npos;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
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
    for (std::size_t i = 0; i < out.size(); i = nextCharacter(out, i))
        out[i] = lower(out[i]);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && foldCase(a) == foldCase(b);
}

} // namespace pathrules
