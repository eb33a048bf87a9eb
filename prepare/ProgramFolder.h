// What every stage says of a program folder: the names the installer and its
// control file have there, and whether two paths lie in one folder. Below the
// stages: it includes none of them.
#pragma once

#include <string>

namespace platform {
class System;
}

namespace prepare {

// The control file's name, and the installer it is for, beside it.
constexpr const char* ControlFileName = "Inst.ini";
constexpr const char* InstallerName = "Inst.exe";

// The installer in the folder of `path` (a control file, or a folder ending
// with its separator).
std::string installerBeside(const std::string& path);

// Whether two paths lie in one folder, however each is spelled (other
// letters, a short name, a link on the way): the file system decides.
bool sameFolder(platform::System& sys, const std::string& a, const std::string& b);

} // namespace prepare
