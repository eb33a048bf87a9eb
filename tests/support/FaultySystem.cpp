#include "support/FaultySystem.h"

#include "platform/PathRules.h"

#include <algorithm>

namespace testing_support {

const char* operationName(Operation op) {
    static const char* const names[] = {"findFirst",
                                        "enumerate",
                                        "enumerateWithoutReadOnly",
                                        "attributes",
                                        "copyNoReplace",
                                        "rename",
                                        "moveNoReplace",
                                        "removeFile",
                                        "readFile",
                                        "readPart",
                                        "createFile",
                                        "writeFileAtomic",
                                        "removeStaleTemporaries",
                                        "shellOpen"};
    return names[static_cast<int>(op)];
}

bool FaultySystem::failing(Operation op, const std::string& path) {
    calls.push_back(std::string(operationName(op)) + " " + path);
    return fail && fail(op, path);
}

std::optional<platform::FoundFile> FaultySystem::findFirst(const std::string& path) {
    if (failing(Operation::findFirst, path))
        return std::nullopt;
    return platform::NativeSystem::findFirst(path);
}

template <typename List>
bool FaultySystem::listing(Operation op, const std::string& folder,
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
    return listing(Operation::enumerate, folder, each, [this](const std::string& f, const auto& e) {
        return platform::NativeSystem::enumerate(f, e);
    });
}

bool FaultySystem::enumerateWithoutReadOnly(
    const std::string& folder, const std::function<void(const platform::DirEntry&)>& each) {
    return listing(Operation::enumerateWithoutReadOnly, folder, each,
                   [this](const std::string& f, const auto& e) {
                       return platform::NativeSystem::enumerateWithoutReadOnly(f, e);
                   });
}

std::uint32_t FaultySystem::attributes(const std::string& path) {
    if (failing(Operation::attributes, path))
        return platform::InvalidAttributes;
    return platform::NativeSystem::attributes(path);
}

bool FaultySystem::copyNoReplace(const std::string& from, const std::string& to) {
    return !failing(Operation::copyNoReplace, from) &&
           platform::NativeSystem::copyNoReplace(from, to);
}

platform::FileResult FaultySystem::rename(const std::string& from, const std::string& to,
                                          bool replace) {
    if (failing(Operation::rename, from))
        return platform::FileResult::Failed;
    if (otherDevice && pathrules::folderPart(from) != pathrules::folderPart(to))
        return platform::FileResult::OtherDevice;
    return platform::NativeSystem::rename(from, to, replace);
}

bool FaultySystem::moveNoReplace(const std::string& from, const std::string& to) {
    // The shared way of moving, over this layer's own operations.
    return !failing(Operation::moveNoReplace, from) && System::moveNoReplace(from, to);
}

bool FaultySystem::removeFile(const std::string& path) {
    return !failing(Operation::removeFile, path) && platform::NativeSystem::removeFile(path);
}

std::optional<std::string> FaultySystem::readFile(const std::string& path) {
    if (failing(Operation::readFile, path))
        return std::nullopt;
    return platform::NativeSystem::readFile(path);
}

std::optional<std::string> FaultySystem::readPart(const std::string& path, std::uint64_t offset,
                                                  std::size_t size) {
    if (failing(Operation::readPart, path))
        return std::nullopt;
    return platform::NativeSystem::readPart(path, offset, size);
}

platform::FileResult FaultySystem::createFile(const std::string& path,
                                              const std::vector<std::string_view>& pieces,
                                              const std::string& like) {
    if (failing(Operation::createFile, path))
        return platform::FileResult::Failed;
    return platform::NativeSystem::createFile(path, pieces, like);
}

bool FaultySystem::writeAtomic(const std::string& path,
                               const std::vector<std::string_view>& pieces) {
    if (failing(Operation::writeFileAtomic, path))
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
    if (!failing(Operation::removeStaleTemporaries, folder))
        System::removeStaleTemporaries(folder, names);
}

platform::LaunchResult FaultySystem::shellOpen(const std::string& path,
                                               platform::Process* started) {
    // Recorded only: tests never start programs.
    if (started)
        *started = platform::NoProcess;
    if (failing(Operation::shellOpen, path))
        return platform::LaunchResult::Failed;
    if (started && startsProcesses)
        *started = ++lastProcess;
    return platform::LaunchResult::Started;
}

} // namespace testing_support
