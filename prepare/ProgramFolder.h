// What every stage says of a program folder: the names the installer and its
// control file have there. Below the stages: it includes none of them.
#pragma once

#include <string>

namespace prepare {

// The control file's name, and the installer it is for, beside it.
constexpr const char* ControlFileName = "Inst.ini";
constexpr const char* InstallerName = "Inst.exe";

// The installer in the folder of `path` (a control file, or a folder ending
// with its separator).
std::string installerBeside(const std::string& path);

} // namespace prepare
