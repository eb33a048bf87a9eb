// The display forms of the code page 932 conversions, the same on every
// system: each character that cannot be converted becomes the geta mark "〓".
#include "platform/Cp932.h"

#include "platform/PathRules.h"

#include <cstddef>

namespace platform {
namespace {

const char GetaCp932[] = "\x81\xAC";
const char GetaUtf8[] = "\xE3\x80\x93";

bool isLead(unsigned char b) {
    return pathrules::isLeadByte(b);
}
bool isTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// Length of the well-formed UTF-8 sequence starting at `i`, or 0 when the bytes
// there are not one (stray continuation byte, overlong form, surrogate, beyond
// U+10FFFF, cut short).
std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
    auto at = [&](std::size_t k) -> unsigned {
        return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u;
    };
    auto cont = [](unsigned b, unsigned lo = 0x80, unsigned hi = 0xBF) {
        return b >= lo && b <= hi;
    };
    unsigned b0 = at(0);
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        return cont(at(1)) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        unsigned lo = b0 == 0xE0 ? 0xA0 : 0x80;
        unsigned hi = b0 == 0xED ? 0x9F : 0xBF;
        return cont(at(1), lo, hi) && cont(at(2)) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        unsigned lo = b0 == 0xF0 ? 0x90 : 0x80;
        unsigned hi = b0 == 0xF4 ? 0x8F : 0xBF;
        return cont(at(1), lo, hi) && cont(at(2)) && cont(at(3)) ? 4 : 0;
    }
    return 0;
}

} // namespace

std::string cp932FromUtf8ForDisplay(std::string_view utf8) {
    if (auto whole = cp932FromUtf8(utf8))
        return *whole;
    // Character by character: each character that cannot be held, and each
    // byte that does not start a well-formed sequence, becomes one geta mark.
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t len = utf8SequenceLength(utf8, i);
        if (len == 0) {
            out += GetaCp932;
            ++i;
            continue;
        }
        if (auto one = cp932FromUtf8(utf8.substr(i, len)))
            out += *one;
        else
            out += GetaCp932;
        i += len;
    }
    return out;
}

std::string utf8FromCp932ForDisplay(std::string_view cp932) {
    if (auto whole = utf8FromCp932(cp932))
        return *whole;
    std::string out;
    std::size_t i = 0;
    while (i < cp932.size()) {
        unsigned char b = static_cast<unsigned char>(cp932[i]);
        std::size_t len = 1;
        // A lead byte takes its trail byte along when that byte could be one;
        // otherwise the lead byte alone is the bad character and the next byte
        // is read on its own.
        if (isLead(b) && i + 1 < cp932.size() && isTrail(static_cast<unsigned char>(cp932[i + 1])))
            len = 2;
        if (auto one = utf8FromCp932(cp932.substr(i, len)))
            out += *one;
        else
            out += GetaUtf8;
        i += len;
    }
    return out;
}

} // namespace platform
