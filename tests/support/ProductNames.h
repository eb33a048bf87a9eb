// The names of the files the tool writes and starts, as the product spells
// them. Tests use these and never type the names again; one test pins them.
#pragma once

#include "prepare/ProgramFolder.h"

#include <string>

namespace testing_support {

inline const std::string Ini = prepare::ControlFileName;
inline const std::string Installer = prepare::InstallerName;

} // namespace testing_support
