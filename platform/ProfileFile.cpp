// Profile files as a list of lines: sections are found by a scan, keys through
// one map per section made when first needed; a write edits the lines, a save
// writes them all at once.
#include "platform/ProfileFile.h"

#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "platform/System.h"

namespace platform {

namespace {

constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16Mark = "\xFF\xFE";

// The blanks a reader ignores around names and values.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\r';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Whether a line opens a section: its first non-blank character is "[".
bool isHeader(std::string_view line) {
    line = trim(line);
    return !line.empty() && line.front() == '[';
}

// The section name of a header line: up to the first "]" that is a character
// of its own (the second byte of "ゾ" is one too), trimmed.
std::string_view headerName(std::string_view line) {
    line = trim(line).substr(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (pathrules::isLeadByte(static_cast<unsigned char>(line[i])))
            ++i;
        else if (line[i] == ']')
            return trim(line.substr(0, i));
    }
    return trim(line);
}

struct KeyLine {
    std::string_view name;  // trimmed
    std::string_view value; // as written, up to the trimmed line end
};

// The key of a line, or nullopt for a line that holds none (a comment, a
// header, no "=", an empty name).
std::optional<KeyLine> keyLine(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[')
        return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const std::string_view name = trim(line.substr(0, equals));
    if (name.empty())
        return std::nullopt;
    return KeyLine{name, line.substr(equals + 1)};
}

// A value as reading gives it: trimmed, without a pair of enclosing quotes.
std::string valueOf(std::string_view written) {
    std::string_view v = trim(written);
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool hasLineBreak(std::string_view s) {
    for (char c : s)
        if (c == '\r' || c == '\n')
            return true;
    return false;
}

// Whether a key name reads back as itself once written.
bool keyReadsBack(std::string_view key) {
    const std::string line = std::string(key) + "=";
    const std::optional<KeyLine> asRead = keyLine(line);
    return !hasLineBreak(key) && asRead && asRead->name == key;
}

} // namespace

void ProfileFile::Section::buildIndex() const {
    if (indexed)
        return;
    index.reserve(lines.size());
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (std::optional<KeyLine> key = keyLine(lines[i])) {
            index.try_emplace(pathrules::foldCase(key->name), i);
            lastKey = i;
        }
    }
    indexed = true;
}

ProfileFile ProfileFile::parse(std::string_view bytes) {
    ProfileFile ini;
    std::vector<std::string>* lines = &ini.preamble_;
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (end != std::string_view::npos && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (isHeader(line)) {
            Section& section = ini.sections_.emplace_back();
            section.name = headerName(line);
            section.folded = pathrules::foldCase(section.name);
            lines = &section.lines;
        }
        lines->emplace_back(line);
    }
    return ini;
}

std::optional<ProfileFile> ProfileFile::decode(std::string_view bytes) {
    if (bytes.substr(0, Utf8Mark.size()) == Utf8Mark)
        return std::nullopt;
    if (bytes.substr(0, Utf16Mark.size()) != Utf16Mark)
        return parse(bytes);
    bytes.remove_prefix(Utf16Mark.size());
    // Half a character at the end is no character: the profile functions
    // read up to it, and a save writes whole characters only.
    bytes.remove_suffix(bytes.size() % 2);
    const std::optional<std::string> utf8 = utf8FromUtf16le(bytes);
    const std::optional<std::string> text = utf8 ? cp932FromUtf8(*utf8) : std::nullopt;
    if (!text)
        return std::nullopt;
    ProfileFile ini = parse(*text);
    ini.utf16_ = true;
    return ini;
}

std::optional<ProfileFile> ProfileFile::load(System& sys, const std::string& path) {
    if (std::optional<std::string> bytes = sys.readFile(path))
        return decode(*bytes);
    // A file that is there but cannot be read is not an empty one: replacing
    // it would lose what it holds.
    if (sys.attributes(path) != InvalidAttributes)
        return std::nullopt;
    return ProfileFile();
}

std::string ProfileFile::serialize() const {
    std::size_t size = 0;
    auto measure = [&](const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            size += line.size() + 2;
    };
    measure(preamble_);
    for (const Section& section : sections_)
        measure(section.lines);

    std::string out;
    out.reserve(size);
    auto append = [&](const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            out.append(line).append("\r\n");
    };
    append(preamble_);
    for (const Section& section : sections_)
        append(section.lines);
    return out;
}

std::optional<std::string> ProfileFile::encode() const {
    if (!utf16_)
        return serialize();
    const std::optional<std::string> utf8 = utf8FromCp932(serialize());
    if (!utf8)
        return std::nullopt;
    return std::string(Utf16Mark) + utf16leFromUtf8(*utf8);
}

bool ProfileFile::save(System& sys, const std::string& path) const {
    const std::optional<std::string> bytes = encode();
    return bytes && sys.writeFileAtomic(path, *bytes);
}

const ProfileFile::Section* ProfileFile::find(std::string_view section) const {
    const std::string folded = pathrules::foldCase(trim(section));
    for (const Section& s : sections_)
        if (s.folded == folded)
            return &s;
    return nullptr;
}

ProfileFile::Section* ProfileFile::find(std::string_view section) {
    return const_cast<Section*>(std::as_const(*this).find(section));
}

ProfileFile::Section* ProfileFile::sectionToWrite(std::string_view section) {
    if (hasLineBreak(section))
        return nullptr;
    if (Section* s = find(section))
        return s;
    // The name must read back as itself once written.
    std::string header(1, '[');
    header.append(section).append("]");
    if (headerName(header) != section)
        return nullptr;
    std::vector<std::string>& last = sections_.empty() ? preamble_ : sections_.back().lines;
    if (!last.empty() && !trim(last.back()).empty())
        last.emplace_back();
    Section* s = &sections_.emplace_back();
    s->name = section;
    s->folded = pathrules::foldCase(section);
    s->lines.push_back(std::move(header));
    return s;
}

bool ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (hasLineBreak(value) || !keyReadsBack(key))
        return false;
    Section* s = sectionToWrite(section);
    if (s == nullptr)
        return false;
    s->buildIndex();
    auto [at, added] = s->index.try_emplace(pathrules::foldCase(key), s->lastKey + 1);
    if (added) {
        // After the last key: the lines that move down hold no key.
        s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at->second),
                        std::string(key).append("=").append(value));
        s->lastKey = at->second;
    } else {
        // The key keeps its spelling.
        std::string& old = s->lines[at->second];
        old = std::string(keyLine(old)->name).append("=").append(value);
    }
    return true;
}

bool ProfileFile::writeNumbered(std::string_view section, std::string_view prefix,
                                const std::vector<std::string_view>& values) {
    section = trim(section);
    if (values.empty())
        return true;
    if (hasSection(section) || !keyReadsBack(std::string(prefix) + "1"))
        return false;
    for (std::string_view value : values)
        if (hasLineBreak(value))
            return false;
    Section* s = sectionToWrite(section);
    if (s == nullptr)
        return false;
    // The keys are new and differ from each other: none is looked up, and
    // the index is made when next needed.
    s->lines.insert(s->lines.begin() + 1, values.size(), std::string());
    for (std::size_t i = 0; i < values.size(); ++i)
        s->lines[i + 1].append(prefix).append(std::to_string(i + 1)).append("=").append(values[i]);
    s->index.clear();
    s->lastKey = 0;
    s->indexed = false;
    return true;
}

void ProfileFile::erase(std::string_view section, std::string_view key) {
    Section* s = find(section);
    if (s == nullptr)
        return;
    s->buildIndex();
    const auto at = s->index.find(pathrules::foldCase(trim(key)));
    if (at == s->index.end())
        return;
    s->lines.erase(s->lines.begin() + static_cast<std::ptrdiff_t>(at->second));
    // The lines below moved up: the index is made again when next needed.
    s->index.clear();
    s->lastKey = 0;
    s->indexed = false;
}

std::vector<std::string> ProfileFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    if (const Section* s = find(section)) {
        for (std::size_t i = 1; i < s->lines.size(); ++i)
            if (std::optional<KeyLine> key = keyLine(s->lines[i]))
                names.emplace_back(key->name);
    }
    return names;
}

std::vector<std::pair<std::string, std::string>>
ProfileFile::entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> out;
    const Section* s = find(section);
    if (s == nullptr)
        return out;
    s->buildIndex();
    std::vector<KeyLine> keys;
    keys.reserve(s->index.size());
    for (std::size_t i = 1; i < s->lines.size(); ++i)
        if (std::optional<KeyLine> key = keyLine(s->lines[i]))
            keys.push_back(*key);
    // A later duplicate reads as the first key of its name.
    const bool duplicates = keys.size() != s->index.size();
    out.reserve(keys.size());
    for (const KeyLine& key : keys) {
        const std::string_view value =
            duplicates ? keyLine(s->lines[s->index.at(pathrules::foldCase(key.name))])->value
                       : key.value;
        out.emplace_back(std::string(key.name), valueOf(value));
    }
    return out;
}

std::optional<std::string> ProfileFile::read(std::string_view section, std::string_view key) const {
    const Section* s = find(section);
    if (s == nullptr)
        return std::nullopt;
    s->buildIndex();
    const auto at = s->index.find(pathrules::foldCase(trim(key)));
    if (at == s->index.end())
        return std::nullopt;
    return valueOf(keyLine(s->lines[at->second])->value);
}

std::string ProfileFile::read(std::string_view section, std::string_view key,
                              std::string_view fallback) const {
    return read(section, key).value_or(std::string(fallback));
}

bool ProfileFile::hasSection(std::string_view section) const {
    const Section* s = find(section);
    if (s == nullptr)
        return false;
    s->buildIndex();
    return !s->index.empty();
}

bool ProfileFile::hasKey(std::string_view section, std::string_view key) const {
    return read(section, key).has_value();
}

std::vector<std::string> ProfileFile::sectionNames() const {
    std::vector<std::string> names;
    for (const Section& s : sections_)
        names.push_back(s.name);
    return names;
}

} // namespace platform
