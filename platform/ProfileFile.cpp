#include "platform/ProfileFile.h"

#include "platform/PathRules.h"
#include "platform/System.h"
#include "platform/WordScan.h"

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
    // A word is looked at closely only when it holds a byte up to CR (file
    // names and texts hardly ever do).
    auto holds = [](std::uint64_t word) {
        return wordscan::hasByteBelow(word, '\r' + 1) &&
               (wordscan::hasByte(word, '\n') || wordscan::hasByte(word, '\r'));
    };
    const std::size_t n = text.size();
    if (n < 8) {
        for (char c : text)
            if (c == '\n' || c == '\r')
                return true;
        return false;
    }
    // Whole words, the last one reaching back over bytes already seen.
    for (std::size_t i = 0; i + 8 < n; i += 8)
        if (holds(wordscan::load(text.data() + i)))
            return true;
    return holds(wordscan::load(text.data() + n - 8));
}

// Copies a text; one of 8 to 32 bytes as two fixed-size copies that overlap,
// without a call.
void copyText(char* to, std::string_view text) {
    const std::size_t n = text.size();
    const char* from = text.data();
    if (n >= 16 && n <= 32) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8 && n < 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n != 0) {
        std::memcpy(to, from, n);
    }
}

// Reads one line (without its line end) the way the profile functions do.
LineShape shapeOf(std::string_view line) {
    LineShape shape;
    const std::string_view trimmed = trim(line);
    const std::size_t begin = static_cast<std::size_t>(trimmed.data() - line.data());
    const std::size_t end = begin + trimmed.size();
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
        const std::string_view name = trim(line.substr(begin + 1, close - begin - 1));
        shape.kind = Kind::Header;
        shape.nameBegin = static_cast<std::size_t>(name.data() - line.data());
        shape.nameLength = name.size();
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

// One line of the file, without its line end, with its parts as read.
struct Line {
    // Into the parsed bytes, or into the written texts once written.
    std::string_view text;
    std::uint32_t nameBegin = 0;
    std::uint32_t nameLength = 0;
    std::uint32_t valueBegin = 0;
    std::uint32_t valueLength = 0;
    Kind kind = Kind::Other;
    bool written = false; // `text` lies in the written texts

    std::string_view name() const { return text.substr(nameBegin, nameLength); }
    std::string_view value() const { return text.substr(valueBegin, valueLength); }
    bool isKey() const { return kind == Kind::Key; }
};

// The line of a text whose shape is known. A line of 4 GiB or more, which no
// profile file holds, is kept but never read.
Line lineOf(std::string_view text, const LineShape& shape, bool written) {
    Line line;
    line.text = text;
    line.written = written;
    if (text.size() >= UINT32_MAX)
        return line;
    line.kind = shape.kind;
    line.nameBegin = static_cast<std::uint32_t>(shape.nameBegin);
    line.nameLength = static_cast<std::uint32_t>(shape.nameLength);
    line.valueBegin = static_cast<std::uint32_t>(shape.valueBegin);
    line.valueLength = static_cast<std::uint32_t>(shape.valueLength);
    return line;
}

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
    return pathrules::equalsNoCase(a, b);
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

// Calls `each(text)` for the lines of a text as the reader splits a file
// (without their line ends) until it returns false.
template <typename Each> void forEachLineOf(std::string_view text, Each each) {
    std::size_t pos = 0;
    const std::size_t n = text.size();
    while (pos < n) {
        const void* found = std::memchr(text.data() + pos, '\n', n - pos);
        const std::size_t end = found ? static_cast<const char*>(found) - text.data() : n;
        std::size_t lineEnd = end;
        if (lineEnd > pos && text[lineEnd - 1] == '\r')
            --lineEnd;
        if (!each(text.substr(pos, lineEnd - pos)))
            return;
        pos = found ? end + 1 : n;
    }
}

// Whether every line of a text ends with CR LF (the last one too).
bool endsEveryLineWithCrLf(std::string_view text) {
    if (text.empty())
        return true;
    if (text.back() != '\n')
        return false;
    for (std::size_t pos = 0; (pos = text.find('\n', pos)) != std::string_view::npos; ++pos)
        if (pos == 0 || text[pos - 1] != '\r')
            return false;
    return true;
}

// The last line of a text (without its line end).
std::string_view lastLineOf(std::string_view text) {
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    const std::size_t newline = text.rfind('\n');
    return newline == std::string_view::npos ? text : text.substr(newline + 1);
}

// Adds one to the decimal number that ends the text from `from` on ("9" and
// an empty number become "10" and "1").
void countUp(std::string& text, std::size_t from) {
    std::size_t i = text.size();
    while (i > from && text[i - 1] == '9')
        text[--i] = '0';
    if (i > from)
        ++text[i - 1];
    else
        text.insert(from, 1, '1');
}

// Tells, name by name, whether the names so far are one name followed by the
// numbers 1, 2, 3 ... in order ("Item1", "Item2" ...): names that differ from
// each other, known without looking any of them up.
class NumberedNames {
public:
    bool next(std::string_view name) {
        if (expected_.empty()) {
            const std::size_t last = name.find_last_not_of("0123456789");
            prefixLength_ = last == std::string_view::npos ? 0 : last + 1;
            expected_.assign(name.substr(0, prefixLength_));
            count();
        }
        const std::string_view expected = expected_;
        const bool numbered =
            name.size() == expected.size() &&
            name.substr(prefixLength_) == expected.substr(prefixLength_) &&
            // The same spelling as the first name (the usual case), or another.
            (name.substr(0, prefixLength_) == expected.substr(0, prefixLength_) ||
             sameName(name.substr(0, prefixLength_), expected.substr(0, prefixLength_)));
        count();
        return numbered;
    }

    // Whether a line starts with the next name, spelled as the first one,
    // followed by "=": a key line of exactly that name. It is then taken as
    // the next name.
    bool nextStarts(std::string_view line) {
        const std::size_t n = expected_.size();
        if (n == 0 || line.size() <= n || line[n] != '=' ||
            std::memcmp(line.data(), expected_.data(), n) != 0)
            return false;
        last_ = n;
        count();
        return true;
    }
    // The length of the name `nextStarts` took last.
    std::size_t lastLength() const { return last_; }

private:
    void count() { countUp(expected_, prefixLength_); }

    // The next name: the first name's prefix and the next number.
    std::string expected_;
    std::size_t prefixLength_ = 0;
    std::size_t last_ = 0;
};

struct Section {
    Line header;
    // Set off from the text before it by a blank line of its own (a section
    // that a write added after a line of text).
    bool blankBefore = false;
    // The first section of its name: the one that is read and written.
    bool primary = false;

    // Until its lines are needed one by one, a section is the text after its
    // header line up to the next header, as read or as a list was written: a
    // section that is only listed, or saved unchanged, is never split.
    mutable bool unsplit = false;
    mutable std::string_view raw;
    mutable bool rawWholeLines = false; // known: every line of `raw` ends with CR LF
    mutable bool rawWritten = false;    // `raw` lies in the written texts

    // Once split: the lines up to and including the last key (new keys are
    // appended here), and the blank lines, comments and other text after it.
    mutable std::vector<Line> body;
    mutable std::vector<Line> tail;
    mutable std::size_t keyCount = 0; // key lines in `body`

    // Key name -> position in `body` of its first key line, built at the first
    // look-up: a section that is only listed never pays for it.
    mutable NameIndex keyIndex;
    mutable bool indexed = false;
    mutable bool duplicateKeys = false; // known once indexed

    void split() const {
        if (!unsplit)
            return;
        unsplit = false;
        forEachLineOf(raw, [this](std::string_view text) {
            const Line line = lineOf(text, shapeOf(text), rawWritten);
            body.push_back(line);
            if (line.isKey())
                ++keyCount;
            return true;
        });
        raw = {};
        // The lines after the last key are the tail.
        std::size_t keep = body.size();
        while (keep > 0 && !body[keep - 1].isKey())
            --keep;
        tail.assign(body.begin() + static_cast<std::ptrdiff_t>(keep), body.end());
        body.resize(keep);
    }
    bool hasKeys() const {
        if (!unsplit)
            return keyCount != 0;
        bool found = false;
        forEachLineOf(raw, [&found](std::string_view text) {
            found = lineOf(text, shapeOf(text), false).isKey();
            return !found;
        });
        return found;
    }
    // No line at all after the header.
    bool empty() const { return unsplit ? raw.empty() : body.empty() && tail.empty(); }
    // The last line of the section, the header included.
    std::string_view lastLine() const {
        if (unsplit)
            return raw.empty() ? header.text : lastLineOf(raw);
        if (!tail.empty())
            return tail.back().text;
        return body.empty() ? header.text : body.back().text;
    }

    void index() const {
        if (indexed)
            return;
        split();
        keyIndex = NameIndex();
        duplicateKeys = false;
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (!body[i].isKey())
                continue;
            const std::string_view name = body[i].name();
            const std::uint64_t hash = foldedHash(name);
            if (findIndexed(name, hash) == NameIndex::None)
                keyIndex.insert(hash, i);
            else
                duplicateKeys = true;
        }
        indexed = true;
    }
    std::size_t findKey(std::string_view name, std::uint64_t hash) const {
        index();
        return findIndexed(name, hash);
    }
    // A key line appended to `body` after a look-up found no key of its name.
    void addKey(Line line, std::uint64_t hash) {
        body.push_back(line);
        ++keyCount;
        keyIndex.insert(hash, body.size() - 1);
    }

private:
    std::size_t findIndexed(std::string_view name, std::uint64_t hash) const {
        return keyIndex.find(name, hash, [this](std::size_t i) { return body[i].name(); });
    }
};

// The texts of written lines, one after the other in blocks that never move,
// so that a write allocates only now and then.
class TextStore {
public:
    // Room for `size` bytes, kept as long as the store.
    char* take(std::size_t size) {
        if (size > room_) {
            const std::size_t blockSize = std::max(size, BlockSize);
            blocks_.emplace_back(new char[blockSize]);
            next_ = blocks_.back().get();
            room_ = blockSize;
        }
        char* out = next_;
        next_ += size;
        room_ -= size;
        return out;
    }
    // The three parts joined.
    std::string_view store(std::string_view a, std::string_view b, std::string_view c) {
        const std::size_t size = a.size() + b.size() + c.size();
        char* out = take(size);
        // An empty part may have no storage at all: copy only what is there.
        auto put = [](char* to, std::string_view part) {
            if (!part.empty())
                std::memcpy(to, part.data(), part.size());
        };
        put(out, a);
        put(out + a.size(), b);
        put(out + a.size() + b.size(), c);
        return std::string_view(out, size);
    }
    // Keeps a text made elsewhere as long as the others.
    const char* keep(std::unique_ptr<char[]> text) {
        blocks_.push_back(std::move(text));
        return blocks_.back().get();
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
    // Marks the last section as the first of its name, and indexes it, unless
    // its name is there already.
    void indexLastSection() {
        const std::string_view name = sections.back().header.name();
        const std::uint64_t hash = foldedHash(name);
        if (findSection(name, hash) != NameIndex::None)
            return;
        sectionIndex.insert(hash, sections.size() - 1);
        sections.back().primary = true;
    }
    // Whether the last line of the file holds text.
    bool endsWithText() const;
    // The section of a name to write into, created at the end of the file when
    // there is none; null when a header of that name would not read back.
    Section* sectionForWriting(std::string_view name);

    // Calls `put(text)` for the texts of the file, first to last, with CR LF
    // line ends. A section's text is given as it is only when its lines end
    // in CR LF; another is split into lines first.
    template <typename Put> void emit(Put put) const {
        auto putLines = [&put](const std::vector<Line>& lines) {
            for (const Line& line : lines) {
                put(line.text);
                put("\r\n");
            }
        };
        if (byteOrderMark)
            put("\xEF\xBB\xBF");
        putLines(preamble);
        for (const Section& section : sections) {
            if (section.blankBefore)
                put("\r\n");
            put(section.header.text);
            put("\r\n");
            if (section.unsplit && !section.rawWholeLines) {
                if (endsEveryLineWithCrLf(section.raw))
                    section.rawWholeLines = true;
                else
                    section.split();
            }
            if (section.unsplit) {
                put(section.raw);
            } else {
                putLines(section.body);
                putLines(section.tail);
            }
        }
    }
};

void ProfileFile::Impl::build() {
    const std::string_view all = source;
    const std::size_t n = all.size();
    std::size_t start = 0;
    if (all.substr(0, 3) == "\xEF\xBB\xBF") {
        byteOrderMark = true;
        start = 3;
    }
    // Only the header lines are read here, found by their "[": the lines of a
    // section wait until they are needed. A "[" that is the second byte of a
    // double-byte character follows its first byte, never a blank.
    // The text up to a header (or the end) is the last section's, or the
    // lines before the first section.
    auto endText = [this](std::string_view text) {
        if (!sections.empty()) {
            sections.back().raw = text;
            return;
        }
        forEachLineOf(text, [this](std::string_view line) {
            preamble.push_back(lineOf(line, shapeOf(line), false));
            return true;
        });
    };
    std::size_t rawBegin = start; // where the text after the last header begins
    std::size_t search = start;
    while (search < n) {
        const void* bracket = std::memchr(all.data() + search, '[', n - search);
        if (bracket == nullptr)
            break;
        const std::size_t at = static_cast<const char*>(bracket) - all.data();
        std::size_t lineBegin = at;
        while (lineBegin > start && isBlank(all[lineBegin - 1]))
            --lineBegin;
        search = at + 1;
        if (lineBegin > start && all[lineBegin - 1] != '\n')
            continue; // text before it on its line
        const void* newline = std::memchr(all.data() + at, '\n', n - at);
        const std::size_t end = newline ? static_cast<const char*>(newline) - all.data() : n;
        std::size_t lineEnd = end;
        if (lineEnd > lineBegin && all[lineEnd - 1] == '\r')
            --lineEnd;
        const std::string_view text = all.substr(lineBegin, lineEnd - lineBegin);

        endText(all.substr(rawBegin, lineBegin - rawBegin));
        sections.emplace_back();
        sections.back().header = lineOf(text, shapeOf(text), false);
        sections.back().unsplit = true;
        indexLastSection();
        rawBegin = newline ? end + 1 : n;
        search = rawBegin;
    }
    endText(all.substr(rawBegin));
}

const Section* ProfileFile::Impl::find(std::string_view name) const {
    name = trim(name);
    const std::size_t found = findSection(name, foldedHash(name));
    return found == NameIndex::None ? nullptr : &sections[found];
}

bool ProfileFile::Impl::endsWithText() const {
    if (sections.empty())
        return !preamble.empty() && !trim(preamble.back().text).empty();
    return !trim(sections.back().lastLine()).empty();
}

Section* ProfileFile::Impl::sectionForWriting(std::string_view name) {
    const std::uint64_t hash = foldedHash(name);
    const std::size_t found = findSection(name, hash);
    if (found != NameIndex::None)
        return &sections[found];
    const std::string_view header = written.store("[", name, "]");
    const LineShape shape = shapeOf(header);
    if (shape.kind != Kind::Header || header.substr(shape.nameBegin, shape.nameLength) != name) {
        written.giveBack(header);
        return nullptr;
    }
    const bool blankBefore = endsWithText();
    sections.emplace_back();
    Section& added = sections.back();
    added.header = lineOf(header, shape, true);
    added.blankBefore = blankBefore;
    added.primary = true;
    sectionIndex.insert(hash, sections.size() - 1);
    return &added;
}

namespace {

// Whether "key=value" reads back as that key: a trimmed name that holds no
// "=" and starts with neither ";" nor "[". The value cannot change that.
bool holdsAsKey(std::string_view key) {
    return !key.empty() && key.front() != ';' && key.front() != '[' &&
           key.find('=') == std::string_view::npos && trim(key).size() == key.size();
}

// The key line "key=value" stored in `text`, its parts worked out without
// reading it again.
Line keyLine(std::string_view text, std::size_t keyLength) {
    LineShape shape;
    shape.kind = Kind::Key;
    shape.nameLength = keyLength;
    const std::string_view value = trim(text.substr(keyLength + 1));
    shape.valueBegin = static_cast<std::size_t>(value.data() - text.data());
    shape.valueLength = value.size();
    return lineOf(text, shape, true);
}

} // namespace

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
    std::size_t size = 0;
    impl_->emit([&size](std::string_view text) { size += text.size(); });
    out.reserve(size);
    impl_->emit([&out](std::string_view text) { out += text; });
    return out;
}

bool ProfileFile::save(System& sys, const std::string& path) const {
    if (!impl_)
        return sys.writeFileAtomic(path, {});
    // Long texts (a section never split, such as a long list) are written
    // from where they lie; the rest is joined around them.
    constexpr std::size_t Long = std::size_t{64} << 10;
    std::string joined;
    std::vector<std::pair<std::size_t, std::string_view>> longTexts; // after joined[0, first)
    std::size_t size = 0;
    impl_->emit([&size](std::string_view text) {
        if (text.size() < Long)
            size += text.size();
    });
    joined.reserve(size);
    impl_->emit([&](std::string_view text) {
        if (text.size() < Long)
            joined += text;
        else
            longTexts.emplace_back(joined.size(), text);
    });
    std::vector<std::string_view> pieces;
    std::size_t done = 0;
    for (const auto& [at, text] : longTexts) {
        pieces.push_back(std::string_view(joined).substr(done, at - done));
        pieces.push_back(text);
        done = at;
    }
    pieces.push_back(std::string_view(joined).substr(done));
    return sys.writeAtomic(path, pieces);
}

bool ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value) ||
        !holdsAsKey(key) || value.size() >= UINT32_MAX - key.size() - 1)
        return false;
    if (!impl_)
        impl_ = std::make_unique<Impl>();
    Impl& d = *impl_;
    Section* const target = d.sectionForWriting(section);
    if (target == nullptr)
        return false;

    const std::string_view text = d.written.store(key, "=", value);
    const std::uint64_t keyHash = foldedHash(key);
    const std::size_t existing = target->findKey(key, keyHash);
    if (existing == NameIndex::None) {
        target->addKey(keyLine(text, key.size()), keyHash);
        return true;
    }
    // The key keeps its place and the spelling it has in the file (a name
    // that matches has the same length as the key).
    Line& line = target->body[existing];
    const std::string_view spelling = line.name();
    std::memmove(const_cast<char*>(text.data()), spelling.data(), spelling.size());
    if (line.written && line.text.size() >= text.size()) {
        // Over the old text, which is no longer needed.
        char* old = const_cast<char*>(line.text.data());
        std::memmove(old, text.data(), text.size());
        d.written.giveBack(text);
        line = keyLine(std::string_view(old, text.size()), key.size());
    } else {
        line = keyLine(text, key.size());
    }
    return true;
}

bool ProfileFile::writeList(std::string_view section, std::string_view prefix, std::size_t count,
                            const std::function<std::string_view(std::size_t)>& valueAt) {
    if (count == 0)
        return true;
    section = trim(section);
    std::string key(prefix);
    key += std::to_string(count);
    if (holdsLineBreak(section) || holdsLineBreak(key) || !holdsAsKey(key))
        return false;
    // The list's text is made first, each value checked as it is copied,
    // before anything changes: each line is the key, "=", the value and
    // CR LF. The keys are written as the prefix with the number of tens
    // (empty below 10), copied as 16 bytes at once where it fits, and the
    // last digit. The text is made in one pass, its room guessed from the
    // number of lines and doubled when it runs out, with room for such a
    // copy to reach beyond the line.
    constexpr std::size_t Copied = 16;
    std::size_t room = count * (key.size() + 32);
    std::unique_ptr<char[]> list(new char[room]);
    std::size_t size = 0;
    std::string tens(prefix);
    std::string padded;
    auto pad = [&] {
        padded.assign(tens);
        padded.append(Copied, '\0');
    };
    pad();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t number = i + 1;
        if (number % 10 == 0) {
            countUp(tens, prefix.size());
            pad();
        }
        const std::string_view value = valueAt(i);
        if (value.size() >= UINT32_MAX - key.size() - 1)
            return false;
        const std::size_t line = tens.size() + 2 + value.size() + 2;
        if (room - size < line + Copied) {
            room = std::max(2 * room, size + line + Copied);
            std::unique_ptr<char[]> larger(new char[room]);
            std::memcpy(larger.get(), list.get(), size);
            list = std::move(larger);
        }
        char* next = list.get() + size;
        if (tens.size() <= Copied)
            std::memcpy(next, padded.data(), Copied);
        else
            std::memcpy(next, tens.data(), tens.size());
        next += tens.size();
        *next++ = static_cast<char>('0' + number % 10);
        *next++ = '=';
        copyText(next, value);
        if (holdsLineBreak(value))
            return false;
        next += value.size();
        *next++ = '\r';
        *next++ = '\n';
        size += line;
    }

    if (!impl_)
        impl_ = std::make_unique<Impl>();
    Impl& d = *impl_;
    Section* const target = d.sectionForWriting(section);
    if (target == nullptr)
        return false;

    if (target->hasKeys()) {
        // Keys of these names may be there already: one write each.
        for (std::size_t i = 0; i < count; ++i)
            write(section, std::string(prefix) + std::to_string(i + 1), valueAt(i));
        return true;
    }
    if (!target->empty()) {
        // Comments or blank lines but no key: the list goes before them.
        target->split();
        target->indexed = false;
        target->body.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            key.replace(prefix.size(), key.npos, std::to_string(i + 1));
            target->body.push_back(keyLine(d.written.store(key, "=", valueAt(i)), key.size()));
        }
        target->keyCount = count;
        return true;
    }
    // A section without lines: the list becomes its text, as if read from a
    // file, and is split into lines only when they are needed.
    const char* const text = d.written.keep(std::move(list));
    target->unsplit = true;
    target->raw = std::string_view(text, size);
    target->rawWholeLines = true;
    target->rawWritten = true;
    target->indexed = false;
    return true;
}

std::vector<std::string> ProfileFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    const Section* found = impl_ ? impl_->find(section) : nullptr;
    if (found == nullptr)
        return names;
    found->split();
    names.reserve(found->keyCount);
    for (const Line& line : found->body)
        if (line.isKey())
            names.emplace_back(line.name());
    return names;
}

void ProfileFile::forEachEntry(
    std::string_view section,
    const std::function<void(std::string_view key, std::string_view value)>& each) const {
    const Section* found = impl_ ? impl_->find(section) : nullptr;
    if (found == nullptr)
        return;
    // While the names are numbered, each key line gives its own value, read
    // straight from the text of a section that is not split.
    NumberedNames numbered;
    std::size_t given = 0;
    bool distinct = true;
    auto give = [&](const Line& line) {
        if (!line.isKey())
            return true;
        distinct = numbered.next(line.name());
        if (distinct) {
            each(line.name(), unquoted(line.value()));
            ++given;
        }
        return distinct;
    };
    if (found->unsplit) {
        forEachLineOf(found->raw, [&](std::string_view text) {
            // The next name as the names before it spell it, right at the
            // line's start, needs no more reading than where its value is.
            if (text.size() < UINT32_MAX && numbered.nextStarts(text)) {
                const std::size_t equals = numbered.lastLength();
                std::size_t begin = equals + 1;
                std::size_t end = text.size();
                while (begin < end && isBlank(text[begin]))
                    ++begin;
                while (end > begin && isBlank(text[end - 1]))
                    --end;
                each(text.substr(0, equals), unquoted(text.substr(begin, end - begin)));
                ++given;
                return true;
            }
            const LineShape shape = shapeOf(text);
            return shape.kind != Kind::Key || give(lineOf(text, shape, false));
        });
    } else {
        for (const Line& line : found->body)
            if (!give(line))
                break;
    }
    if (distinct)
        return;
    // Otherwise a key reads the value of the first key of its name.
    found->index();
    for (const Line& line : found->body) {
        if (!line.isKey())
            continue;
        if (given > 0) {
            --given;
            continue;
        }
        const std::string_view name = line.name();
        const Line& first =
            found->duplicateKeys ? found->body[found->findKey(name, foldedHash(name))] : line;
        each(name, unquoted(first.value()));
    }
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
    return found != nullptr && found->hasKeys();
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
