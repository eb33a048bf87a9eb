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

bool isAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
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

} // namespace platform
