#include "support/FaultySystem.h"

#include "platform/PathRules.h"

#include <algorithm>

namespace testing_support {

bool FaultySystem::failing(const char* op, const std::string& path) {
    calls.push_back(std::string(op) + " " + path);
    return fail && fail(op, path);
}

std::optional<platform::FoundFile> FaultySystem::findFirst(const std::string& path) {
    if (failing("findFirst", path))
        return std::nullopt;
    return inner_.findFirst(path);
}

template <typename List>
bool FaultySystem::listing(const char* op, const std::string& folder,
                           const std::function<void(const platform::DirEntry&)>& each, List list) {
    if (failing(op, folder))
        return false;
    if (!enumerationOrder)
        return list(folder, each);
    std::vector<platform::DirEntry> entries;
    const bool opened = list(folder, [&](const platform::DirEntry& e) { entries.push_back(e); });
    std::stable_sort(entries.begin(), entries.end(), enumerationOrder);
    for (const auto& e : entries)
        each(e);
    return opened;
}

bool FaultySystem::enumerate(const std::string& folder,
                             const std::function<void(const platform::DirEntry&)>& each) {
    return listing("enumerate", folder, each,
                   [this](const std::string& f, const auto& e) { return inner_.enumerate(f, e); });
}

bool FaultySystem::enumerateWithoutReadOnly(
    const std::string& folder, const std::function<void(const platform::DirEntry&)>& each) {
    return listing("enumerateWithoutReadOnly", folder, each,
                   [this](const std::string& f, const auto& e) {
                       return inner_.enumerateWithoutReadOnly(f, e);
                   });
}

std::uint32_t FaultySystem::attributes(const std::string& path) {
    if (failing("attributes", path))
        return platform::InvalidAttributes;
    return inner_.attributes(path);
}

bool FaultySystem::copyNoReplace(const std::string& from, const std::string& to) {
    return !failing("copyNoReplace", from) && inner_.copyNoReplace(from, to);
}

platform::FileResult FaultySystem::rename(const std::string& from, const std::string& to,
                                          bool replace) {
    if (failing("rename", from))
        return platform::FileResult::Failed;
    if (otherDevice && pathrules::folderPart(from) != pathrules::folderPart(to))
        return platform::FileResult::OtherDevice;
    return inner_.rename(from, to, replace);
}

bool FaultySystem::moveNoReplace(const std::string& from, const std::string& to) {
    // The shared way of moving, over this layer's own operations.
    return !failing("moveNoReplace", from) && System::moveNoReplace(from, to);
}

bool FaultySystem::removeFile(const std::string& path) {
    return !failing("removeFile", path) && inner_.removeFile(path);
}

std::optional<std::string> FaultySystem::readFile(const std::string& path) {
    if (failing("readFile", path))
        return std::nullopt;
    return inner_.readFile(path);
}

std::optional<std::string> FaultySystem::readPart(const std::string& path, std::uint64_t offset,
                                                  std::size_t size) {
    if (failing("readPart", path))
        return std::nullopt;
    return inner_.readPart(path, offset, size);
}

platform::FileResult FaultySystem::createFile(const std::string& path,
                                              const std::vector<std::string_view>& pieces,
                                              const std::string& like) {
    if (failing("createFile", path))
        return platform::FileResult::Failed;
    return inner_.createFile(path, pieces, like);
}

bool FaultySystem::writeAtomic(const std::string& path,
                               const std::vector<std::string_view>& pieces) {
    if (failing("writeFileAtomic", path))
        return false;
    if (captureWrites) {
        std::string& text = captured[path];
        text.clear();
        for (std::string_view piece : pieces)
            text += piece;
        return true;
    }
    // The shared way of writing, over this layer's own operations.
    return System::writeAtomic(path, pieces);
}

void FaultySystem::removeStaleTemporaries(const std::string& folder,
                                          const std::set<std::string>& names) {
    if (!failing("removeStaleTemporaries", folder))
        System::removeStaleTemporaries(folder, names);
}

platform::LaunchResult FaultySystem::shellOpen(const std::string& path,
                                               platform::Process* started) {
    // Recorded only: tests never start programs.
    if (started)
        *started = platform::NoProcess;
    if (failing("shellOpen", path))
        return platform::LaunchResult::Failed;
    if (started && startsProcesses)
        *started = ++lastProcess;
    return platform::LaunchResult::Started;
}

} // namespace testing_support
