#include "sim/host/user_locale.h"

#include <cstdint>

namespace nolpa::sim {

namespace {

// The lower-case byte of a code page 1252 letter; any other byte unchanged.
std::uint8_t Lower(std::uint8_t byte) {
  if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(byte + 0x20);
  if (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7) return static_cast<std::uint8_t>(byte + 0x20);
  switch (byte) {
    case 0x8A: return 0x9A;  // Š
    case 0x8C: return 0x9C;  // Œ
    case 0x8E: return 0x9E;  // Ž
    case 0x9F: return 0xFF;  // Ÿ
    default: return byte;
  }
}

}  // namespace

bool WesternUserLocale::EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(static_cast<std::uint8_t>(a[i])) != Lower(static_cast<std::uint8_t>(b[i])))
      return false;
  return true;
}

}  // namespace nolpa::sim
