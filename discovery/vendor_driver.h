#pragma once
// The maker's USB driver: its interface class, control codes, and the
// readout of one printer's texts and USB information line.
#include <cstdint>
#include <optional>
#include <string>

#include "discovery/device_list.h"
#include "platform/device_files.h"
#include "platform/device_interfaces.h"
#include "platform/platform.h"

namespace nolpa::discovery {

inline constexpr platform::Guid kVendorInterfaceClass = {
    0x5DD901C0, 0xBCF4, 0x11D1, {0x97, 0x38, 0x00, 0x80, 0x29, 0xE6, 0xA5, 0xB3}};
// Appended to the interface path to reach the printer.
inline constexpr char kVendorPathSuffix[] = "\\RK";

// Read requests: no input, METHOD_BUFFERED, FILE_ANY_ACCESS, device type 0x22.
inline constexpr std::uint32_t kGetDeviceDescriptor = 0x222040;   // 18 bytes
inline constexpr std::uint32_t kGetStringDescriptors = 0x222048;  // up to 1024 bytes
inline constexpr std::uint32_t kGetStatusBlock = 0x2220C0;        // 4 bytes
inline constexpr std::uint32_t kGetIdName = 0x2220CC;             // up to 512 bytes

inline constexpr std::uint32_t kDeviceDescriptorSize = 18;
inline constexpr std::uint32_t kStringDescriptorsSize = 1024;
inline constexpr std::uint32_t kStatusBlockSize = 4;
inline constexpr std::uint32_t kIdNameSize = 512;

struct DeviceStrings {
  std::string product;
  std::string idCode;
  std::string idName;
};

// Reads the product text, the ID code (serial number) and the ID name of an
// open printer. Returns nullopt only when the string-descriptor request
// fails; a refused ID name request leaves the ID name empty.
std::optional<DeviceStrings> ReadDeviceStrings(platform::DeviceFiles& files,
                                               platform::DeviceHandle handle);

// "USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 " from the device
// descriptor and the status block; nullopt when either request fails or
// returns too few bytes for the fields read.
std::optional<std::string> FormatUsbInfoLine(platform::DeviceFiles& files,
                                             platform::DeviceHandle handle);

// Examines vendor-class interface number `index`: appends one record and
// returns true, or appends nothing and returns false. The interface set and
// the device are released on every path.
bool ProbeVendorDriverDevice(const platform::Platform& platform, int index, DeviceList& list);

}  // namespace nolpa::discovery
