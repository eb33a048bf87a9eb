// Code page 932 conversions through glibc's iconv "CP932" converter, which
// follows Microsoft's table ("～" is U+FF5E, "－" U+FF0D, "∥" U+2225).
//
// glibc's encoder also accepts a few characters that do not come back as
// themselves: "¥" (U+00A5) becomes the backslash 0x5C, "‾" (U+203E) becomes
// "~", the JIS wave dash U+301C becomes Microsoft's "～", and Unicode tag
// characters vanish. A file name holding one of them would name a different
// file once it came back, so every UTF-8 to code page 932 conversion is
// checked by converting the result back; a text that does not return
// unchanged is not representable.
#include "platform/Cp932.h"

#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {

const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

// One iconv descriptor, opened on first use by each thread and kept for the
// thread's life, so converting many names costs no iconv_open each.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != NoConverter)
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input into `out` (replacing its contents); false when
    // the converter rejects any part of it (invalid or unrepresentable).
    bool convert(std::string_view in, std::string& out, std::size_t maxGrowth) {
        if (cd_ == NoConverter)
            return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.resize(in.size() * maxGrowth + 4);
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0 ||
            iconv(cd_, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            out.clear();
            return false;
        }
        out.resize(out.size() - outLeft);
        return true;
    }

private:
    iconv_t cd_;
};

struct Converters {
    Converter toCp932{"CP932", "UTF-8"};
    Converter toUtf8{"UTF-8", "CP932"};
    std::string scratch; // the round-trip check's buffer, reused
};

Converters& converters() {
    thread_local Converters c;
    return c;
}

// Each UTF-8 character takes at most two bytes in code page 932 and each code
// page 932 character at most three bytes in UTF-8 (one byte per byte at the
// least), so these bound the output.
constexpr std::size_t MaxGrowthToCp932 = 1;
constexpr std::size_t MaxGrowthToUtf8 = 3;

const char GetaCp932[] = "\x81\xAC";
const char GetaUtf8[] = "\xE3\x80\x93";

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
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

bool isLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool isTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

} // namespace

std::optional<std::string> cp932FromUtf8(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    Converters& c = converters();
    std::string out;
    if (!c.toCp932.convert(utf8, out, MaxGrowthToCp932))
        return std::nullopt;
    if (!c.toUtf8.convert(out, c.scratch, MaxGrowthToUtf8) || c.scratch != utf8)
        return std::nullopt;
    return out;
}

std::optional<std::string> utf8FromCp932(std::string_view cp932) {
    if (isAscii(cp932))
        return std::string(cp932);
    std::string out;
    if (!converters().toUtf8.convert(cp932, out, MaxGrowthToUtf8))
        return std::nullopt;
    return out;
}

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
