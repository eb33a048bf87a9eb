#include "platform/System.h"

namespace platform {

bool fileExists(System& sys, const std::string& path) {
    std::optional<FoundFile> found = sys.findFirst(path);
    return found && (found->attributes & AttrDirectory) == 0 && found->dosTime;
}

} // namespace platform
