// Paths on Windows: the logic's form is already the Windows form; only the
// text differs. A logic path (code page 932) becomes UTF-16 for every call,
// and names the system returns come back to code page 932 only when they
// convert faithfully (a name such as "한.txt" is reported unfaithful and never
// used as a path). Both directions go through the code page 932 converters of
// Cp932Win32.cpp, never through the system's ANSI code page.
//
// Paths of MAX_PATH or more get the "\\?\" prefix (after the usual
// normalisation), so deep program folders work as well as short ones. The
// program's own path comes from GetModuleFileNameW, a shortcut's target from
// IShellLinkW.
#include "platform/win32/Win32System.h"

#include "platform/Cp932.h"

#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

#include "platform/SystemDll.h"

#include <climits>

namespace platform::win32 {

namespace {

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

} // namespace

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

} // namespace platform::win32
