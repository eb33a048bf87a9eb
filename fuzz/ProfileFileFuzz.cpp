// Fuzzes the profile-file reader and writer with arbitrary bytes: no crash,
// every listed key can be read, the written text reads back the same, and a
// written value reads back as GetPrivateProfileString would return it.
//
// Input: three length bytes, then the section, key and value to write, then
// the file's bytes (UTF-16 after FF FE, as on Windows).
#include "platform/PathRules.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

using platform::ProfileFile;

void check(bool ok) {
    if (!ok)
        std::abort();
}

// A written value as reading returns it: blanks around it dropped, then one
// pair of enclosing quotes.
std::string readBack(std::string_view value) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\r'; };
    while (!value.empty() && blank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && blank(value.back()))
        value.remove_suffix(1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Sections, keys and values as read; also checks that every listed key is found.
std::string contents(const ProfileFile& ini) {
    std::string out;
    for (const std::string& section : ini.sectionNames()) {
        out += '[';
        out += section;
        out += "]\n";
        const auto keys = ini.keys(section);
        check(ini.hasSection(section) == !keys.empty());
        for (const std::string& key : keys) {
            // Found by its name as listed and as folded by the path rules.
            check(ini.hasKey(section, key));
            check(ini.hasKey(pathrules::foldCase(section), pathrules::foldCase(key)));
            const auto value = ini.read(section, key);
            check(value.has_value());
            out += key;
            out += '=';
            out += *value;
            out += '\n';
        }
    }
    return out;
}

// Writes one entry and checks it reads back, before and after a round trip.
void writeAndCheck(ProfileFile& ini, std::string_view section, std::string_view key,
                   std::string_view value) {
    const std::string before = ini.serialize();
    if (!ini.write(section, key, value)) {
        check(ini.serialize() == before); // a refused entry changes nothing
        return;
    }
    const std::string expected = readBack(value);
    check(ini.read(section, key) == expected);
    const ProfileFile again = ProfileFile::parse(ini.serialize());
    check(again.read(section, key) == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input.size() < 3)
        return 0;
    std::size_t sectionLength = static_cast<unsigned char>(input[0]) % 16;
    std::size_t keyLength = static_cast<unsigned char>(input[1]) % 16;
    std::size_t valueLength = static_cast<unsigned char>(input[2]) % 64;
    input.remove_prefix(3);
    auto take = [&input](std::size_t n) {
        n = std::min(n, input.size());
        std::string_view part = input.substr(0, n);
        input.remove_prefix(n);
        return part;
    };
    const std::string_view section = take(sectionLength);
    const std::string_view key = take(keyLength);
    const std::string_view value = take(valueLength);

    std::optional<ProfileFile> decoded = ProfileFile::decode(input);
    if (!decoded)
        return 0;
    ProfileFile& ini = *decoded;
    const std::string read = contents(ini);
    // Saved in its own encoding, the file reads back the same.
    const std::optional<std::string> bytes = ini.encode();
    check(bytes && contents(ProfileFile::decode(*bytes).value()) == read);
    const std::string text = ini.serialize();
    const ProfileFile reparsed = ProfileFile::parse(text);
    check(reparsed.serialize() == text);
    check(contents(reparsed) == read);

    // A key that exists already, then the entry from the input.
    const auto sections = ini.sectionNames();
    if (!sections.empty()) {
        const auto keys = ini.keys(sections.front());
        if (!keys.empty())
            writeAndCheck(ini, sections.front(), keys.front(), value);
    }
    writeAndCheck(ini, section, key, value);
    return 0;
}
