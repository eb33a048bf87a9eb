// Fuzzes the path rules and the checks on file-list entries with arbitrary
// bytes: no crash, and the parts they return fit together.
#include "platform/PathRules.h"
#include "prepare/Restore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    const std::string_view folder = pathrules::folderPart(path);
    const std::string_view name = pathrules::fileNamePart(path);
    // The folder part and the file-name part make up the whole path.
    if (folder.size() + name.size() != path.size() || path.substr(0, folder.size()) != folder)
        std::abort();
    if (pathrules::containsBackslash(name) || pathrules::fileNamePart(name) != name)
        std::abort();
    const std::size_t first = pathrules::firstBackslash(path);
    if ((first != std::string_view::npos) != pathrules::containsBackslash(path))
        std::abort();
    if (first != std::string_view::npos && path[first] != '\\')
        std::abort();
    const std::string folded = pathrules::foldCase(path);
    if (folded.size() != path.size() || !pathrules::equalsNoCase(folded, path))
        std::abort();
    // A safe entry never climbs out of its folder.
    if (prepare::isSafeRelativePath(path) &&
        (path.empty() || path.front() == '\\' || path.find(':') != std::string_view::npos))
        std::abort();
    return 0;
}
