#pragma once
// Writing the ID code and ID name into the memory of an interface board,
// location by location, with control requests of the vendor USB driver.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/device_files.h"

namespace nolpa::ident {

// Control codes of the vendor driver (device type 0x22, buffered, any access).
inline constexpr std::uint32_t kSetBoardAddressCode = 0x2221C0;
inline constexpr std::uint32_t kWriteBoardValueCode = 0x2221C8;
inline constexpr std::uint32_t kFinishBoardWriteCode = 0x2221FC;

// Each identifier owns a 256-location area of board memory.
inline constexpr std::uint16_t kIdCodeBase = 0;
inline constexpr std::uint16_t kIdNameBase = 256;
// Longest text whose image fits its area and whose length byte (2L + 2) does
// not wrap.
inline constexpr std::size_t kMaxBoardTextLength = 126;

// One 16-bit board memory location and the value written there.
struct BoardLocation {
  std::uint16_t address;
  std::uint16_t value;
  friend bool operator==(const BoardLocation&, const BoardLocation&) = default;
};

// The locations that hold `text` at `base`, in the order they are written: a
// USB string descriptor (length byte 2L + 2, type 3, each character as a
// 16-bit unit with a zero high byte) followed by a 16-bit checksum of the
// length byte, the 3 and the character bytes. The empty text is the single
// location (base, 0x00FF). Requires text.size() <= kMaxBoardTextLength.
std::vector<BoardLocation> BoardStringImage(std::uint16_t base, std::string_view text);

// Selects the board address the next WriteBoardValue goes to. True when the
// driver accepted the request.
bool SetBoardAddress(platform::DeviceFiles& files, platform::DeviceHandle board,
                     std::uint16_t address);

// Writes `value` at the selected address. True when the driver accepted it.
bool WriteBoardValue(platform::DeviceFiles& files, platform::DeviceHandle board,
                     std::uint16_t value);

// Tells the board that the write is complete: the board takes the written
// images into use only then, so a refused finish means nothing changed.
bool FinishBoardWrite(platform::DeviceFiles& files, platform::DeviceHandle board);

// Writes the image of `text` at `base`, each location as SetBoardAddress
// then WriteBoardValue. Stops at the first refused request with false,
// leaving the locations before it written. A text longer than
// kMaxBoardTextLength is refused with false before any request.
bool WriteBoardString(platform::DeviceFiles& files, platform::DeviceHandle board,
                      std::uint16_t base, std::string_view text);

// Writes both identifiers in full (changed or not): the ID code at
// kIdCodeBase, the ID name at kIdNameBase, then FinishBoardWrite. False at
// the first refused request, without FinishBoardWrite, and when the finish
// is refused. If either text is
// longer than kMaxBoardTextLength, returns false before any request, so the
// board is left untouched.
bool WriteIdByBoard(platform::DeviceFiles& files, platform::DeviceHandle boardHandle,
                    std::string_view idCode, std::string_view idName);

}  // namespace nolpa::ident
