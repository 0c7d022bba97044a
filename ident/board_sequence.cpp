#include "ident/board_sequence.h"

#include <array>

namespace nolpa::ident {
namespace {

constexpr std::uint16_t kEmptyTextValue = 0x00FF;
constexpr std::uint16_t kStringDescriptorType = 3;
constexpr std::uint32_t kFinishInputSize = 16;

// Sends one request whose input is a little-endian 16-bit word.
bool SendWord(platform::DeviceFiles& files, platform::DeviceHandle board, std::uint32_t code,
              std::uint16_t word) {
  const std::array<std::uint8_t, 2> input = {static_cast<std::uint8_t>(word & 0xFF),
                                             static_cast<std::uint8_t>(word >> 8)};
  std::uint32_t returned = 0;
  return files.IoControl(board, code, input.data(), input.size(), nullptr, 0, &returned);
}

}  // namespace

std::vector<BoardLocation> BoardStringImage(std::uint16_t base, std::string_view text) {
  if (text.empty()) return {{base, kEmptyTextValue}};
  const auto at = [base](std::size_t offset) { return static_cast<std::uint16_t>(base + offset); };
  const auto lengthByte = static_cast<std::uint16_t>((2 * text.size() + 2) & 0xFF);
  std::vector<BoardLocation> image = {{at(0), lengthByte}, {at(1), kStringDescriptorType}};
  std::uint16_t checksum = lengthByte + kStringDescriptorType;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Bytes from 0x80 up are characters of the code page, not negative.
    const auto character = static_cast<std::uint8_t>(text[i]);
    image.push_back({at(2 + 2 * i), character});
    image.push_back({at(3 + 2 * i), 0});
    checksum = static_cast<std::uint16_t>(checksum + character);
  }
  image.push_back({at(2 + 2 * text.size()), checksum});
  return image;
}

bool SetBoardAddress(platform::DeviceFiles& files, platform::DeviceHandle board,
                     std::uint16_t address) {
  return SendWord(files, board, kSetBoardAddressCode, address);
}

bool WriteBoardValue(platform::DeviceFiles& files, platform::DeviceHandle board,
                     std::uint16_t value) {
  return SendWord(files, board, kWriteBoardValueCode, value);
}

bool FinishBoardWrite(platform::DeviceFiles& files, platform::DeviceHandle board) {
  const std::array<std::uint8_t, kFinishInputSize> input{};
  std::uint32_t returned = 0;
  return files.IoControl(board, kFinishBoardWriteCode, input.data(), input.size(), nullptr, 0,
                         &returned);
}

bool WriteBoardString(platform::DeviceFiles& files, platform::DeviceHandle board,
                      std::uint16_t base, std::string_view text) {
  // A longer image would wrap its length byte and spill into the next area.
  if (text.size() > kMaxBoardTextLength) return false;
  for (const BoardLocation& location : BoardStringImage(base, text)) {
    if (!SetBoardAddress(files, board, location.address)) return false;
    if (!WriteBoardValue(files, board, location.value)) return false;
  }
  return true;
}

bool WriteIdByBoard(platform::DeviceFiles& files, platform::DeviceHandle boardHandle,
                    std::string_view idCode, std::string_view idName) {
  // Both are checked first: refusing the name after the code was written
  // would leave the board half updated.
  if (idCode.size() > kMaxBoardTextLength || idName.size() > kMaxBoardTextLength) return false;
  if (!WriteBoardString(files, boardHandle, kIdCodeBase, idCode)) return false;
  if (!WriteBoardString(files, boardHandle, kIdNameBase, idName)) return false;
  return FinishBoardWrite(files, boardHandle);
}

}  // namespace nolpa::ident
