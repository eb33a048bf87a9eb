#include "platform/WindowsRules.h"

#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "platform/System.h"

namespace windowsrules {

using namespace platform;

namespace {

// Set in the tag of a reparse point that names another entry
// (IsReparseTagNameSurrogate).
constexpr std::uint32_t NameSurrogateTag = 0x20000000;

// The length in bytes of the character at `i`.
std::size_t characterLength(std::string_view s, std::size_t i) {
    return pathrules::nextCharacter(s, i) - i;
}

// The plain match, without the ".*" rule.
bool matchCharacters(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starN = n;
            continue;
        }
        if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += characterLength(name, n);
            continue;
        }
        if (p < pattern.size()) {
            std::size_t pl = characterLength(pattern, p);
            std::size_t nl = characterLength(name, n);
            if (pl == nl && pattern.substr(p, pl) == name.substr(n, nl)) {
                p += pl;
                n += nl;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        starN += characterLength(name, starN);
        n = starN;
        p = starP;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

std::uint32_t attributeBits(Kind kind, bool anyWriteBit, bool hiddenName, Link link) {
    std::uint32_t bits = 0;
    if (link == Link::Dangling) {
        bits = AttrArchive | AttrReparsePoint;
    } else {
        bits = kind == Kind::Folder ? AttrDirectory : kind == Kind::File ? AttrArchive : AttrSystem;
        if (!anyWriteBit)
            bits |= AttrReadOnly;
        if (link == Link::Resolved)
            bits |= AttrReparsePoint;
    }
    if (hiddenName)
        bits |= AttrHidden;
    return bits;
}

bool isHiddenName(std::string_view nativeName) {
    return !nativeName.empty() && nativeName[0] == '.';
}

std::uint32_t linksOnly(std::uint32_t attributes, std::uint32_t reparseTag) {
    if ((attributes & AttrReparsePoint) && !(reparseTag & NameSurrogateTag))
        attributes &= ~std::uint32_t{AttrReparsePoint};
    return attributes;
}

bool isForbiddenByte(unsigned char b) {
    return b < 0x20 || b == '\\' || b == ':';
}

bool logicName(std::string_view native, std::string& out) {
    bool ascii = true;
    bool forbidden = false;
    for (char c : native) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b >= 0x80)
            ascii = false;
        else if (isForbiddenByte(b))
            forbidden = true;
    }
    if (!forbidden) {
        if (ascii) {
            out.assign(native.data(), native.size());
            return true;
        }
        if (auto converted = cp932FromUtf8(native)) {
            out = std::move(*converted);
            return true;
        }
    }
    std::string shown;
    shown.reserve(native.size() + 8);
    for (char c : native) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b == '\\')
            shown += "\xEF\xBC\xBC"; // U+FF3C
        else if (b == ':')
            shown += "\xEF\xBC\x9A"; // U+FF1A
        else if (b < 0x20)
            shown += "\xE3\x80\x93"; // U+3013, the geta mark
        else
            shown += c;
    }
    out = cp932FromUtf8ForDisplay(shown);
    return false;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (matchCharacters(pattern, name))
        return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return matchCharacters(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

bool inDosYears(long year) {
    return year >= 1980 && year <= 2107;
}

} // namespace windowsrules
