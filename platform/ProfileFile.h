// Windows profile (INI) files, held in memory as a list of lines.
//
// The text is code page 932 bytes and is never decoded. Reading follows what
// GetPrivateProfileString does with files other writers produce:
// - lines end with LF or CR LF (a CR before the line end is part of it); a
//   lone CR elsewhere is an ordinary byte, as on Windows;
// - a UTF-8 byte-order mark is no mark to them: its bytes belong to the first
//   line;
// - blanks (space, tab, vertical tab, CR) around names and values are ignored;
// - a line whose first non-blank character is ";" is a comment;
// - a line whose first non-blank character is "[" opens a section; the name is
//   the text up to the first "]" (or to the line end when there is none),
//   blanks inside the brackets ignored, anything after the "]" ignored;
// - "name=value" is a key (the first "=" splits); a line without "=" or with an
//   empty name is no key: it is not listed and reading it gives the fallback;
// - keys before the first section belong to no section and are never found;
// - a duplicated section: only the first one is read and written; a duplicated
//   key: the first one gives the value, the key list names every one;
// - a value enclosed in a matching pair of double or single quotes is read
//   without them;
// - names match without regard to letter case, folded as pathrules::foldCase
//   folds them; names given to the functions are trimmed like the file's names.
// Values and key lists have no length limit.
//
// A file that starts with the mark FF FE is UTF-16LE, as a file saved as
// Unicode: the profile functions read and update it so, and so does this one;
// a last byte that is half a character is ignored, as they ignore it. A file
// that starts with the UTF-8 mark cannot be read: Windows reads it in the code
// page and Wine as UTF-8, so the two would see different lists. Every other
// file is code page 932 bytes.
//
// Writing keeps every line it does not change, byte for byte. A new section
// goes to the end of the file, after a blank line unless the file is empty or
// already ends with one; a new key goes right after the last key of its
// section (before the blank lines and comments that end it). An existing key
// keeps its place and its spelling and its line becomes "key=value". Values are
// written as they are, without quotes, as WritePrivateProfileString does. The
// text is written with CR LF line ends.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

class System;

class ProfileFile {
public:
    // Code page 932 text.
    static ProfileFile parse(std::string_view bytes);
    // A file's bytes in either encoding; nullopt for a file that starts with
    // the UTF-8 mark, and for UTF-16 that is malformed or holds a character
    // code page 932 cannot.
    static std::optional<ProfileFile> decode(std::string_view bytes);
    // The file's contents parsed: an empty profile when there is no file,
    // nullopt when there is one that cannot be read.
    static std::optional<ProfileFile> load(System& sys, const std::string& path);

    // The text in code page 932.
    std::string serialize() const;
    // The file's bytes in its own encoding; nullopt when the text cannot be
    // written in it.
    std::optional<std::string> encode() const;
    // One atomic write of the whole file; false when it failed.
    bool save(System& sys, const std::string& path) const;

    // Sets the value, creating the section and the key as needed. false, with
    // nothing changed, when a profile file cannot hold the entry: a line break
    // (CR or LF) in any of the three, an empty key name, a key name that would
    // read back as something else (starting with ";" or "[", holding "="), a
    // section name that would (holding "]").
    bool write(std::string_view section, std::string_view key, std::string_view value);
    // Writes the keys <prefix>1, <prefix>2, ... with the values in order into
    // a section that holds no key yet, as that many writes would, in one pass.
    // false, with nothing changed, when the section holds a key or the file
    // cannot hold an entry (as for write).
    bool writeNumbered(std::string_view section, std::string_view prefix,
                       const std::vector<std::string_view>& values);
    // Deletes the first key of that name, as WritePrivateProfileString does
    // when given no value; nothing when there is none.
    void erase(std::string_view section, std::string_view key);

    // Key names of a section in file order (duplicates included, as listed).
    std::vector<std::string> keys(std::string_view section) const;
    // Every key of a section in file order with the value reading it gives
    // (that of the first key of its name, as `read`).
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;
    // The value of the first matching key, whole (no length limit).
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    std::string read(std::string_view section, std::string_view key,
                     std::string_view fallback) const;
    // A section exists when it holds at least one key.
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    // Every section header in file order, duplicates included.
    std::vector<std::string> sectionNames() const;

private:
    struct Section {
        std::string name;               // as the header spells it, trimmed
        std::string folded;             // the name for matching
        std::vector<std::string> lines; // the header first, without line ends
        // Each key's folded name and the line of its first occurrence, and the
        // line of the last key (0: none); made when first needed.
        mutable std::unordered_map<std::string, std::size_t> index;
        mutable std::size_t lastKey = 0;
        mutable bool indexed = false;
        void buildIndex() const;
    };

    const Section* find(std::string_view section) const;
    Section* find(std::string_view section);
    // The section a write goes to, made at the end when there is none;
    // nullptr when the name would read back as another (`section` trimmed).
    Section* sectionToWrite(std::string_view section);

    bool utf16_ = false;
    std::vector<std::string> preamble_; // the lines before the first section
    std::vector<Section> sections_;
};

} // namespace platform
