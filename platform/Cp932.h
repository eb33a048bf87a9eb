// Conversion between UTF-8 (the window's and Linux's text) and code page 932
// (the logic's text). Used only at the edges: where the window hands a text to
// the logic, where a native file name enters or leaves the logic.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// nullopt when the text is not valid UTF-8 or holds a character that code page
// 932 cannot hold. Never substitutes silently.
std::optional<std::string> cp932FromUtf8(std::string_view utf8);

// nullopt when the bytes are not valid code page 932.
std::optional<std::string> utf8FromCp932(std::string_view cp932);

// For messages only: every character code page 932 cannot hold (or every
// invalid byte) becomes the geta mark "〓", so the reader sees where it was.
std::string cp932FromUtf8ForDisplay(std::string_view utf8);
std::string utf8FromCp932ForDisplay(std::string_view cp932);

// UTF-16LE, the text of a profile file saved as Unicode, without its mark:
// nullopt for an odd number of bytes or an unpaired surrogate.
std::optional<std::string> utf8FromUtf16le(std::string_view bytes);
// Valid UTF-8 as UTF-16LE bytes.
std::string utf16leFromUtf8(std::string_view utf8);

} // namespace platform
