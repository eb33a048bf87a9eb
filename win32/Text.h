// The one edge where the window's UTF-16 meets the logic's UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

std::wstring utf16(std::string_view utf8);
// A lone surrogate (which no code page holds) becomes U+FFFD, which the logic's
// code page 932 refuses in turn.
std::string utf8(std::wstring_view utf16);

// The logic's line break, a lone "\r", as the CR LF that Windows controls draw.
std::wstring withCrLf(std::wstring_view text);

} // namespace win32
