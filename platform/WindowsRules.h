// Windows' answers that need no disk: the attribute bits an entry carries,
// which reparse points count as links, which names the logic's Windows form
// holds faithfully, wildcard matching as a directory search does it, and the
// years a DOS date holds. The POSIX layer rebuilds Windows' answers from these;
// the Windows layer uses those it cannot take from the system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace windowsrules {

// An entry's type, as the file system gives it (a link's target's type).
enum class Kind { Folder, File, Other };
// Whether an entry is a symbolic link, and whether its target exists.
enum class Link { None, Resolved, Dangling };

// The attribute bits (platform::Attribute) of an entry; off Windows the only
// place where they are derived:
//   folder      0x10  a folder
//   archive     0x20  a regular file
//   system      0x04  anything else (FIFO, socket, character or block device)
//   read-only   0x01  no write bit at all (mode & 0222 == 0)
//   hidden      0x02  the name starts with "."
//   reparse     0x400 a symbolic link; its other bits are those of its target.
//                     A link whose target is missing counts as a plain file
//                     (archive) with the reparse bit.
std::uint32_t attributeBits(Kind kind, bool anyWriteBit, bool hiddenName, Link link);
// Whether a native name is hidden: it starts with ".".
bool isHiddenName(std::string_view nativeName);

// Attribute bits with the reparse bit kept only for a link. Files and folders
// that cloud storage (OneDrive) keeps, deduplicated and compressed files carry
// reparse points as well, and Wine shows every mount point so (tag 0), but
// they are ordinary entries where they stand; only a reparse point whose tag
// names another entry (a symbolic link, a junction, a mounted folder) is a
// link, which the survey passes over and the restore never moves through.
std::uint32_t linksOnly(std::uint32_t attributes, std::uint32_t reparseTag);

// True for a byte that the logic's Windows form cannot carry inside a name: a
// control character, a backslash or a colon.
bool isForbiddenByte(unsigned char b);
// The logic's form (code page 932) of one native name (UTF-8). false when it
// is not faithful; `out` then holds a form fit only for messages: a backslash
// shown as "＼", a colon as "：", every control character, invalid byte or
// character code page 932 cannot hold as "〓".
bool logicName(std::string_view native, std::string& out);

// A name (code page 932) against a pattern as a Windows directory search
// matches them: "*" matches any run of characters, "?" exactly one character
// (one or two bytes), everything else itself, case-sensitively; a pattern
// ending in ".*" also matches names without that dot part, so "*.*" matches
// every name and "readme.*" matches "readme".
bool wildcardMatch(std::string_view pattern, std::string_view name);

// Whether a year (of a local time) lies in the range a DOS date holds.
bool inDosYears(long year);

} // namespace windowsrules
