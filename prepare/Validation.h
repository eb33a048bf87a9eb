// The checks of an install request, in their fixed order.
#pragma once

#include "prepare/RunState.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace platform {
class System;
}

namespace prepare {

// The window's fields. A text is nullopt when the window could not convert it
// to code page 932 (it holds a character code page 932 cannot hold).
struct RequestTexts {
    std::optional<std::string> programFile; // logic form, made absolute
    std::optional<std::string> application;
    std::array<std::optional<std::string>, StartMenuRowCount> startMenuNames;
    std::array<std::optional<std::string>, StartMenuRowCount>
        startMenuFiles; // logic form, made absolute
};

// The field that gets the keyboard focus after a failed check.
enum class Field {
    None,
    ProgramFile,
    Application,
    StartMenuName, // of the row the rejection names
    StartMenuFile, // of the row the rejection names
};

struct Rejection {
    std::string message; // code page 932
    Field focus = Field::None;
    int row = 0; // 1.. for the start-menu fields
};

// True when the text holds a control character (CR, LF, NUL and the rest):
// written to the control file it would break its lines.
bool hasControlCharacter(std::string_view text);

// True when a profile reader gives back exactly this value: no control
// character, no blank at either end (readers trim them), and not enclosed in
// a pair of quotes (readers strip them).
bool readsBackAsWritten(std::string_view value);

// True when the text holds a character Windows does not allow in a file or
// folder name (\ / : * ? " < > |), found character by character: the second
// byte of "ソ" is no backslash.
bool hasUnusableNameCharacter(std::string_view text);

// True for a device name Windows keeps ("CON", "com1.txt") or a name of dots and spaces only.
bool isReservedName(std::string_view name);

// The file a path names: its folder part and the name of the first match,
// so a wildcard becomes the file it matched. The path as it is when nothing
// matches.
std::string resolvedFile(platform::System& sys, const std::string& path);

// Runs every check. On success the run state's program values name the file
// the program-file field names (a browse's values are kept when the field
// still shows the browsed file; otherwise they are derived from the text, the
// wildcard resolved to the file it matched).
std::optional<Rejection> validateRequest(platform::System& sys, RunState& state,
                                         const RequestTexts& texts);

} // namespace prepare
