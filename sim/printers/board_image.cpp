#include "sim/printers/board_image.h"

namespace nolpa::sim {
namespace {

constexpr std::uint16_t kStringDescriptorType = 3;
constexpr std::uint32_t kLastAddress = 0xFFFF;
// A descriptor holding at least one character: 2 header bytes + 2 per character.
constexpr std::uint16_t kMinLengthByte = 4;

// Address `offset` cells after `base`, or nullopt past the end of memory.
std::optional<std::uint16_t> Offset(std::uint16_t base, std::uint32_t offset) {
  const std::uint32_t address = static_cast<std::uint32_t>(base) + offset;
  if (address > kLastAddress) return std::nullopt;
  return static_cast<std::uint16_t>(address);
}

// The value `offset` cells after `base` when it is present and fits in a byte.
std::optional<std::uint8_t> ByteAt(const BoardMemory& memory, std::uint16_t base,
                                   std::uint32_t offset) {
  const auto address = Offset(base, offset);
  if (!address) return std::nullopt;
  const auto value = memory.Value(*address);
  if (!value || *value > 0xFF) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

}  // namespace

void BoardMemory::SelectAddress(std::uint16_t address) { selected_ = address; }

void BoardMemory::WriteValue(std::uint16_t value) { cells_[selected_] = value; }

std::optional<std::uint16_t> BoardMemory::Value(std::uint16_t address) const {
  const auto it = cells_.find(address);
  if (it == cells_.end()) return std::nullopt;
  return it->second;
}

const std::map<std::uint16_t, std::uint16_t>& BoardMemory::Cells() const { return cells_; }

std::vector<std::pair<std::uint16_t, std::uint16_t>> EncodeBoardImage(std::string_view text,
                                                                      std::uint16_t base) {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> image;
  if (text.empty()) {
    image.emplace_back(base, kBoardEmptyImage);
    return image;
  }
  const std::uint32_t length = static_cast<std::uint32_t>(text.size());
  if (text.size() > kBoardMaxTextLength || !Offset(base, 2 + 2 * length)) return image;
  const auto lengthByte = static_cast<std::uint16_t>(2 * length + 2);
  std::uint16_t checksum = lengthByte + kStringDescriptorType;
  image.emplace_back(base, lengthByte);
  image.emplace_back(*Offset(base, 1), kStringDescriptorType);
  for (std::uint32_t i = 0; i < length; ++i) {
    const auto ch = static_cast<std::uint8_t>(text[i]);
    checksum = static_cast<std::uint16_t>(checksum + ch);
    image.emplace_back(*Offset(base, 2 + 2 * i), ch);
    image.emplace_back(*Offset(base, 3 + 2 * i), 0);
  }
  image.emplace_back(*Offset(base, 2 + 2 * length), checksum);
  return image;
}

std::optional<std::string> DecodeBoardImage(const BoardMemory& memory, std::uint16_t base) {
  if (memory.Value(base) == kBoardEmptyImage) return std::string();
  const auto lengthByte = ByteAt(memory, base, 0);
  if (!lengthByte || *lengthByte % 2 != 0 || *lengthByte < kMinLengthByte) return std::nullopt;
  if (ByteAt(memory, base, 1) != kStringDescriptorType) return std::nullopt;
  const std::uint32_t length = (*lengthByte - 2u) / 2u;
  std::string text;
  std::uint16_t checksum = *lengthByte + kStringDescriptorType;
  for (std::uint32_t i = 0; i < length; ++i) {
    const auto ch = ByteAt(memory, base, 2 + 2 * i);
    // A zero character would cut the text short wherever it is used as a C string.
    if (!ch || *ch == 0 || ByteAt(memory, base, 3 + 2 * i) != 0) return std::nullopt;
    text.push_back(static_cast<char>(*ch));
    checksum = static_cast<std::uint16_t>(checksum + *ch);
  }
  const auto address = Offset(base, 2 + 2 * length);
  if (!address || memory.Value(*address) != checksum) return std::nullopt;
  return text;
}

}  // namespace nolpa::sim
