#include "prepare/Restore.h"

#include "platform/PathRules.h"
#include "platform/ProfileFile.h"
#include "platform/System.h"

namespace prepare {

bool isSafeRelativePath(std::string_view entry) {
    if (entry.empty() || entry.front() == '\\' || entry.find(':') != std::string_view::npos)
        return false;
    std::string_view rest = entry;
    while (true) {
        const std::size_t pos = pathrules::firstBackslash(rest);
        const std::string_view part = rest.substr(0, pos);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (pos == std::string_view::npos)
            return true;
        rest.remove_prefix(pos + 1);
    }
}

void restoreControlFile(platform::System& sys, const std::string& controlFile) {
    if (!platform::fileExists(sys, controlFile))
        return;
    const platform::ProfileFile ini = platform::ProfileFile::load(sys, controlFile);
    if (!ini.hasKey("Install", "InstallDir"))
        return;

    const std::string folder(pathrules::folderPart(controlFile));
    const std::string_view ownName = pathrules::fileNamePart(controlFile);
    for (const std::string& key : ini.keys("Files")) {
        const std::string value = ini.read("Files", key, "Nothing");
        if (!pathrules::containsBackslash(value) || !isSafeRelativePath(value))
            continue;
        const std::string_view name = pathrules::fileNamePart(value);
        // The control file itself is never moved away from its folder.
        if (pathrules::equalsNoCase(name, ownName))
            continue;
        sys.moveNoReplace(folder + std::string(name), folder + value);
    }
    sys.removeFile(controlFile);
}

void restoreOnClose(platform::System& sys, const std::vector<std::string>& createdIniFiles) {
    for (const std::string& path : createdIniFiles)
        restoreControlFile(sys, path);
}

} // namespace prepare
