#pragma once
// Text conversions between the three forms the simulator meets: UTF-16 code
// units (what USB string descriptors carry), 8-bit byte strings (what the
// program and the printers exchange) and UTF-8 (what a fleet file holds).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nolpa::sim {

// Each byte becomes the code unit of the same value (byte 0xC4 -> U+00C4).
std::u16string Widen(std::string_view bytes);

// Each code unit becomes its low byte, as the program narrows device texts.
std::string Narrow(std::u16string_view units);

// UTF-8 to UTF-16. Malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8. Returns nullopt when `units` holds an unpaired surrogate,
// which UTF-8 cannot carry.
std::optional<std::string> Utf16ToUtf8(std::u16string_view units);

// A byte string written as UTF-8 with one code point per byte (byte b is
// U+00bb), so any byte sequence survives a text file; and back, taking the
// low byte of every code point.
std::string BytesToUtf8(std::string_view bytes);
std::string Utf8ToBytes(std::string_view utf8);

// "04 03 09 04": upper-case hexadecimal bytes separated by single spaces.
std::string FormatHexBytes(const std::vector<std::uint8_t>& bytes);

// Reads hexadecimal byte pairs, ignoring spaces; nullopt on any other
// character or an odd digit count.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text);

}  // namespace nolpa::sim
