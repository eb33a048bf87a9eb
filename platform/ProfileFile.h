// Windows profile (INI) files, held in memory.
//
// The text is code page 932 bytes and is never decoded. Reading follows what
// GetPrivateProfileString does with files other writers produce:
// - lines end with LF or CR LF (a CR before the line end is part of it); a
//   lone CR elsewhere is an ordinary byte, as on Windows;
// - a UTF-8 byte-order mark at the start is skipped (and kept on writing);
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
// - names match without regard to letter case: ASCII letters only, double-byte
//   characters are compared as they are (their second byte may look like a
//   letter); names given to the functions are trimmed like the file's names.
// Values and key lists have no length limit.
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
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class System;

class ProfileFile {
public:
    ProfileFile();
    ~ProfileFile();
    ProfileFile(ProfileFile&&) noexcept;
    ProfileFile& operator=(ProfileFile&&) noexcept;

    static ProfileFile parse(std::string_view bytes);
    // The file's contents parsed; an empty profile when it cannot be read.
    static ProfileFile load(System& sys, const std::string& path);

    std::string serialize() const;
    // One atomic write of the whole text; false when it failed.
    bool save(System& sys, const std::string& path) const;

    // Sets the value, creating the section and the key as needed. false, with
    // nothing changed, when a profile file cannot hold the entry: a line break
    // (CR or LF) in any of the three, an empty key name, a key name that would
    // read back as something else (starting with ";" or "[", holding "="), a
    // section name that would (holding "]").
    bool write(std::string_view section, std::string_view key, std::string_view value);
    // Writes a numbered list: prefix1=valueAt(0), prefix2=valueAt(1), ... up to
    // `count`, with the effect of one write each; false, with nothing changed,
    // when any entry cannot be held. Into a section without keys (the usual
    // case: a new file) the entries are appended without a look-up each.
    // `valueAt` is called more than once for an entry and must return a view
    // of text that outlives the call (not of a string it makes).
    bool writeList(std::string_view section, std::string_view prefix, std::size_t count,
                   const std::function<std::string_view(std::size_t)>& valueAt);

    // Key names of a section in file order (duplicates included, as listed).
    std::vector<std::string> keys(std::string_view section) const;
    // Every key of a section in file order with the value reading it gives
    // (that of the first key of its name, as `read`). The texts live as long
    // as the profile is not changed.
    void forEachEntry(
        std::string_view section,
        const std::function<void(std::string_view key, std::string_view value)>& each) const;
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
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
