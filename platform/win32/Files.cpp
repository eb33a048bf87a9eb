// Files on Windows: copies, renames and removals, contents read and created,
// whether two paths name one file, where a link leads, and the hold on a
// folder.
#include "platform/win32/Win32System.h"

#include <cwchar>
#include <memory>

namespace platform::win32 {

namespace {

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

// The path of an open file, in extended-length form; empty when it cannot be
// asked.
std::wstring finalPathOf(HANDLE h) {
    std::wstring out(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetFinalPathNameByHandleW(h, out.data(), static_cast<DWORD>(out.size()),
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

// The file a symbolic link or junction finally names, in extended-length
// form; empty when it cannot be opened.
std::wstring finalPathOf(const std::wstring& path) {
    FileHandle h(CreateFileW(path.c_str(), 0,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.valid() ? finalPathOf(h.get()) : std::wstring();
}

// The logic's form of a path finalPathOf gave; nullopt for none or one the
// logic cannot hold.
std::optional<std::string> logicOfFinal(std::wstring target) {
    if (startsWith(target, L"\\\\?\\UNC\\"))
        target = L"\\\\" + target.substr(8);
    else if (startsWith(target, L"\\\\?\\"))
        target = target.substr(4);
    std::string logic;
    if (target.empty() || !logicText(target, logic))
        return std::nullopt;
    return logic;
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

// A file's or folder's identity, as fileIdentity gives it, of a logic path.
bool identityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    std::optional<std::wstring> native = apiPathOf(path);
    return native && !native->empty() && fileIdentity(*native, info);
}

} // namespace

bool fileIdentity(const std::wstring& native, BY_HANDLE_FILE_INFORMATION& info) {
    FileHandle h(CreateFileW(native.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.valid() && GetFileInformationByHandle(h.get(), &info);
}

bool sameIdentity(const BY_HANDLE_FILE_INFORMATION& x, const BY_HANDLE_FILE_INFORMATION& y) {
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
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

std::optional<std::string> Win32System::readFile(const std::string& path) {
    return readFrom(path, 0, std::string::npos);
}

std::optional<std::string> Win32System::readPart(const std::string& path, std::uint64_t offset,
                                                 std::size_t size) {
    return readFrom(path, offset, size);
}

bool Win32System::sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return identityOf(a, x) && identityOf(b, y) && sameIdentity(x, y);
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
        const DWORD attrs = Win32System::attributes(like); // this system's, not a double's
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
    return logicOfFinal(finalPathOf(*native));
}

namespace {

// A folder's identity as the system gives it; nullopt for a file.
std::optional<FolderId> folderIdOf(const BY_HANDLE_FILE_INFORMATION& info) {
    if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return FolderId{info.dwVolumeSerialNumber,
                    static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

// A folder kept open, the root of its volume, and its named mutex where one
// could be made.
class Win32Held final : public HeldFolder {
public:
    Win32Held(HANDLE folder, FolderId id, std::wstring volume, HANDLE mutex)
        : folder_(folder), id_(id), volume_(std::move(volume)), mutex_(mutex) {}
    ~Win32Held() override {
        if (mutex_)
            CloseHandle(mutex_);
    }
    FolderId id() const override { return id_; }
    std::optional<std::string> where() const override {
        // Windows names the open folder where it lies now; Wine keeps the
        // path it was opened by, so a path that no longer leads to it gives
        // way to a look for the folder's identity from its volume's root
        // (Wine looks below the folder it is given).
        std::wstring path = finalPathOf(folder_.get());
        BY_HANDLE_FILE_INFORMATION info;
        if (path.empty() || !fileIdentity(path, info) || folderIdOf(info) != id_) {
            FILE_ID_DESCRIPTOR file{};
            file.dwSize = sizeof file;
            file.Type = FileIdType;
            file.FileId.QuadPart = static_cast<LONGLONG>(id_.index);
            FileHandle volume(CreateFileW(
                volume_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
            FileHandle found(OpenFileById(volume.get(), &file, 0,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, FILE_FLAG_BACKUP_SEMANTICS));
            path = found.valid() ? finalPathOf(found.get()) : std::wstring();
        }
        std::optional<std::string> logic = logicOfFinal(path);
        if (logic && logic->back() != '\\')
            *logic += '\\';
        return logic;
    }

private:
    FileHandle folder_;
    FolderId id_;
    std::wstring volume_;
    HANDLE mutex_; // null where none could be made
};

} // namespace

std::optional<FolderHold> Win32System::holdFolder(const std::string& folder) {
    // Opened for listing without FILE_SHARE_DELETE: Windows refuses to rename,
    // move or delete the folder while it is held (a handle without data
    // access would not count). Not inherited by the programs the tool starts.
    std::optional<std::wstring> native = apiPathOf(folder);
    auto opened = [&](DWORD access, DWORD share) {
        return native && !native->empty()
                   ? CreateFileW(native->c_str(), access, share, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr)
                   : INVALID_HANDLE_VALUE;
    };
    FileHandle open(opened(FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE));
    // One another program has open for deletion is still known, and held
    // against other copies, only not kept from being renamed.
    if (!open.valid())
        open.reset(
            opened(FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    BY_HANDLE_FILE_INFORMATION info;
    std::wstring volume(open.valid() ? native->size() + 2 : 0, L'\0');
    if (!open.valid() || !GetFileInformationByHandle(open.get(), &info) || !folderIdOf(info) ||
        !GetVolumePathNameW(native->c_str(), volume.data(), static_cast<DWORD>(volume.size())))
        return FolderHold();
    volume.resize(wcslen(volume.c_str()));
    const FolderId id = *folderIdOf(info);
    // A named mutex in the machine's namespace, so that copies in every session
    // meet, named from the folder's identity so that every spelling of the
    // folder gives one name. It lives while a handle to it is open, and the
    // system closes a process's handles however it ends; whoever creates it
    // holds the folder.
    wchar_t name[64];
    swprintf(name, sizeof name / sizeof *name, L"Global\\kwarino-folder-%08lx-%016llx",
             static_cast<unsigned long>(id.volume), static_cast<unsigned long long>(id.index));
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    const DWORD error = GetLastError();
    // Another user's object of that name cannot be opened: held as well.
    if (error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED)) {
        if (mutex)
            CloseHandle(mutex);
        return std::nullopt;
    }
    return FolderHold(std::make_shared<Win32Held>(open.release(), id, std::move(volume), mutex));
}

std::optional<FolderId> Win32System::folderId(const std::string& folder) {
    BY_HANDLE_FILE_INFORMATION info;
    return identityOf(folder, info) ? folderIdOf(info) : std::nullopt;
}

} // namespace platform::win32

namespace platform {

System& realSystem() {
    static win32::Win32System instance;
    return instance;
}

} // namespace platform
