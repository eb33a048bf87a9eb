// The listing on Windows: a folder's entries, the search for one path, and the
// attribute bits of a path, as FindFirstFileW and GetFileAttributesW give
// them, with the reparse bit kept only for a link (WindowsRules.h).
#include "platform/win32/Win32System.h"

#include "platform/PathRules.h"
#include "platform/WindowsRules.h"

namespace platform::win32 {

namespace {

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

} // namespace

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
    do {
        if (isDotOrDotDot(data.cFileName))
            continue;
        DirEntry entry; // afresh: nothing carries over from the entry before
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

std::uint32_t Win32System::nativeAttributes(std::string_view nativeUtf8) {
    std::optional<std::wstring> wide = wideFromUtf8(nativeUtf8);
    if (!wide || wide->empty())
        return InvalidAttributes;
    return pathAttributes(apiPath(*wide));
}

} // namespace platform::win32
