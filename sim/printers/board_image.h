#pragma once
// The identifier memory of a simulated interface board, and the image format
// the host writes into it: per identifier a USB string descriptor (length
// byte, type 3, one byte per UTF-16LE code unit) followed by a 16-bit
// checksum, one 16-bit value per address. The ID code lives at base 0, the
// ID name at base 256.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nolpa::sim {

inline constexpr std::uint16_t kBoardIdCodeBase = 0;
inline constexpr std::uint16_t kBoardIdNameBase = 256;

// The value an empty identifier is stored as, alone at its base address.
inline constexpr std::uint16_t kBoardEmptyImage = 0x00FF;

// Longest text an image can hold: its length byte 2L + 2 must fit in 8 bits.
inline constexpr std::size_t kBoardMaxTextLength = 126;

class BoardMemory {
 public:
  // Sets the address the next WriteValue goes to. The address register
  // starts at 0, as on a freshly reset board, and does not advance by itself.
  void SelectAddress(std::uint16_t address);

  // Stores `value` at the selected address, replacing what was there.
  void WriteValue(std::uint16_t value);

  // The value at `address`, or nullopt when nothing was ever written there.
  std::optional<std::uint16_t> Value(std::uint16_t address) const;

  // Every written address with its value.
  const std::map<std::uint16_t, std::uint16_t>& Cells() const;

 private:
  std::uint16_t selected_ = 0;
  std::map<std::uint16_t, std::uint16_t> cells_;
};

// The (address, value) pairs of the image of `text` at `base`, in the order a
// host writes them: the single pair (base, 0x00FF) for an empty text. Empty
// result when the text is longer than kBoardMaxTextLength or the image would
// run past address 0xFFFF.
std::vector<std::pair<std::uint16_t, std::uint16_t>> EncodeBoardImage(std::string_view text,
                                                                      std::uint16_t base);

// The identifier encoded at `base`: "" for the single value 0x00FF, the text
// for a well-formed string-descriptor image with a correct checksum, nullopt
// when broken: a missing cell, a type other than 3, a length byte that is odd,
// below 4 or has a high byte, a character cell with a high byte or value 0, a
// non-zero high-byte cell, or a wrong checksum.
std::optional<std::string> DecodeBoardImage(const BoardMemory& memory, std::uint16_t base);

}  // namespace nolpa::sim
