// Fuzzes the path rules and the checks on file-list entries with arbitrary
// bytes: no crash, and the parts they return fit together.
#include "platform/PathRules.h"
#include "prepare/Restore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// The backslashes and the last separator by a walk over the characters, one
// by one: what the word-at-a-time searches must find.
void checkAgainstAWalk(std::string_view path) {
    std::vector<std::size_t> backslashes;
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(path[i]);
        if (pathrules::isLeadByte(b) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (b == '\\')
            backslashes.push_back(i);
        if (b == '\\' || b == ':')
            last = i;
    }
    const std::size_t first = backslashes.empty() ? std::string_view::npos : backslashes.front();
    if (pathrules::firstBackslash(path) != first || pathrules::lastSeparator(path) != last)
        std::abort();
    // The parts lie between those backslashes.
    std::size_t part = 0;
    std::size_t begin = 0;
    pathrules::forEachPart(path, [&](std::string_view text) {
        const std::size_t end = part < backslashes.size() ? backslashes[part] : path.size();
        if (text.data() != path.data() + begin || text.size() != end - begin)
            std::abort();
        ++part;
        begin = end + 1;
        return true;
    });
    if (part != backslashes.size() + 1)
        std::abort();
    // Refusing colons: false exactly when there is a colon byte anywhere.
    const bool noColon = pathrules::forEachPart<true>(path, [](std::string_view) { return true; });
    if (noColon != (path.find(':') == std::string_view::npos))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    checkAgainstAWalk(path);
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
