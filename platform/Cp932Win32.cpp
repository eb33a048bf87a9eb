// Code page 932 conversions through the Windows converters, named by number
// (never CP_ACP), so the tool reads and writes the same bytes whatever code
// page the system runs with.
//
// Nothing is replaced silently: the decoders run with MB_ERR_INVALID_CHARS,
// the encoder with WC_NO_BEST_FIT_CHARS and a check of lpUsedDefaultChar ("¥"
// would otherwise become the backslash 0x5C, "é" a plain "e"). On top of that
// every encoding is decoded again and compared, so a character whose bytes
// would read back as another one is refused as well.
//
// Windows also maps the single bytes 0x80, 0xA0 and 0xFD to 0xFF to U+0080
// and private-use characters. They are no Shift-JIS characters, and the
// converter on other systems refuses them, so they are refused here too: a
// text is valid or not the same way everywhere.
#include "platform/Cp932.h"

#include <windows.h>

#include <climits>

namespace platform {

namespace {

constexpr UINT Cp932 = 932;

const char GetaCp932[] = "\x81\xAC";
const char GetaUtf8[] = "\xE3\x80\x93";

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool isTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

// False when a single byte outside a double-byte character is one Shift-JIS
// leaves unassigned (see above). Lead and trail bytes are left to the decoder.
bool singleBytesAssigned(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (isLead(b)) {
            ++i;
            continue;
        }
        if (b == 0x80 || b == 0xA0 || b >= 0xFD)
            return false;
    }
    return true;
}

bool fitsInt(std::size_t n) {
    return n <= static_cast<std::size_t>(INT_MAX) / 4;
}

// Bytes of `codePage` to UTF-16, refusing invalid input.
bool decode(UINT codePage, std::string_view in, std::wstring& out) {
    out.clear();
    if (in.empty())
        return true;
    if (!fitsInt(in.size()))
        return false;
    const int inLen = static_cast<int>(in.size());
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), inLen, nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<std::size_t>(n));
    n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), inLen, out.data(), n);
    if (n <= 0) {
        out.clear();
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

// UTF-16 to code page 932, refusing every character that would need the
// default character or a best-fit stand-in.
bool encodeCp932(std::wstring_view in, std::string& out) {
    out.clear();
    if (in.empty())
        return true;
    if (!fitsInt(in.size()))
        return false;
    const int inLen = static_cast<int>(in.size());
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(Cp932, WC_NO_BEST_FIT_CHARS, in.data(), inLen, nullptr, 0, nullptr,
                                &usedDefault);
    if (n <= 0 || usedDefault)
        return false;
    out.resize(static_cast<std::size_t>(n));
    n = WideCharToMultiByte(Cp932, WC_NO_BEST_FIT_CHARS, in.data(), inLen, out.data(), n, nullptr,
                            &usedDefault);
    if (n <= 0 || usedDefault) {
        out.clear();
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

// UTF-16 to UTF-8; a lone surrogate fails.
bool encodeUtf8(std::wstring_view in, std::string& out) {
    out.clear();
    if (in.empty())
        return true;
    if (!fitsInt(in.size()))
        return false;
    const int inLen = static_cast<int>(in.size());
    int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, in.data(), inLen, nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0)
        return false;
    out.resize(static_cast<std::size_t>(n));
    n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, in.data(), inLen, out.data(), n, nullptr,
                            nullptr);
    if (n <= 0) {
        out.clear();
        return false;
    }
    out.resize(static_cast<std::size_t>(n));
    return true;
}

bool decodeCp932(std::string_view in, std::wstring& out) {
    return singleBytesAssigned(in) && decode(Cp932, in, out);
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

std::optional<std::string> cp932FromUtf8(std::string_view utf8) {
    if (isAscii(utf8))
        return std::string(utf8);
    std::wstring wide;
    std::string out;
    if (!decode(CP_UTF8, utf8, wide) || !encodeCp932(wide, out))
        return std::nullopt;
    std::wstring back;
    if (!decodeCp932(out, back) || back != wide)
        return std::nullopt;
    return out;
}

std::optional<std::string> utf8FromCp932(std::string_view cp932) {
    if (isAscii(cp932))
        return std::string(cp932);
    std::wstring wide;
    std::string out;
    if (!decodeCp932(cp932, wide) || !encodeUtf8(wide, out))
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
