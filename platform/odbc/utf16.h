#pragma once
// UTF-8 and UTF-16 both ways, for the wide-character ODBC calls. A byte
// sequence that is no well-formed UTF-8 character, and a lone surrogate,
// become U+FFFD; nothing is ever dropped silently.
#include <string>
#include <string_view>

namespace nolpa::platform::odbc {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace nolpa::platform::odbc
