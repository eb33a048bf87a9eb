#include "prepare/ProgramFolder.h"

#include "platform/PathRules.h"
#include "platform/System.h"

namespace prepare {

std::string installerBeside(const std::string& path) {
    return std::string(pathrules::folderPart(path)) + InstallerName;
}

bool sameFolder(platform::System& sys, const std::string& a, const std::string& b) {
    const std::string x(pathrules::folderPart(a));
    const std::string y(pathrules::folderPart(b));
    return x == y || sys.sameFile(x, y);
}

} // namespace prepare
