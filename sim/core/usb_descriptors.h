#pragma once
// The USB facts a simulated printer reports through the maker's driver, and
// the byte layouts the driver hands back for them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nolpa::sim {

// Board codes (status byte 0) of the onboard interfaces; every other code,
// looking at bits 6 to 2 only, stands for an NW-J interface board. 0x10 is
// the one code left beside the other onboard ones (bits 6, 5, 3 and 2 clear).
inline constexpr std::uint8_t kOnboardUsb1 = 0x04;
inline constexpr std::uint8_t kOnboardUsb2 = 0x08;
inline constexpr std::uint8_t kOnboardUsb3 = 0x10;
inline constexpr std::uint8_t kOnboardUsb4 = 0x24;
inline constexpr std::uint8_t kOnboardUsb5 = 0x40;
inline constexpr std::uint8_t kNwjBoard = 0x00;  // NW-J codes: 0x00 and 0x0C among others
inline constexpr std::uint8_t kNwjBoardC = 0x0C;

// True when `boardCode` names an NW-J board (bits 6 to 2 match no onboard code).
bool IsNwjBoard(std::uint8_t boardCode);

struct UsbDeviceInfo {
  std::uint16_t vendorId = 0x0F1A;
  std::uint16_t productId = 0x0410;
  std::uint16_t bcdUsb = 0x0200;
  std::uint16_t bcdDevice = 0x0100;
  bool highSpeed = true;
  std::uint8_t boardCode = kOnboardUsb1;  // status byte 0
  std::u16string manufacturer = u"Nolpa";
  std::u16string product = u"VX-410 Receipt";
};

// The 18-byte standard device descriptor (strings at indices 1, 2 and 3).
std::vector<std::uint8_t> DeviceDescriptor(const UsbDeviceInfo& usb);

// A string descriptor: length byte, type 3, UTF-16LE units. A text longer
// than 126 units is cut so that the length byte stays within 255.
std::vector<std::uint8_t> StringDescriptor(std::u16string_view text);

// The language-ID descriptor: 04 03 09 04 (US English).
std::vector<std::uint8_t> LanguageDescriptor();

// The driver's string block: language IDs, manufacturer, product, serial.
std::vector<std::uint8_t> StringBlock(const UsbDeviceInfo& usb, std::u16string_view serial);

// The driver's 4-byte status block: board code, speed bit, two zero bytes.
std::vector<std::uint8_t> StatusBlock(const UsbDeviceInfo& usb);

}  // namespace nolpa::sim
