// Paths on POSIX: the logic's "\home\a\b.exe" (code page 932) is the native
// "/home/a/b.exe" (UTF-8). The backslash of the logic's form is found
// character-aware by decoding the code page 932 text first: the trail byte
// 0x5C of "ソ" becomes part of U+30BD and never a slash. A native name that
// cannot be written faithfully in the logic's Windows form (not UTF-8, a
// character code page 932 cannot hold, a backslash, a colon or a control
// character) does not enter the logic as a path. The program's own path is
// read from /proc/self/exe.
#include "platform/posix/PosixSystem.h"

#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "platform/WindowsRules.h"

#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace platform::posix {

std::optional<std::string> nativeOf(std::string_view logic) {
    if (logic.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::optional<std::string> utf8 = utf8FromCp932(logic);
    if (!utf8)
        return std::nullopt;
    // UTF-8 never holds the byte 0x5C inside a multi-byte character, so every
    // 0x5C left is a backslash of the logic's form.
    for (char& c : *utf8)
        if (c == '\\')
            c = '/';
    return utf8;
}

std::string PosixSystem::ownExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    if (auto logic = fromNativePath(buffer))
        return *logic;
    // Not representable: the message form, so that at least a message can
    // name it (files beside it will not be found under it).
    std::string shown = cp932FromUtf8ForDisplay(buffer);
    for (std::size_t i = 0; i < shown.size(); i = pathrules::nextCharacter(shown, i))
        if (shown[i] == '/')
            shown[i] = '\\';
    return shown;
}

std::optional<std::string> PosixSystem::fromNativePath(std::string_view nativeUtf8) {
    return logicOf(nativeUtf8);
}

std::optional<std::string> logicOf(std::string_view nativeUtf8) {
    if (nativeUtf8.empty())
        return std::nullopt;
    std::string full;
    if (nativeUtf8.front() != '/') {
        std::unique_ptr<char, decltype(&free)> cwd(getcwd(nullptr, 0), &free);
        if (!cwd)
            return std::nullopt;
        full = cwd.get();
        full += '/';
    }
    full.append(nativeUtf8.data(), nativeUtf8.size());
    for (char c : full)
        if (windowsrules::isForbiddenByte(static_cast<unsigned char>(c)))
            return std::nullopt;

    // Components joined by backslashes; empty and "." components dropped
    // (duplicate slashes collapse); ".." kept as it is, since resolving it
    // without the file system would go wrong across symbolic links.
    std::string joined;
    joined.reserve(full.size());
    std::size_t start = 1;
    bool endsAsFolder = false;
    while (start <= full.size()) {
        std::size_t slash = full.find('/', start);
        if (slash == std::string::npos)
            slash = full.size();
        std::string_view part(full.data() + start, slash - start);
        endsAsFolder = part.empty() || part == ".";
        if (!endsAsFolder) {
            joined += '\\';
            joined.append(part.data(), part.size());
        }
        start = slash + 1;
    }
    if (joined.empty() || endsAsFolder)
        joined += '\\';
    // The backslashes are ASCII and stay as they are in code page 932.
    return cp932FromUtf8(joined);
}

std::string PosixSystem::toNativePath(std::string_view logicPath) {
    if (std::optional<std::string> native = nativeOf(logicPath))
        return *native;
    // Bytes that are not valid code page 932: the message form, each bad
    // character shown as "〓". File operations refuse such a path instead.
    std::string shown = utf8FromCp932ForDisplay(logicPath);
    for (char& c : shown)
        if (c == '\\')
            c = '/';
    return shown;
}

} // namespace platform::posix
