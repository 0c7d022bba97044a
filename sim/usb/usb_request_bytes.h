#pragma once
// The byte layouts the USB hub driver's requests share (usbioctl.h packs
// its structures to the byte, little-endian, names in UTF-16).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nolpa::sim::usb_bytes {

using Bytes = std::vector<std::uint8_t>;

inline void PutLe16(Bytes& bytes, std::uint32_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value));
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutLe32(Bytes& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline std::uint32_t Le32(std::span<const std::uint8_t> in, std::size_t at = 0) {
  return in[at] | in[at + 1] << 8 | in[at + 2] << 16 | static_cast<std::uint32_t>(in[at + 3]) << 24;
}

// The name as UTF-16 code units with their NUL.
inline Bytes WideName(const std::string& name) {
  Bytes wide;
  for (char c : name) {
    wide.push_back(static_cast<std::uint8_t>(c));
    wide.push_back(0);
  }
  wide.insert(wide.end(), {0, 0});
  return wide;
}

}  // namespace nolpa::sim::usb_bytes
