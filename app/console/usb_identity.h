#pragma once
// What a listed printer is on the USB: its vendor and product IDs (for the
// duplicate guard: Windows tells two devices apart by vendor, product and
// serial number) and, for a printer-class printer, where it is plugged in.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "discovery/device_list.h"
#include "platform/device_tree.h"
#include "platform/platform.h"

namespace nolpa::app::console {

struct UsbIds {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  friend bool operator==(const UsbIds&, const UsbIds&) = default;
};

// The "vid_XXXX" and "pid_XXXX" parts (case ignored) of a device-interface
// path; nothing when the path has no such parts.
std::optional<UsbIds> UsbIdsFromPath(std::string_view devicePath);

// The IDs of a listed printer: from its path, or, for a virtual COM port,
// from the device descriptor the maker's driver returns (the port is opened
// and closed again). Nothing when neither tells.
std::optional<UsbIds> UsbIdsOf(const platform::Platform& platform,
                               const discovery::DeviceRecord& record);

// "USB\VID_0F1A&PID_0520\A1" from "\\?\usb#vid_0f1a&pid_0520#a1#{...}": the
// three parts after "\\?\", each ended by "#", joined by "\", in capitals.
// Empty for a path of another form.
std::string InstanceIdFromPath(std::string_view devicePath);

// Where the device behind `devicePath` is plugged in, as the system's
// device tree says ("Port_#0002.Hub_#0003"; a composite device's function
// gives its parent's); empty when it cannot tell or there is no tree.
std::string UsbLocationOf(platform::DeviceTree* tree, std::string_view devicePath);

}  // namespace nolpa::app::console
