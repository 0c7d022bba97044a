#include "discovery/vendor_driver.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/scoped.h"

namespace nolpa::discovery {

namespace {

// Low bytes of `units` UTF-16 code units starting at `data`, up to the first
// zero byte: the texts are NUL-terminated 8-bit strings from here on, so a
// unit such as U+0100 ends them, and what is shown is what is checked.
std::string NarrowUnits(const std::uint8_t* data, int units) {
  std::string text;
  for (int i = 0; i < units && data[2 * i] != 0; ++i)
    text.push_back(static_cast<char>(data[2 * i]));
  return text;
}

// The text of the string descriptor at `position`, whose length byte is `len`;
// the caller has checked that the descriptor lies inside the reply.
std::string DescriptorText(const std::uint8_t* reply, int position, int len) {
  const int units = len / 2 - 1;
  return units > 0 ? NarrowUnits(reply + position + 2, units) : std::string();
}

std::string ReadIdName(platform::DeviceFiles& files, platform::DeviceHandle handle) {
  std::array<std::uint8_t, kIdNameSize> reply{};
  std::uint32_t returned = 0;
  if (!files.IoControl(handle, kGetIdName, nullptr, 0, reply.data(), kIdNameSize, &returned))
    return {};
  returned = std::min(returned, kIdNameSize);
  if (returned < 2) return {};
  // The descriptor's own length says how many units follow its header; the
  // driver's count bounds them too.
  const int declared = reply[0] / 2 - 1;
  const int available = static_cast<int>(returned - 2) / 2;
  return NarrowUnits(reply.data() + 2, std::max(0, std::min(declared, available)));
}

struct BoardName {
  std::uint8_t code;
  const char* text;
};
constexpr BoardName kBoardNames[] = {
    {0x04, "Onboard USB(1) Series"},
    {0x08, "Onboard USB(2) Series"},
    // The one code left beside the other onboard rows (bits 6, 5, 3 and 2
    // clear); 0x00 and 0x0C are NW-J boards.
    {0x10, "Onboard USB(3) Series"},
    {0x24, "Onboard USB(4) Series"},
    {0x40, "Onboard USB(5) Series"},
};
constexpr char kOtherBoard[] = "NW-J Series";
constexpr std::uint8_t kBoardBits = 0x7C;

const char* BoardText(std::uint8_t status0) {
  for (const auto& board : kBoardNames)
    if ((status0 & kBoardBits) == board.code) return board.text;
  return kOtherBoard;
}

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::optional<DeviceStrings> ReadDeviceStrings(platform::DeviceFiles& files,
                                               platform::DeviceHandle handle) {
  std::array<std::uint8_t, kStringDescriptorsSize> reply{};
  std::uint32_t returned = 0;
  if (!files.IoControl(handle, kGetStringDescriptors, nullptr, 0, reply.data(),
                       kStringDescriptorsSize, &returned))
    return std::nullopt;
  const int count = static_cast<int>(std::min(returned, kStringDescriptorsSize));

  DeviceStrings strings;
  // The first descriptor holds the language IDs and is skipped.
  int position = count > 0 ? reply[0] : 0;
  int remaining = count - position;
  for (int number = 0; number < 3 && remaining > 0; ++number) {
    const int len = reply[position];
    remaining -= len;
    if (remaining < 0) break;  // reaches past what the driver returned
    std::string text = DescriptorText(reply.data(), position, len);
    if (number == 1)
      strings.product = std::move(text);
    else if (number == 2)
      strings.idCode = std::move(text);
    position += len;
  }
  strings.idName = ReadIdName(files, handle);
  return strings;
}

std::optional<std::string> FormatUsbInfoLine(platform::DeviceFiles& files,
                                             platform::DeviceHandle handle) {
  std::array<std::uint8_t, kDeviceDescriptorSize> descriptor{};
  std::uint32_t returned = 0;
  if (!files.IoControl(handle, kGetDeviceDescriptor, nullptr, 0, descriptor.data(),
                       kDeviceDescriptorSize, &returned) ||
      returned < 14)
    return std::nullopt;
  const std::uint16_t bcdUsb = Le16(&descriptor[2]);
  const std::uint16_t bcdDevice = Le16(&descriptor[12]);

  std::array<std::uint8_t, kStatusBlockSize> status{};
  returned = 0;
  if (!files.IoControl(handle, kGetStatusBlock, nullptr, 0, status.data(), kStatusBlockSize,
                       &returned) ||
      returned < 2)
    return std::nullopt;

  char version[16];
  std::snprintf(version, sizeof version, "USB%X.%X ", (bcdUsb >> 8) & 0xFF, (bcdUsb >> 4) & 0xF);
  char deviceVersion[16];
  std::snprintf(deviceVersion, sizeof deviceVersion, " Ver.%X.%X ", (bcdDevice >> 8) & 0xFF,
                bcdDevice & 0xFF);
  const char* speed = (status[1] & 0x01) != 0 ? "High Speed, " : "Full Speed, ";
  return std::string(version) + speed + BoardText(status[0]) + deviceVersion;
}

bool ProbeVendorDriverDevice(const platform::Platform& platform, int index, DeviceList& list) {
  platform::ScopedInterfaceSet set(*platform.interfaces,
                                   platform.interfaces->OpenSet(kVendorInterfaceClass));
  if (!set.Valid()) return false;
  std::string interfacePath;
  if (!platform.interfaces->InterfacePath(set.Get(), kVendorInterfaceClass,
                                          static_cast<std::uint32_t>(index), &interfacePath))
    return false;
  const std::string devicePath = interfacePath + kVendorPathSuffix;

  platform::ScopedDevice device(*platform.files, platform.files->Open(devicePath));
  if (!device.Valid()) return false;
  const auto strings = ReadDeviceStrings(*platform.files, device.Get());
  if (!strings) return false;
  const auto infoLine = FormatUsbInfoLine(*platform.files, device.Get());
  if (!infoLine) return false;

  list.Append({devicePath, strings->product, strings->idCode, strings->idName, "", *infoLine});
  return true;
}

}  // namespace nolpa::discovery
