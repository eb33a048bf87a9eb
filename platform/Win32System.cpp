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

#include <windows.h>

#include <shellapi.h>

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

// The attribute bits of a found entry. Files and folders that cloud storage
// (OneDrive) keeps, deduplicated and compressed files carry reparse points as
// well, but they are ordinary entries where they stand; only a reparse point
// that names another entry (a symbolic link, a junction, a mounted folder)
// keeps the bit, so the survey passes over links and nothing else.
DWORD reportedAttributes(const WIN32_FIND_DATAW& data) {
    DWORD attributes = data.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !IsReparseTagNameSurrogate(data.dwReserved0))
        attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT);
    return attributes;
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
           parts.wYear >= 1980 && parts.wYear <= 2107;
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
    bool moveNoReplace(const std::string& from, const std::string& to) override;
    bool removeFile(const std::string& path) override;
    std::optional<std::string> readFile(const std::string& path) override;
    bool writeAtomic(const std::string& path, const std::vector<std::string_view>& pieces) override;
    void removeStaleTemporaries(const std::string& path) override;
    void shellOpen(const std::string& path) override;
    std::string ownExecutablePath() override;
    std::optional<std::string> fromNativePath(std::string_view nativeUtf8) override;
    std::string toNativePath(std::string_view logicPath) override;
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
    return GetFileAttributesW(native->c_str());
}

bool Win32System::copyNoReplace(const std::string& from, const std::string& to) {
    std::optional<std::wstring> source = apiPathOf(from);
    std::optional<std::wstring> target = apiPathOf(to);
    return source && target && !source->empty() && !target->empty() &&
           CopyFileW(source->c_str(), target->c_str(), TRUE);
}

bool Win32System::moveNoReplace(const std::string& from, const std::string& to) {
    std::optional<std::wstring> source = apiPathOf(from);
    std::optional<std::wstring> target = apiPathOf(to);
    if (!source || !target || source->empty() || target->empty())
        return false;
    // Without MOVEFILE_REPLACE_EXISTING the rename fails when the target
    // exists, also when it differs from the source's name only in case.
    if (MoveFileExW(source->c_str(), target->c_str(), MOVEFILE_WRITE_THROUGH))
        return true;
    if (GetLastError() != ERROR_NOT_SAME_DEVICE)
        return false;
    // Another volume: a copy that never replaces, then the source goes. If
    // the source cannot be deleted the copy goes again, so the file is never
    // left in two places.
    if (!CopyFileW(source->c_str(), target->c_str(), TRUE))
        return false;
    if (DeleteFileW(source->c_str()))
        return true;
    forceDelete(*target);
    return false;
}

bool Win32System::removeFile(const std::string& path) {
    std::optional<std::wstring> native = apiPathOf(path);
    return native && !native->empty() && DeleteFileW(native->c_str());
}

std::optional<std::string> Win32System::readFile(const std::string& path) {
    std::optional<std::wstring> native = apiPathOf(path);
    if (!native || native->empty())
        return std::nullopt;
    // Opening a folder fails without FILE_FLAG_BACKUP_SEMANTICS; devices and
    // pipes are refused by their type.
    FileHandle in(CreateFileW(native->c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.valid() || GetFileType(in.get()) != FILE_TYPE_DISK)
        return std::nullopt;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(in.get(), &size) || size.QuadPart < 0)
        return std::nullopt;
    std::string contents;
    contents.resize(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == contents.size())
            contents.resize(contents.size() * 2);
        const std::size_t room = contents.size() - used;
        const DWORD chunk = room > (1u << 30) ? (1u << 30) : static_cast<DWORD>(room);
        DWORD got = 0;
        if (!ReadFile(in.get(), contents.data() + used, chunk, &got, nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        used += got;
    }
    contents.resize(used);
    return contents;
}

namespace {

// The temporary files of writeFileAtomic are named "~<name>.<pid>-<n>.tmp":
// the writer's process id tells a file being written from one left behind.
std::wstring temporaryPrefix(const std::wstring& name) {
    return L"~" + name + L".";
}

// The writer's process id when `entry` is a temporary file of `prefix`.
std::optional<DWORD> temporaryWriter(std::wstring_view entry, const std::wstring& prefix) {
    const std::wstring_view suffix = L".tmp";
    if (entry.size() <= prefix.size() + suffix.size() ||
        CompareStringOrdinal(entry.data(), static_cast<int>(prefix.size()), prefix.data(),
                             static_cast<int>(prefix.size()), TRUE) != CSTR_EQUAL ||
        entry.substr(entry.size() - suffix.size()) != suffix)
        return std::nullopt;
    entry = entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size());
    const std::size_t dash = entry.find(L'-');
    auto digits = [](std::wstring_view s) {
        return !s.empty() && s.size() <= 10 &&
               s.find_first_not_of(L"0123456789") == std::wstring_view::npos;
    };
    if (dash == std::wstring_view::npos || !digits(entry.substr(0, dash)) ||
        !digits(entry.substr(dash + 1)))
        return std::nullopt;
    const unsigned long long pid = std::stoull(std::wstring(entry.substr(0, dash)));
    if (pid == 0 || pid > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<DWORD>(pid);
}

// Whether a process of that id is still running.
bool processRunning(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER; // denied: it exists
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

} // namespace

bool Win32System::writeAtomic(const std::string& path,
                              const std::vector<std::string_view>& pieces) {
    if (path.empty() || pathrules::endsWithBackslash(path))
        return false;
    std::optional<std::wstring> native = wideOf(path);
    if (!native)
        return false;
    std::wstring target = apiPath(*native);
    DWORD attrs = GetFileAttributesW(target.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // Write where the link points, and keep the link.
        target = finalPathOf(target);
        if (target.empty())
            return false;
        attrs = GetFileAttributesW(target.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES)
            return false;
    }
    const bool exists = attrs != INVALID_FILE_ATTRIBUTES;
    // Only a file is replaced, and not one marked read-only: the profile
    // write fails there too.
    if (exists && (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
        return false;

    // The temporary file lies beside the target, so the final rename stays on
    // one volume.
    const std::size_t sep = target.find_last_of(L"\\/:");
    const std::wstring folder =
        sep == std::wstring::npos ? std::wstring() : target.substr(0, sep + 1);
    const std::wstring name = sep == std::wstring::npos ? target : target.substr(sep + 1);
    static std::atomic<unsigned> counter{0};
    std::wstring temp;
    FileHandle out;
    for (int attempt = 0; attempt < 100 && !out.valid(); ++attempt) {
        temp = apiPath(folder + temporaryPrefix(name) + std::to_wstring(GetCurrentProcessId()) +
                       L"-" + std::to_wstring(counter++) + L".tmp");
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
                return false;
            continue;
        }
        out.reset(h);
    }
    if (!out.valid())
        return false;

    bool ok = true;
    for (std::string_view piece : pieces)
        ok = ok && writeAll(out.get(), piece.data(), piece.size());
    ok = ok && FlushFileBuffers(out.get());
    ok = out.closeChecked() && ok;
    if (ok && exists) {
        // The file keeps its hidden and system marks, as an update in place
        // would leave them.
        const DWORD keep = attrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (keep != 0)
            ok = SetFileAttributesW(temp.c_str(), keep | FILE_ATTRIBUTE_ARCHIVE);
    }
    // A virus scanner or an indexer may hold the old file open for a moment:
    // the replacement is tried again a few times before it counts as failed.
    for (int attempt = 0; ok; ++attempt) {
        if (MoveFileExW(temp.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            break;
        const DWORD error = GetLastError();
        ok = attempt < 10 && (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                              error == ERROR_ACCESS_DENIED);
        if (ok)
            Sleep(50);
    }
    if (!ok) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

void Win32System::removeStaleTemporaries(const std::string& path) {
    if (path.empty() || pathrules::endsWithBackslash(path))
        return;
    std::optional<std::wstring> native = wideOf(path);
    if (!native)
        return;
    std::wstring target = apiPath(*native);
    const DWORD attrs = GetFileAttributesW(target.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        target = finalPathOf(target);
        if (target.empty())
            return;
    }
    const std::size_t sep = target.find_last_of(L"\\/:");
    const std::wstring folder =
        sep == std::wstring::npos ? std::wstring() : target.substr(0, sep + 1);
    const std::wstring prefix =
        temporaryPrefix(sep == std::wstring::npos ? target : target.substr(sep + 1));
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW((folder + prefix + L"*.tmp").c_str(), &data));
    if (!find.valid())
        return;
    std::vector<std::wstring> stale;
    do {
        if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        std::optional<DWORD> writer = temporaryWriter(data.cFileName, prefix);
        // Our own writes are finished whenever this runs; another process's
        // file is left unless that process is gone.
        if (writer && (*writer == GetCurrentProcessId() || !processRunning(*writer)))
            stale.push_back(folder + data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    for (const std::wstring& file : stale)
        DeleteFileW(file.c_str());
}

void Win32System::shellOpen(const std::string& path) {
    std::optional<std::wstring> native = wideOf(path);
    if (!native || native->empty())
        return;
    ShellExecuteW(nullptr, nullptr, native->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
