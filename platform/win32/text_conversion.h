#pragma once
// Conversions between the program's two kinds of 8-bit text and the UTF-16
// the wide Win32 calls take: captions and messages are UTF-8, device texts
// are in the system's ANSI code page.
#include <string>

namespace nolpa::platform::win32 {

// UTF-8 to UTF-16. Bytes that are not valid UTF-8 are read in the ANSI code
// page instead, so a message built from device text still shows.
std::wstring Utf8ToWide(const std::string& text);

// ANSI code page (CP_ACP) to UTF-16 and back.
std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// UTF-16 to UTF-8.
std::string WideToUtf8(const std::wstring& text);

// UTF-8 to UTF-16; false for bytes that are no well-formed UTF-8.
bool Utf8ToWideStrictly(const std::string& text, std::wstring* wide);

// UTF-16 to the ANSI code page, only when every character has its exact
// counterpart there (no best-fit look-alike, no default character); false
// otherwise, `ansi` unchanged.
bool WideToAnsiExactly(const std::wstring& text, std::string* ansi);

}  // namespace nolpa::platform::win32
