#include "app/console/usb_identity.h"

#include <array>

#include "discovery/vendor_driver.h"
#include "platform/scoped.h"

namespace nolpa::app::console {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The four hexadecimal digits after `tag` ("VID_"), case ignored.
std::optional<std::uint16_t> HexAfter(const std::string& upper, std::string_view tag) {
  const std::size_t at = upper.find(tag);
  if (at == std::string::npos || at + tag.size() + 4 > upper.size()) return std::nullopt;
  std::uint16_t value = 0;
  for (std::size_t i = at + tag.size(); i < at + tag.size() + 4; ++i) {
    const char c = upper[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) return std::nullopt;
    value = static_cast<std::uint16_t>(value * 16 + digit);
  }
  return value;
}

std::string UpperText(std::string_view text) {
  std::string upper;
  for (char c : text) upper += Upper(c);
  return upper;
}

}  // namespace

std::optional<UsbIds> UsbIdsFromPath(std::string_view devicePath) {
  const std::string upper = UpperText(devicePath);
  const auto vendor = HexAfter(upper, "VID_");
  const auto product = HexAfter(upper, "PID_");
  if (!vendor || !product) return std::nullopt;
  return UsbIds{*vendor, *product};
}

std::optional<UsbIds> UsbIdsOf(const platform::Platform& platform,
                               const discovery::DeviceRecord& record) {
  if (const auto ids = UsbIdsFromPath(record.devicePath)) return ids;
  if (discovery::Contains(record.infoLine2, discovery::kPrinterClassMarker)) return std::nullopt;
  platform::ScopedDevice device(*platform.files, platform.files->Open(record.devicePath));
  if (!device.Valid()) return std::nullopt;
  std::array<std::uint8_t, discovery::kDeviceDescriptorSize> descriptor{};
  std::uint32_t returned = 0;
  constexpr std::uint32_t kIdsEnd = 12;  // idVendor at 8, idProduct at 10
  if (!platform.files->IoControl(device.Get(), discovery::kGetDeviceDescriptor, nullptr, 0,
                                 descriptor.data(), discovery::kDeviceDescriptorSize, &returned) ||
      returned < kIdsEnd)
    return std::nullopt;
  return UsbIds{static_cast<std::uint16_t>(descriptor[8] | descriptor[9] << 8),
                static_cast<std::uint16_t>(descriptor[10] | descriptor[11] << 8)};
}

std::string InstanceIdFromPath(std::string_view devicePath) {
  constexpr std::string_view kPrefix = "\\\\?\\";
  if (!devicePath.starts_with(kPrefix)) return {};
  std::string_view rest = devicePath.substr(kPrefix.size());
  std::string id;
  for (int part = 0; part < 3; ++part) {
    const std::size_t end = rest.find('#');
    if (end == std::string_view::npos) return {};
    id += (part > 0 ? "\\" : "") + UpperText(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  return id;
}

std::string UsbLocationOf(platform::DeviceTree* tree, std::string_view devicePath) {
  const std::string instance = InstanceIdFromPath(devicePath);
  platform::DevNode node = 0;
  if (tree == nullptr || instance.empty() || !tree->LocateNode(instance, &node)) return {};
  // A function of a composite device ("USB\VID_v&PID_p&MI_nn\...") has no
  // socket of its own: it sits on the socket of the composite device above.
  if (instance.find("&MI_") != std::string::npos && !tree->Parent(node, &node)) return {};
  std::string location;
  if (!tree->Property(node, platform::NodeProperty::LocationInformation, &location)) return {};
  return location;
}

}  // namespace nolpa::app::console
