#pragma once
// The USB Printer Class route: printers on the system's own class driver,
// listed when their IEEE 1284 model is one the serial-number library serves,
// with the library's reading of their USB serial number as ID code.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "discovery/device_list.h"
#include "platform/platform.h"
#include "serial_library/morvalib.h"

namespace nolpa::discovery {

// GUID_DEVINTERFACE_USBPRINT.
inline constexpr platform::Guid kPrinterClassInterface = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};
// IOCTL_USBPRINT_GET_1284_ID: no input, the device ID into 1024 bytes.
inline constexpr std::uint32_t kGet1284Id = 0x220034;
inline constexpr std::uint32_t kDeviceIdBufferSize = 1024;
// The model text's buffer holds 255 characters and its NUL.
inline constexpr std::size_t kModelTextMax = 255;
// The serial number's buffer handed to the library.
inline constexpr int kSerialBufferSize = 64;

inline constexpr char kModel5200[] = "RK-L5200";

// What the route reads of the loaded library at probe time: the bound
// GetUSBSerialNumber (null when unbound) and the four extra model names
// (null: none).
struct SerialLibraryView {
  GetUSBSerialNumberFn getUSBSerialNumber = nullptr;
  const std::array<std::string, 4>* addDeviceModels = nullptr;
};
using SerialLibrarySource = std::function<SerialLibraryView()>;

// The "MDL:" value of a device-ID reply of `reply.size()` bytes, as the
// class driver returns it: two big-endian length bytes, then the device ID
// text. The search starts after the length bytes, stops at a NUL and never
// reads past the reply; the value ends at the next ";" and is cut to
// kModelTextMax characters. Empty when there is no "MDL:" or no ";" after.
std::string ModelFromDeviceId(std::span<const std::uint8_t> reply);

// True when `model` contains "RK-L5200", "RK-L880" or any of the extra names
// (case-sensitive); an empty extra name is contained in every model.
bool IsLibraryModel(const std::string& model, const std::array<std::string, 4>* extraModels);

// Examines printer-class interface number `index`: appends one record and
// returns true, or appends nothing and returns false. The library is asked
// for the serial number while this probe still holds the device open. The
// interface set and the device are released on every path.
bool ProbePrinterClassDevice(const platform::Platform& platform, const SerialLibraryView& library,
                             int index, DeviceList& list);

}  // namespace nolpa::discovery
