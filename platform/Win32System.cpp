// The platform layer on Windows, over the wide-character API.
//
// Paths: the logic's form is already the Windows form; only the text differs.
// A logic path (code page 932) becomes UTF-16 for every call, and names the
// system returns come back to code page 932 only when they convert faithfully
// (a name such as "한.txt" is reported unfaithful and never used as a path).
// Both directions go through the code page 932 converters of Cp932Win32.cpp,
// never through the system's ANSI code page.
//
// Paths of MAX_PATH or more get the "\\?\" prefix (after the usual
// normalisation), so deep program folders work as well as short ones.
#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "platform/System.h"
#include "platform/WindowsRules.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "platform/SystemDll.h"

#include <atomic>
#include <climits>
#include <vector>

namespace platform {

namespace {

// ---------------------------------------------------------------------------
// Text.
// ---------------------------------------------------------------------------

std::optional<std::wstring> wideFromUtf8(std::string_view utf8) {
    std::wstring out;
    if (utf8.empty())
        return out;
    if (utf8.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    const int inLen = static_cast<int>(utf8.size());
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), inLen, nullptr, 0);
    if (n <= 0)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), inLen, out.data(), n);
    if (n <= 0)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// `strict`: a lone surrogate (possible in NTFS names) fails; otherwise it
// becomes U+FFFD, which the message forms show as the geta mark.
std::optional<std::string> utf8FromWide(std::wstring_view wide, bool strict = true) {
    std::string out;
    if (wide.empty())
        return out;
    if (wide.size() > static_cast<std::size_t>(INT_MAX) / 4)
        return std::nullopt;
    const DWORD flags = strict ? WC_ERR_INVALID_CHARS : 0;
    const int inLen = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(CP_UTF8, flags, wide.data(), inLen, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    n = WideCharToMultiByte(CP_UTF8, flags, wide.data(), inLen, out.data(), n, nullptr, nullptr);
    if (n <= 0)
        return std::nullopt;
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// The logic's form of a name or path the system gave. false when it is not
// faithful; `out` then holds a form fit only for messages.
bool logicText(std::wstring_view wide, std::string& out) {
    if (std::optional<std::string> utf8 = utf8FromWide(wide)) {
        if (std::optional<std::string> cp = cp932FromUtf8(*utf8)) {
            out = std::move(*cp);
            return true;
        }
        out = cp932FromUtf8ForDisplay(*utf8);
        return false;
    }
    out = cp932FromUtf8ForDisplay(utf8FromWide(wide, false).value_or(std::string()));
    return false;
}

// The UTF-16 path of a logic path, or nullopt when the logic path is not valid
// code page 932 (or holds a NUL byte): the file operations never act on a path
// that would name a different file.
std::optional<std::wstring> wideOf(std::string_view logic) {
    if (logic.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::optional<std::string> utf8 = utf8FromCp932(logic);
    if (!utf8)
        return std::nullopt;
    return wideFromUtf8(*utf8);
}

bool startsWith(std::wstring_view s, std::wstring_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// GetFullPathNameW into a string; empty on failure.
std::wstring fullPathOf(const std::wstring& path) {
    std::wstring out(MAX_PATH, L'\0');
    for (;;) {
        DWORD n =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr);
        if (n == 0)
            return {};
        if (n < out.size()) {
            out.resize(n);
            return out;
        }
        out.resize(n); // n counts the terminating NUL here
    }
}

// The path to hand to the API: as it is while it is short, otherwise made
// absolute and given the extended-length prefix that lifts the MAX_PATH limit.
std::wstring apiPath(const std::wstring& path) {
    constexpr std::size_t ShortEnough = MAX_PATH - 12; // the limit for folders
    if (path.size() < ShortEnough || startsWith(path, L"\\\\?\\") || startsWith(path, L"\\\\.\\"))
        return path;
    std::wstring full = fullPathOf(path);
    if (full.size() < ShortEnough)
        return full.empty() ? path : full;
    if (startsWith(full, L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::optional<std::wstring> apiPathOf(std::string_view logic) {
    std::optional<std::wstring> wide = wideOf(logic);
    if (!wide)
        return std::nullopt;
    return apiPath(*wide);
}

// The attributes a search found, with the reparse bit kept only for a link
// (its tag is in dwReserved0).
DWORD reportedAttributes(const WIN32_FIND_DATAW& data) {
    return windowsrules::linksOnly(data.dwFileAttributes, data.dwReserved0);
}

bool isDotOrDotDot(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The last-write time lies in the range a DOS date can hold (1980 to 2107,
// local time). The year is checked as well, since not every implementation of
// FileTimeToDosDateTime refuses years after 2107 (Wine's lets them wrap).
bool inDosRange(const FILETIME& written) {
    FILETIME local;
    SYSTEMTIME parts;
    WORD date = 0;
    WORD time = 0;
    return FileTimeToLocalFileTime(&written, &local) &&
           FileTimeToDosDateTime(&local, &date, &time) && FileTimeToSystemTime(&local, &parts) &&
           windowsrules::inDosYears(parts.wYear);
}

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE)
            FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

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
    // Closes now and reports whether the close succeeded.
    bool closeChecked() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

private:
    HANDLE h_;
};

// The attribute bits of a path, as a listing reports them: the reparse point's
// tag is read with them. One whose tag cannot be read stays a link.
DWORD pathAttributes(const std::wstring& native) {
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return attributes;
    FileHandle h(CreateFileW(native.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!h.valid() ||
        !GetFileInformationByHandleEx(h.get(), FileAttributeTagInfo, &tag, sizeof tag))
        return attributes;
    return windowsrules::linksOnly(attributes, tag.ReparseTag);
}

bool writeAll(HANDLE h, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Deletes a file even when it carries the read-only attribute.
void forceDelete(const std::wstring& path) {
    if (!DeleteFileW(path.c_str()) && GetLastError() == ERROR_ACCESS_DENIED) {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }
}

// The file a symbolic link or junction finally names, in extended-length
// form; empty when it cannot be opened.
std::wstring finalPathOf(const std::wstring& path) {
    FileHandle h(CreateFileW(path.c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid())
        return {};
    std::wstring out(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetFinalPathNameByHandleW(h.get(), out.data(), static_cast<DWORD>(out.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0)
            return {};
        if (n < out.size()) {
            out.resize(n);
            return out;
        }
        out.resize(n + 1);
    }
}

// ---------------------------------------------------------------------------

class Win32System final : public System {
public:
    std::optional<FoundFile> findFirst(const std::string& path) override;
    bool enumerate(const std::string& folder,
                   const std::function<void(const DirEntry&)>& each) override;
    std::uint32_t attributes(const std::string& path) override;
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
    std::uint32_t processId() override { return GetCurrentProcessId(); }
    bool processRunning(std::uint32_t id) override;
    LaunchResult shellOpen(const std::string& path, Process* started) override;
    bool processEnded(Process process) override {
        return !process ||
               WaitForSingleObject(reinterpret_cast<HANDLE>(process), 0) != WAIT_TIMEOUT;
    }
    void releaseProcess(Process process) override {
        if (process)
            CloseHandle(reinterpret_cast<HANDLE>(process));
    }
    std::string ownExecutablePath() override;
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override;
    std::string toNativePath(std::string_view logicPath) override;
    std::optional<FolderHold> holdFolder(const std::string& folder) override;
    std::uint32_t nativeAttributes(std::string_view nativeUtf8) override;
    std::optional<std::string> shortcutTarget(std::string_view nativeUtf8) override;
};

std::optional<FoundFile> Win32System::findFirst(const std::string& path) {
    // A path that ends in a backslash names a folder's inside, never a file.
    if (path.empty() || pathrules::endsWithBackslash(path))
        return std::nullopt;
    std::optional<std::wstring> native = apiPathOf(path);
    if (!native)
        return std::nullopt;
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(native->c_str(), &data));
    if (!find.valid())
        return std::nullopt;
    // The first match, the folder's own "." included: "*" names no file.
    FoundFile found;
    logicText(data.cFileName, found.name);
    found.attributes = reportedAttributes(data);
    found.dosTime = inDosRange(data.ftLastWriteTime);
    return found;
}

bool Win32System::enumerate(const std::string& folder,
                            const std::function<void(const DirEntry&)>& each) {
    if (folder.empty())
        return false;
    std::optional<std::wstring> native = wideOf(pathrules::withTrailingBackslash(folder));
    if (!native)
        return false;
    const std::wstring pattern = apiPath(*native + L"*.*");
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find.valid()) {
        // The root of a drive has no "." entry: an empty one finds nothing at
        // all, which is not a failure to open it.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
            return false;
        const DWORD attrs = GetFileAttributesW(apiPath(*native).c_str());
        return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
    }
    DirEntry entry; // reused: its name keeps its capacity from entry to entry
    do {
        if (isDotOrDotDot(data.cFileName))
            continue;
        entry.faithful = logicText(data.cFileName, entry.name);
        entry.attributes = reportedAttributes(data);
        each(entry);
    } while (FindNextFileW(find.get(), &data));
    return true;
}

std::uint32_t Win32System::attributes(const std::string& path) {
    std::optional<std::wstring> native = apiPathOf(path);
    if (!native || native->empty())
        return InvalidAttributes;
    return pathAttributes(*native);
}

bool Win32System::copyNoReplace(const std::string& from, const std::string& to) {
    std::optional<std::wstring> source = apiPathOf(from);
    std::optional<std::wstring> target = apiPathOf(to);
    if (!source || !target || source->empty() || target->empty() ||
        !CopyFileW(source->c_str(), target->c_str(), TRUE))
        return false;
    // On the disk before the caller may delete the source.
    FileHandle copy(CreateFileW(target->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (copy.valid() && FlushFileBuffers(copy.get()))
        return true;
    copy.reset(INVALID_HANDLE_VALUE);
    forceDelete(*target);
    return false;
}

FileResult Win32System::rename(const std::string& from, const std::string& to, bool replace) {
    std::optional<std::wstring> source = apiPathOf(from);
    std::optional<std::wstring> target = apiPathOf(to);
    if (!source || !target || source->empty() || target->empty())
        return FileResult::Failed;
    // Without MOVEFILE_REPLACE_EXISTING the rename fails when the target
    // exists, also when it differs from the source's name only in case. A
    // virus scanner or an indexer may hold a replaced file open for a moment:
    // the replacement is tried again a few times before it counts as failed.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(source->c_str(), target->c_str(), flags))
            return FileResult::Done;
        const DWORD error = GetLastError();
        if (error == ERROR_NOT_SAME_DEVICE)
            return FileResult::OtherDevice;
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return FileResult::Exists;
        const bool busy = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                          error == ERROR_ACCESS_DENIED;
        if (!replace || !busy || attempt == 10)
            return FileResult::Failed;
        Sleep(50);
    }
}

bool Win32System::removeFile(const std::string& path) {
    std::optional<std::wstring> native = apiPathOf(path);
    return native && !native->empty() && DeleteFileW(native->c_str());
}

// A file opened for reading, shared with every other user; devices and pipes
// are refused by their type.
HANDLE openToRead(const std::wstring& native) {
    HANDLE h = CreateFileW(native.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

bool Win32System::processRunning(std::uint32_t id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER; // denied: it exists
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Up to `size` bytes of a file from `offset` (all of it for npos), or nullopt.
// Opening a folder fails without FILE_FLAG_BACKUP_SEMANTICS.
std::optional<std::string> readFrom(const std::string& path, std::uint64_t offset,
                                    std::size_t size) {
    std::optional<std::wstring> native = apiPathOf(path);
    if (!native || native->empty())
        return std::nullopt;
    FileHandle in(openToRead(*native));
    LARGE_INTEGER at, length;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!in.valid() || !SetFilePointerEx(in.get(), at, nullptr, FILE_BEGIN) ||
        !GetFileSizeEx(in.get(), &length) || length.QuadPart < 0)
        return std::nullopt;
    const bool whole = size == std::string::npos;
    std::string contents(whole ? static_cast<std::size_t>(length.QuadPart) + 1 : size, '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == contents.size()) {
            if (!whole)
                break;
            contents.resize(contents.size() * 2);
        }
        const std::size_t room = contents.size() - used;
        DWORD got = 0;
        if (!ReadFile(in.get(), contents.data() + used,
                      room > (1u << 30) ? (1u << 30) : static_cast<DWORD>(room), &got, nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        used += got;
    }
    contents.resize(used);
    return contents;
}

std::optional<std::string> Win32System::readFile(const std::string& path) {
    return readFrom(path, 0, std::string::npos);
}

std::optional<std::string> Win32System::readPart(const std::string& path, std::uint64_t offset,
                                                 std::size_t size) {
    return readFrom(path, offset, size);
}

// A file's or folder's identity (volume serial number and file index),
// through links; false when it cannot be looked at.
bool identityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    std::optional<std::wstring> native = apiPathOf(path);
    if (!native || native->empty())
        return false;
    FileHandle h(CreateFileW(native->c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.valid() && GetFileInformationByHandle(h.get(), &info);
}

bool Win32System::sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return identityOf(a, x) && identityOf(b, y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

std::optional<FolderHold> Win32System::holdFolder(const std::string& folder) {
    // A named mutex in the session's namespace, named from the folder's
    // identity so that every spelling of the folder gives one name. It lives
    // while a handle to it is open, and the system closes a process's handles
    // however it ends; whoever creates it holds the folder.
    BY_HANDLE_FILE_INFORMATION info;
    if (!identityOf(folder, info))
        return FolderHold();
    wchar_t name[64];
    swprintf(name, sizeof name / sizeof *name, L"Local\\kwarino-folder-%08lx-%08lx%08lx",
             static_cast<unsigned long>(info.dwVolumeSerialNumber),
             static_cast<unsigned long>(info.nFileIndexHigh),
             static_cast<unsigned long>(info.nFileIndexLow));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    const DWORD error = GetLastError();
    if (mutex && error == ERROR_ALREADY_EXISTS)
        CloseHandle(mutex);
    if (!mutex || error == ERROR_ALREADY_EXISTS) {
        // Another user's object of that name cannot be opened: held as well.
        if (mutex || error == ERROR_ACCESS_DENIED)
            return std::nullopt;
        return FolderHold();
    }
    return FolderHold(mutex, [](const void* held) { CloseHandle(const_cast<void*>(held)); });
}

std::uint32_t Win32System::nativeAttributes(std::string_view nativeUtf8) {
    std::optional<std::wstring> wide = wideFromUtf8(nativeUtf8);
    if (!wide || wide->empty())
        return InvalidAttributes;
    return pathAttributes(apiPath(*wide));
}

std::optional<std::string> Win32System::shortcutTarget(std::string_view nativeUtf8) {
    std::optional<std::wstring> wide = wideFromUtf8(nativeUtf8);
    if (!wide || wide->size() < 4 || _wcsicmp(wide->c_str() + wide->size() - 4, L".lnk") != 0)
        return std::nullopt;
    // COM loads with the first shortcut, as with the first open dialog.
    static const auto create = [] {
        if (auto initialise =
                systemFunction<decltype(CoInitializeEx)>(L"ole32.dll", "CoInitializeEx"))
            initialise(nullptr, COINIT_APARTMENTTHREADED);
        return systemFunction<decltype(CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
    }();
    IShellLinkW* link = nullptr;
    if (!create || FAILED(create(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))))
        return std::nullopt;
    std::wstring target(MAX_PATH, L'\0');
    IPersistFile* file = nullptr;
    bool read = false;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        read = SUCCEEDED(file->Load(wide->c_str(), STGM_READ)) &&
               link->GetPath(target.data(), MAX_PATH, nullptr, 0) == S_OK;
        file->Release();
    }
    link->Release();
    target.resize(wcslen(target.c_str()));
    if (!read || target.empty())
        return std::nullopt;
    return utf8FromWide(target);
}

FileResult Win32System::createFile(const std::string& path,
                                   const std::vector<std::string_view>& pieces,
                                   const std::string& like) {
    std::optional<std::wstring> native = apiPathOf(path);
    if (!native || native->empty())
        return FileResult::Failed;
    FileHandle out(CreateFileW(native->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? FileResult::Exists
                                                                           : FileResult::Failed;
    }
    bool ok = true;
    for (std::string_view piece : pieces)
        ok = ok && writeAll(out.get(), piece.data(), piece.size());
    ok = ok && FlushFileBuffers(out.get());
    ok = out.closeChecked() && ok;
    if (ok && !like.empty()) {
        // The file keeps its hidden and system marks, as an update in place
        // would leave them.
        const DWORD attrs = attributes(like);
        const DWORD keep = attrs == INVALID_FILE_ATTRIBUTES
                               ? 0
                               : attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (keep != 0)
            ok = SetFileAttributesW(native->c_str(), keep | FILE_ATTRIBUTE_ARCHIVE);
    }
    return ok ? FileResult::Done : FileResult::Failed;
}

std::optional<std::string> Win32System::finalPath(const std::string& path) {
    std::optional<std::wstring> native = apiPathOf(path);
    if (!native || native->empty())
        return std::nullopt;
    const DWORD attrs = pathAttributes(*native);
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    std::wstring target = finalPathOf(*native);
    if (startsWith(target, L"\\\\?\\UNC\\"))
        target = L"\\\\" + target.substr(8);
    else if (startsWith(target, L"\\\\?\\"))
        target = target.substr(4);
    std::string logic;
    if (target.empty() || !logicText(target, logic))
        return std::nullopt;
    return logic;
}

LaunchResult Win32System::shellOpen(const std::string& path, Process* started) {
    if (started)
        *started = NoProcess;
    std::optional<std::wstring> native = wideOf(path);
    if (!native || native->empty())
        return LaunchResult::Failed;
    // shell32 loads on the first start, not with the window.
    static const auto shellExecute =
        systemFunction<decltype(ShellExecuteExW)>(L"shell32.dll", "ShellExecuteExW");
    if (!shellExecute)
        return LaunchResult::Failed;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The window says what went wrong; the process is kept when asked for.
    info.fMask = SEE_MASK_FLAG_NO_UI | (started ? SEE_MASK_NOCLOSEPROCESS : 0);
    info.lpFile = native->c_str();
    info.nShow = SW_SHOWNORMAL;
    if (shellExecute(&info)) {
        if (started)
            *started = reinterpret_cast<Process>(info.hProcess);
        return LaunchResult::Started;
    }
    return GetLastError() == ERROR_CANCELLED ? LaunchResult::Cancelled : LaunchResult::Failed;
}

std::string Win32System::ownExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        // A path that does not fit is cut short and fills the buffer.
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        if (buffer.size() >= 0x10000 * 2)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    // A path code page 932 cannot hold comes back in its message form, so that
    // at least a message can name it (files beside it will not be found).
    std::string logic;
    logicText(buffer, logic);
    return logic;
}

std::optional<std::string> Win32System::fromNativePath(std::string_view nativeUtf8) {
    if (nativeUtf8.empty())
        return std::nullopt;
    for (char c : nativeUtf8)
        if (static_cast<unsigned char>(c) < 0x20)
            return std::nullopt; // no control character (NUL among them) in a name
    std::optional<std::wstring> wide = wideFromUtf8(nativeUtf8);
    if (!wide)
        return std::nullopt;
    // Absolute, "." and ".." resolved, "/" turned into "\" as the system does
    // for every call.
    std::wstring full = fullPathOf(*wide);
    if (full.empty())
        return std::nullopt;
    // A colon belongs only after the drive letter; elsewhere it would name a
    // stream of a file, and the logic would take it for a separator.
    const std::size_t drive = startsWith(full, L"\\\\?\\") ? 5 : 1;
    for (std::size_t i = full.find(L':'); i != std::wstring::npos; i = full.find(L':', i + 1))
        if (i != drive)
            return std::nullopt;
    std::string logic;
    if (!logicText(full, logic))
        return std::nullopt;
    return logic;
}

std::string Win32System::toNativePath(std::string_view logicPath) {
    if (logicPath.find('\0') == std::string_view::npos) {
        if (std::optional<std::string> utf8 = utf8FromCp932(logicPath))
            return *utf8;
    }
    // Bytes that are not valid code page 932: the message form, each bad
    // character shown as "〓". File operations refuse such a path instead.
    return utf8FromCp932ForDisplay(logicPath);
}

} // namespace

System& realSystem() {
    static Win32System instance;
    return instance;
}

} // namespace platform
