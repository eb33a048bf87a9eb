// Windows profile (INI) files, held in memory.
//
// Reading accepts what other writers produce: LF or CR LF line ends, blank
// lines, ";" comments, spaces around "=", keys before any section (ignored),
// duplicated keys (the first one counts) and duplicated sections (the first one
// counts). Section and key names match without regard to letter case (ASCII
// letters only; double-byte characters are compared as they are).
//
// Writing keeps every line it does not change. A new section goes to the end
// of the file, a new key to the end of its section, an existing key keeps its
// place and gets the new value. The text is written with CR LF line ends.
#pragma once

#include <cstddef>
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

    void write(std::string_view section, std::string_view key, std::string_view value);

    // Key names of a section in file order (duplicates included, as listed).
    std::vector<std::string> keys(std::string_view section) const;
    // The value of the first matching key, whole (no length limit).
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    std::string read(std::string_view section, std::string_view key,
                     std::string_view fallback) const;
    // A section exists when it holds at least one key.
    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    std::vector<std::string> sectionNames() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
