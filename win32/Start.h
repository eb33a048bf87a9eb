// The start of kwarino.exe: the window over the platform layer, shown with the
// arguments of the command line, and the message loop until it closes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace platform {
class System;
}

namespace win32 {

// The whole program: the window over the given platform layer, shown, until it
// closes, with the arguments of its command line. The exit code.
int runTool(HINSTANCE instance, int showCommand, platform::System& system,
            const std::vector<std::string>& arguments);

// The arguments after the program's name on a whole command line (UTF-8), as
// Windows splits them.
std::vector<std::string> commandLineArguments(const wchar_t* commandLine);

} // namespace win32
