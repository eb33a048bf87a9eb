#include "prepare/ProgramFolder.h"

#include "platform/PathRules.h"

namespace prepare {

std::string installerBeside(const std::string& path) {
    return std::string(pathrules::folderPart(path)) + InstallerName;
}

} // namespace prepare
