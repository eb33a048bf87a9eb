#include "platform/ProfileFile.h"

#include "platform/PathRules.h"
#include "platform/System.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace platform {

namespace {

// What one line of the file is. Lines that are neither a section header nor a
// key (blank lines, comments, text without "=") are kept but never read.
enum class Kind : unsigned char { Other, Header, Key };

struct LineShape {
    Kind kind = Kind::Other;
    // The section name (Header) or the key name (Key), trimmed.
    std::size_t nameBegin = 0;
    std::size_t nameLength = 0;
    // The value, trimmed, quotes still on (Key only).
    std::size_t valueBegin = 0;
    std::size_t valueLength = 0;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\r';
}

std::string_view trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool holdsLineBreak(std::string_view text) {
    for (char c : text)
        if (c == '\n' || c == '\r')
            return true;
    return false;
}

// Reads one line (without its line end) the way the profile functions do.
LineShape shapeOf(std::string_view line) {
    LineShape shape;
    std::size_t begin = 0;
    std::size_t end = line.size();
    while (begin < end && isBlank(line[begin]))
        ++begin;
    while (end > begin && isBlank(line[end - 1]))
        --end;
    if (begin == end || line[begin] == ';')
        return shape;

    if (line[begin] == '[') {
        // The name ends at the first "]" that is a character of its own: the
        // second byte of a double-byte character may be 0x5D.
        std::size_t close = end;
        std::size_t i = begin + 1;
        while (i < end) {
            const unsigned char b = static_cast<unsigned char>(line[i]);
            if (b == ']') {
                close = i;
                break;
            }
            i += (pathrules::isLeadByte(b) && i + 1 < end) ? 2 : 1;
        }
        std::size_t nameBegin = begin + 1;
        std::size_t nameEnd = close;
        while (nameBegin < nameEnd && isBlank(line[nameBegin]))
            ++nameBegin;
        while (nameEnd > nameBegin && isBlank(line[nameEnd - 1]))
            --nameEnd;
        shape.kind = Kind::Header;
        shape.nameBegin = nameBegin;
        shape.nameLength = nameEnd - nameBegin;
        return shape;
    }

    // "=" (0x3D) is never the second byte of a double-byte character.
    const void* found = std::memchr(line.data() + begin, '=', end - begin);
    if (found == nullptr)
        return shape;
    const std::size_t equals = static_cast<const char*>(found) - line.data();
    std::size_t nameEnd = equals;
    while (nameEnd > begin && isBlank(line[nameEnd - 1]))
        --nameEnd;
    if (nameEnd == begin)
        return shape; // "=value": Windows lists no key without a name
    std::size_t valueBegin = equals + 1;
    while (valueBegin < end && isBlank(line[valueBegin]))
        ++valueBegin;
    shape.kind = Kind::Key;
    shape.nameBegin = begin;
    shape.nameLength = nameEnd - begin;
    shape.valueBegin = valueBegin;
    shape.valueLength = end - valueBegin;
    return shape;
}

// One line of the file, without its line end. Kept small (a file may have
// many thousands of lines): its parts are worked out again when needed.
struct Line {
    // Into the parsed bytes, or into the written texts once written.
    std::string_view text;
    Kind kind = Kind::Other;
    bool written = false; // `text` lies in the written texts

    std::string_view name() const {
        const LineShape shape = shapeOf(text);
        return text.substr(shape.nameBegin, shape.nameLength);
    }
    std::string_view value() const {
        const LineShape shape = shapeOf(text);
        return text.substr(shape.valueBegin, shape.valueLength);
    }
    bool isKey() const { return kind == Kind::Key; }
};

// The value as GetPrivateProfileString returns it: without one pair of
// enclosing quotes.
std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// Case folding for names, byte by byte, by the rule of pathrules::foldCase:
// ASCII letters fold to lower case; a lead byte and the byte after it form one
// double-byte character, both kept as they are (the second may look like a
// letter). Done in place rather than on a folded copy, so that neither
// building the index of a file nor a lookup allocates.
class Folder {
public:
    explicit Folder(std::string_view text) : text_(text) {}
    unsigned char at(std::size_t i) {
        const unsigned char b = static_cast<unsigned char>(text_[i]);
        if (trail_) {
            trail_ = false;
            return b;
        }
        if (pathrules::isLeadByte(b) && i + 1 < text_.size()) {
            trail_ = true;
            return b;
        }
        return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
    }

private:
    std::string_view text_;
    bool trail_ = false;
};

// Eight ASCII bytes with their capital letters made small, all at once: for
// each byte (high bit clear) the high bit of `atLeastA` says >= 'A', that of
// `aboveZ` says > 'Z'; the bytes in between get the 0x20 bit.
std::uint64_t lowerAscii(std::uint64_t word) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t highs = 0x8080808080808080u;
    const std::uint64_t atLeastA = word + (0x80 - 'A') * ones;
    const std::uint64_t aboveZ = word + (0x80 - 'Z' - 1) * ones;
    return word | (((atLeastA ^ aboveZ) & highs) >> 2);
}

// A hash of the folded name: equal for names that match. Eight folded bytes
// at a time; a name of ASCII bytes only (the usual case) is folded eight
// bytes at a time too.
std::uint64_t foldedHash(std::string_view name) {
    std::uint64_t h = 0x9E3779B97F4A7C15u ^ name.size();
    const std::size_t n = name.size();
    unsigned char any = 0;
    for (char c : name)
        any |= static_cast<unsigned char>(c);
    const bool ascii = (any & 0x80) == 0;
    Folder folder(name);
    for (std::size_t i = 0; i < n; i += 8) {
        std::uint64_t word = 0;
        const std::size_t m = n - i < 8 ? n - i : 8;
        if (ascii) {
            // Byte k of the part goes to bits 8k, as below.
            for (std::size_t k = 0; k < m; ++k)
                word |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i + k]))
                        << (8 * k);
            word = lowerAscii(word);
        } else {
            for (std::size_t k = 0; k < m; ++k)
                word |= static_cast<std::uint64_t>(folder.at(i + k)) << (8 * k);
        }
        h = (h ^ word) * 0xff51afd7ed558ccdu;
        h ^= h >> 32;
    }
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53u;
    h ^= h >> 33;
    return h;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    if (a == b)
        return true;
    Folder foldA(a);
    Folder foldB(b);
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldA.at(i) != foldB.at(i))
            return false;
    return true;
}

// Name -> position of the first line with that name, for one list of lines:
// open addressing over a flat table of hashes and positions.
class NameIndex {
public:
    static constexpr std::size_t None = static_cast<std::size_t>(-1);

    // `nameAt(position)` gives the name stored for a position.
    template <typename NameAt>
    std::size_t find(std::string_view name, std::uint64_t hash, NameAt nameAt) const {
        if (slots_.empty())
            return None;
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask; slots_[i].position != 0; i = (i + 1) & mask) {
            const Slot& slot = slots_[i];
            if (slot.hash == static_cast<std::uint32_t>(hash) &&
                sameName(nameAt(slot.position - 1), name))
                return slot.position - 1;
        }
        return None;
    }

    // For a name that is not in the index yet.
    void insert(std::uint64_t hash, std::size_t position) {
        if (position >= UINT32_MAX - 1)
            throw std::length_error("profile file: too many lines");
        if ((count_ + 1) * 4 > slots_.size() * 3)
            grow();
        place(hash, position);
        ++count_;
    }

    bool empty() const { return count_ == 0; }
    std::size_t size() const { return count_; }

private:
    struct Slot {
        std::uint32_t hash = 0;     // the low half of the name's hash
        std::uint32_t position = 0; // plus one; zero marks a free slot
    };

    void place(std::uint64_t hash, std::size_t position) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = hash & mask;
        while (slots_[i].position != 0)
            i = (i + 1) & mask;
        slots_[i] =
            Slot{static_cast<std::uint32_t>(hash), static_cast<std::uint32_t>(position + 1)};
    }

    void grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 16 : old.size() * 2, Slot{});
        for (const Slot& slot : old)
            if (slot.position != 0)
                place(slot.hash, slot.position - 1);
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

struct Section {
    Line header;
    // The lines up to and including the last key: new keys are appended here.
    std::vector<Line> body;
    // Blank lines, comments and other text after the last key.
    std::vector<Line> tail;
    // Key name -> position in `body` of its first key line. Filled only for
    // the first section of a name, the one that is read and written.
    NameIndex keyIndex;

    std::size_t findKey(std::string_view name, std::uint64_t hash) const {
        return keyIndex.find(name, hash, [this](std::size_t i) { return body[i].name(); });
    }
    // Adds a key line of `body`, named `name`, to the index unless its name is
    // there already.
    void indexKey(std::size_t position, std::string_view name) {
        const std::uint64_t hash = foldedHash(name);
        if (findKey(name, hash) == NameIndex::None)
            keyIndex.insert(hash, position);
    }

    // Moves the lines after the last key from `body` to `tail`.
    void close() {
        std::size_t keep = body.size();
        while (keep > 0 && !body[keep - 1].isKey())
            --keep;
        tail.assign(body.begin() + static_cast<std::ptrdiff_t>(keep), body.end());
        body.resize(keep);
    }
};

// The texts of written lines, one after the other in blocks that never move,
// so that a write allocates only now and then.
class TextStore {
public:
    // The three parts joined, kept as long as the store.
    std::string_view store(std::string_view a, std::string_view b, std::string_view c) {
        const std::size_t size = a.size() + b.size() + c.size();
        if (size > room_) {
            const std::size_t blockSize = std::max(size, BlockSize);
            blocks_.emplace_back(new char[blockSize]);
            next_ = blocks_.back().get();
            room_ = blockSize;
        }
        char* out = next_;
        // An empty part may have no storage at all: copy only what is there.
        auto put = [](char* to, std::string_view part) {
            if (!part.empty())
                std::memcpy(to, part.data(), part.size());
        };
        put(out, a);
        put(out + a.size(), b);
        put(out + a.size() + b.size(), c);
        next_ += size;
        room_ -= size;
        return std::string_view(out, size);
    }
    // Gives back the text stored last.
    void giveBack(std::string_view last) {
        next_ -= last.size();
        room_ += last.size();
    }

private:
    static constexpr std::size_t BlockSize = std::size_t{16} << 10;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t room_ = 0;
};

} // namespace

struct ProfileFile::Impl {
    std::string source; // the parsed bytes; lines read from it point into it
    bool byteOrderMark = false;
    std::vector<Line> preamble; // lines before the first section
    std::vector<Section> sections;
    // Section name -> position in `sections` of its first header.
    NameIndex sectionIndex;
    // Texts of written lines.
    TextStore written;

    void build();
    // The section that is read and written for a name (trimmed here), or null.
    const Section* find(std::string_view name) const;
    std::size_t findSection(std::string_view name, std::uint64_t hash) const {
        return sectionIndex.find(name, hash,
                                 [this](std::size_t i) { return sections[i].header.name(); });
    }
    // Adds the last section to the index unless its name is there already;
    // true when it is the first of its name.
    bool indexLastSection() {
        const std::string_view name = sections.back().header.name();
        const std::uint64_t hash = foldedHash(name);
        if (findSection(name, hash) != NameIndex::None)
            return false;
        sectionIndex.insert(hash, sections.size() - 1);
        return true;
    }
    const Line* lastLine() const;
    // Gives the line a text of the store.
    void setText(Line& line, std::string_view stored, Kind kind);

    template <typename Each> void forEachLine(Each each) const {
        for (const Line& line : preamble)
            each(line);
        for (const Section& section : sections) {
            each(section.header);
            for (const Line& line : section.body)
                each(line);
            for (const Line& line : section.tail)
                each(line);
        }
    }
};

void ProfileFile::Impl::build() {
    const std::string_view all = source;
    const std::size_t n = all.size();
    std::size_t pos = 0;
    if (all.substr(0, 3) == "\xEF\xBB\xBF") {
        byteOrderMark = true;
        pos = 3;
    }
    bool indexed = false; // the current section is the first of its name
    while (pos < n) {
        const void* found = std::memchr(all.data() + pos, '\n', n - pos);
        const std::size_t end = found ? static_cast<const char*>(found) - all.data() : n;
        std::size_t lineEnd = end;
        if (lineEnd > pos && all[lineEnd - 1] == '\r')
            --lineEnd;
        Line line;
        line.text = all.substr(pos, lineEnd - pos);
        const LineShape shape = shapeOf(line.text);
        line.kind = shape.kind;
        pos = found ? end + 1 : n;

        if (line.kind == Kind::Header) {
            if (!sections.empty())
                sections.back().close();
            sections.emplace_back();
            sections.back().header = line;
            indexed = indexLastSection();
        } else if (sections.empty()) {
            preamble.push_back(line);
        } else {
            Section& section = sections.back();
            section.body.push_back(line);
            if (indexed && line.isKey())
                section.indexKey(section.body.size() - 1,
                                 line.text.substr(shape.nameBegin, shape.nameLength));
        }
    }
    if (!sections.empty())
        sections.back().close();
}

const Section* ProfileFile::Impl::find(std::string_view name) const {
    name = trim(name);
    const std::size_t found = findSection(name, foldedHash(name));
    return found == NameIndex::None ? nullptr : &sections[found];
}

const Line* ProfileFile::Impl::lastLine() const {
    if (sections.empty())
        return preamble.empty() ? nullptr : &preamble.back();
    const Section& last = sections.back();
    if (!last.tail.empty())
        return &last.tail.back();
    if (!last.body.empty())
        return &last.body.back();
    return &last.header;
}

void ProfileFile::Impl::setText(Line& line, std::string_view stored, Kind kind) {
    line.text = stored;
    line.written = true;
    line.kind = kind;
}

ProfileFile::ProfileFile() : impl_(std::make_unique<Impl>()) {}
ProfileFile::~ProfileFile() = default;
ProfileFile::ProfileFile(ProfileFile&&) noexcept = default;
ProfileFile& ProfileFile::operator=(ProfileFile&&) noexcept = default;

ProfileFile ProfileFile::parse(std::string_view bytes) {
    ProfileFile profile;
    profile.impl_->source.assign(bytes.data(), bytes.size());
    profile.impl_->build();
    return profile;
}

ProfileFile ProfileFile::load(System& sys, const std::string& path) {
    ProfileFile profile;
    if (std::optional<std::string> bytes = sys.readFile(path)) {
        profile.impl_->source = std::move(*bytes);
        profile.impl_->build();
    }
    return profile;
}

std::string ProfileFile::serialize() const {
    std::string out;
    if (!impl_)
        return out;
    std::size_t size = impl_->byteOrderMark ? 3 : 0;
    impl_->forEachLine([&](const Line& line) { size += line.text.size() + 2; });
    out.reserve(size);
    if (impl_->byteOrderMark)
        out += "\xEF\xBB\xBF";
    impl_->forEachLine([&](const Line& line) {
        out += line.text;
        out += "\r\n";
    });
    return out;
}

bool ProfileFile::save(System& sys, const std::string& path) const {
    return sys.writeFileAtomic(path, serialize());
}

bool ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value))
        return false;
    if (!impl_)
        impl_ = std::make_unique<Impl>();
    Impl& d = *impl_;

    const std::uint64_t sectionHash = foldedHash(section);
    std::size_t found = d.findSection(section, sectionHash);
    std::string header;
    if (found == NameIndex::None) {
        // The header of a new section must read back as this section.
        header.reserve(section.size() + 2);
        header += '[';
        header += section;
        header += ']';
        const LineShape headerShape = shapeOf(header);
        if (headerShape.kind != Kind::Header ||
            std::string_view(header).substr(headerShape.nameBegin, headerShape.nameLength) !=
                section)
            return false;
    }
    // So must the line of the key, or the entry cannot be held.
    const std::string_view keyLine = d.written.store(key, "=", value);
    const LineShape keyShape = shapeOf(keyLine);
    if (keyShape.kind != Kind::Key ||
        keyLine.substr(keyShape.nameBegin, keyShape.nameLength) != key) {
        d.written.giveBack(keyLine);
        return false;
    }

    if (found == NameIndex::None) {
        const Line* last = d.lastLine();
        if (last != nullptr && !trim(last->text).empty()) {
            Line blank; // empty text, read from nowhere
            if (d.sections.empty())
                d.preamble.push_back(blank);
            else
                d.sections.back().tail.push_back(blank);
        }
        d.sections.emplace_back();
        d.setText(d.sections.back().header, d.written.store(header, {}, {}), Kind::Header);
        found = d.sections.size() - 1;
        d.sectionIndex.insert(sectionHash, found);
    }
    Section& target = d.sections[found];

    const std::uint64_t keyHash = foldedHash(key);
    const std::size_t existing = target.findKey(key, keyHash);
    if (existing != NameIndex::None) {
        // The key keeps its place and the spelling it has in the file (a name
        // that matches has the same length as the key).
        Line& line = target.body[existing];
        const std::string_view spelling = line.name();
        char* text = const_cast<char*>(keyLine.data());
        std::memmove(text, spelling.data(), spelling.size());
        if (line.written && line.text.size() >= keyLine.size()) {
            // Over the old text, which is no longer needed.
            char* old = const_cast<char*>(line.text.data());
            std::memmove(old, text, keyLine.size());
            d.written.giveBack(keyLine);
            d.setText(line, std::string_view(old, keyLine.size()), Kind::Key);
        } else {
            d.setText(line, keyLine, Kind::Key);
        }
        return true;
    }
    target.body.emplace_back();
    d.setText(target.body.back(), keyLine, Kind::Key);
    target.keyIndex.insert(keyHash, target.body.size() - 1);
    return true;
}

std::vector<std::string> ProfileFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    const Section* found = impl_ ? impl_->find(section) : nullptr;
    if (found == nullptr)
        return names;
    names.reserve(found->keyIndex.size());
    for (const Line& line : found->body)
        if (line.isKey())
            names.emplace_back(line.name());
    return names;
}

std::optional<std::string> ProfileFile::read(std::string_view section, std::string_view key) const {
    const Section* found = impl_ ? impl_->find(section) : nullptr;
    if (found == nullptr)
        return std::nullopt;
    key = trim(key);
    const std::size_t line = found->findKey(key, foldedHash(key));
    if (line == NameIndex::None)
        return std::nullopt;
    return std::string(unquoted(found->body[line].value()));
}

std::string ProfileFile::read(std::string_view section, std::string_view key,
                              std::string_view fallback) const {
    std::optional<std::string> value = read(section, key);
    return value ? std::move(*value) : std::string(fallback);
}

bool ProfileFile::hasSection(std::string_view section) const {
    const Section* found = impl_ ? impl_->find(section) : nullptr;
    return found != nullptr && !found->keyIndex.empty();
}

bool ProfileFile::hasKey(std::string_view section, std::string_view key) const {
    const Section* found = impl_ ? impl_->find(section) : nullptr;
    if (found == nullptr)
        return false;
    key = trim(key);
    return found->findKey(key, foldedHash(key)) != NameIndex::None;
}

std::vector<std::string> ProfileFile::sectionNames() const {
    std::vector<std::string> names;
    if (!impl_)
        return names;
    names.reserve(impl_->sections.size());
    for (const Section& section : impl_->sections)
        names.emplace_back(section.header.name());
    return names;
}

} // namespace platform
