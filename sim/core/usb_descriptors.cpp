#include "sim/core/usb_descriptors.h"

#include <algorithm>

namespace nolpa::sim {
namespace {
constexpr std::size_t kMaxStringUnits = 126;  // (255 - 2) / 2

void PutLe16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
}  // namespace

bool IsNwjBoard(std::uint8_t boardCode) {
  const std::uint8_t bits = boardCode & 0x7C;
  return bits != kOnboardUsb1 && bits != kOnboardUsb2 && bits != kOnboardUsb3 &&
         bits != kOnboardUsb4 && bits != kOnboardUsb5;
}

std::vector<std::uint8_t> DeviceDescriptor(const UsbDeviceInfo& usb) {
  std::vector<std::uint8_t> d(18, 0);
  d[0] = 18;  // bLength
  d[1] = 1;   // bDescriptorType: device
  PutLe16(d, 2, usb.bcdUsb);
  d[7] = 64;  // bMaxPacketSize0
  PutLe16(d, 8, usb.vendorId);
  PutLe16(d, 10, usb.productId);
  PutLe16(d, 12, usb.bcdDevice);
  d[14] = 1;  // iManufacturer
  d[15] = 2;  // iProduct
  d[16] = 3;  // iSerialNumber
  d[17] = 1;  // bNumConfigurations
  return d;
}

std::vector<std::uint8_t> StringDescriptor(std::u16string_view text) {
  const std::size_t units = std::min(text.size(), kMaxStringUnits);
  std::vector<std::uint8_t> d;
  d.reserve(2 + units * 2);
  d.push_back(static_cast<std::uint8_t>(2 + units * 2));
  d.push_back(3);
  for (std::size_t i = 0; i < units; ++i) {
    d.push_back(static_cast<std::uint8_t>(text[i] & 0xFF));
    d.push_back(static_cast<std::uint8_t>(text[i] >> 8));
  }
  return d;
}

std::vector<std::uint8_t> LanguageDescriptor() { return {0x04, 0x03, 0x09, 0x04}; }

std::vector<std::uint8_t> StringBlock(const UsbDeviceInfo& usb, std::u16string_view serial) {
  std::vector<std::uint8_t> block = LanguageDescriptor();
  for (std::u16string_view text :
       {std::u16string_view(usb.manufacturer), std::u16string_view(usb.product), serial}) {
    const auto d = StringDescriptor(text);
    block.insert(block.end(), d.begin(), d.end());
  }
  return block;
}

std::vector<std::uint8_t> StatusBlock(const UsbDeviceInfo& usb) {
  return {usb.boardCode, static_cast<std::uint8_t>(usb.highSpeed ? 1 : 0), 0, 0};
}

}  // namespace nolpa::sim
