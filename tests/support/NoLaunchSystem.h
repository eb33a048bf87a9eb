// The real platform layer, except that shellOpen starts nothing: for the
// programs that run whole requests on real folders (the crash driver, the
// benchmarks) without starting the installer. The shared operations run over
// the forwarded ones, so a subclass may change any of those.
#pragma once

#include "platform/System.h"

namespace testing_support {

class NoLaunchSystem : public platform::System {
public:
    explicit NoLaunchSystem(platform::System& inner) : inner_(inner) {}
    std::optional<platform::FoundFile> findFirst(const std::string& path) override {
        return inner_.findFirst(path);
    }
    bool enumerate(const std::string& folder,
                   const std::function<void(const platform::DirEntry&)>& each) override {
        return inner_.enumerate(folder, each);
    }
    bool
    enumerateWithoutReadOnly(const std::string& folder,
                             const std::function<void(const platform::DirEntry&)>& each) override {
        return inner_.enumerateWithoutReadOnly(folder, each);
    }
    std::uint32_t attributes(const std::string& path) override { return inner_.attributes(path); }
    bool copyNoReplace(const std::string& from, const std::string& to) override {
        return inner_.copyNoReplace(from, to);
    }
    platform::FileResult rename(const std::string& from, const std::string& to,
                                bool replace) override {
        return inner_.rename(from, to, replace);
    }
    bool removeFile(const std::string& path) override { return inner_.removeFile(path); }
    std::optional<std::string> readFile(const std::string& path) override {
        return inner_.readFile(path);
    }
    std::optional<std::string> readPart(const std::string& path, std::uint64_t offset,
                                        std::size_t size) override {
        return inner_.readPart(path, offset, size);
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        return inner_.sameFile(a, b);
    }
    platform::FileResult createFile(const std::string& path,
                                    const std::vector<std::string_view>& pieces,
                                    const std::string& like) override {
        return inner_.createFile(path, pieces, like);
    }
    void syncFolder(const std::string& folder) override { inner_.syncFolder(folder); }
    std::optional<std::string> finalPath(const std::string& path) override {
        return inner_.finalPath(path);
    }
    std::uint32_t processId() override { return inner_.processId(); }
    bool processRunning(std::uint32_t id) override { return inner_.processRunning(id); }
    platform::LaunchResult shellOpen(const std::string&, platform::Process* started) override {
        if (started)
            *started = platform::NoProcess;
        return platform::LaunchResult::Started;
    }
    std::vector<platform::Process> processesRunning(const std::string& program) override {
        return inner_.processesRunning(program);
    }
    bool processEnded(platform::Process process) override { return inner_.processEnded(process); }
    void releaseProcess(platform::Process process) override { inner_.releaseProcess(process); }
    std::string ownExecutablePath() override { return inner_.ownExecutablePath(); }
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override {
        return inner_.fromNativePath(nativeUtf8);
    }
    std::string toNativePath(std::string_view logicPath) override {
        return inner_.toNativePath(logicPath);
    }
    std::optional<platform::FolderHold> holdFolder(const std::string& folder) override {
        return inner_.holdFolder(folder);
    }
    std::uint32_t nativeAttributes(std::string_view nativeUtf8) override {
        return inner_.nativeAttributes(nativeUtf8);
    }
    std::optional<std::string> shortcutTarget(std::string_view nativeUtf8) override {
        return inner_.shortcutTarget(nativeUtf8);
    }

protected:
    platform::System& inner_;
};

} // namespace testing_support
