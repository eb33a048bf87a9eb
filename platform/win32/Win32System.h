// The platform layer on Windows, over the wide-character API, in four parts
// as on POSIX: Paths.cpp turns the logic's paths into the API's and back (the
// program's own and a shortcut's target among them), Listing.cpp lists
// folders and reads attributes, Files.cpp makes the other file system calls,
// and Processes.cpp asks after processes and starts programs; Files.cpp also
// makes the one instance realSystem() gives. This header is private to them
// and to the tests (through platform/NativeSystem.h).
#pragma once

#include "platform/System.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace platform::win32 {

class Win32System : public System {
public:
    // Listing.cpp
    std::optional<FoundFile> findFirst(const std::string& path) override;
    bool enumerate(const std::string& folder,
                   const std::function<void(const DirEntry&)>& each) override;
    // The listing gives the read-only bit with the others: the same listing
    // (named so, a test double's own enumerate is not called in its stead).
    bool enumerateWithoutReadOnly(const std::string& folder,
                                  const std::function<void(const DirEntry&)>& each) override {
        return Win32System::enumerate(folder, each);
    }
    std::uint32_t attributes(const std::string& path) override;
    std::uint32_t nativeAttributes(std::string_view nativeUtf8) override;

    // Files.cpp
    bool copyNoReplace(const std::string& from, const std::string& to) override;
    FileResult rename(const std::string& from, const std::string& to, bool replace) override;
    bool removeFile(const std::string& path) override;
    std::optional<std::string> readFile(const std::string& path) override;
    std::optional<std::string> readPart(const std::string& path, std::uint64_t offset,
                                        std::size_t size) override;
    bool sameFile(const std::string& a, const std::string& b) override;
    FileResult createFile(const std::string& path, const std::vector<std::string_view>& pieces,
                          const std::string& like) override;
    // MOVEFILE_WRITE_THROUGH has made every rename durable already.
    void syncFolder(const std::string&) override {}
    std::optional<std::string> finalPath(const std::string& path) override;
    std::optional<FolderHold> holdFolder(const std::string& folder) override;
    std::optional<FolderId> folderId(const std::string& folder) override;

    // Processes.cpp
    std::uint32_t processId() override;
    bool processRunning(std::uint32_t id) override;
    LaunchResult shellOpen(const std::string& path, Process* started) override;
    std::vector<Process> processesRunning(const std::string& program) override;
    bool processEnded(Process process) override;
    void releaseProcess(Process process) override;

    // Paths.cpp
    std::string ownExecutablePath() override;
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override;
    std::string toNativePath(std::string_view logicPath) override;
    std::optional<std::string> shortcutTarget(std::string_view nativeUtf8) override;
};

// Paths.cpp: text and paths.

// UTF-16 of UTF-8 text; nullopt when it is not valid UTF-8.
std::optional<std::wstring> wideFromUtf8(std::string_view utf8);
// The logic's form of a name or path the system gave. false when it is not
// faithful; `out` then holds a form fit only for messages.
bool logicText(std::wstring_view wide, std::string& out);
// The UTF-16 path of a logic path, or nullopt when the logic path is not valid
// code page 932 (or holds a NUL byte): the file operations never act on a path
// that would name a different file.
std::optional<std::wstring> wideOf(std::string_view logic);
bool startsWith(std::wstring_view s, std::wstring_view prefix);
// The path to hand to the API: as it is while it is short, otherwise made
// absolute and given the extended-length prefix that lifts the MAX_PATH limit.
std::wstring apiPath(const std::wstring& path);
// wideOf, then apiPath.
std::optional<std::wstring> apiPathOf(std::string_view logic);

// Listing.cpp: the attribute bits of a path, as a listing reports them: the
// reparse point's tag is read with them. One whose tag cannot be read stays a
// link.
DWORD pathAttributes(const std::wstring& native);

// Files.cpp: a file's or folder's identity (volume serial number and file
// index) from an API path, through links; false when it cannot be looked at.
bool fileIdentity(const std::wstring& native, BY_HANDLE_FILE_INFORMATION& info);
bool sameIdentity(const BY_HANDLE_FILE_INFORMATION& x, const BY_HANDLE_FILE_INFORMATION& y);

// A file handle closed with its owner.
class FileHandle {
public:
    explicit FileHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h) {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = h;
    }
    // Gives the handle up without closing it.
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }
    // Closes now and reports whether the close succeeded.
    bool closeChecked() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

} // namespace platform::win32
