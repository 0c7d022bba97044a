#pragma once
// The maker's virtual COM port driver: printers reached as COM1 to COM32,
// read out as on the vendor driver route.
#include <string>

#include "discovery/device_list.h"
#include "platform/platform.h"

namespace nolpa::discovery {

// Found in the first DOS device target of every port of the maker's driver
// (case-sensitive).
inline constexpr char kVirtualComDriverMarker[] = "Kolmx";
// Put between the product text and the port name in the product list.
inline constexpr char kPortNameSeparator[] = "   [";

// "COM" and the port number of probe index `index` (0 stands for COM1).
std::string ComPortName(int index);

// Examines COM port `index` + 1 (index 0 to 31): when its DOS device target
// names the maker's driver, opens "\\.\COMn", sets the channel time-outs and
// appends one record whose product text ends in "   [COMn]"; otherwise
// appends nothing and returns false. A port of another driver is never
// opened; the port is closed on every path after it was opened.
bool ProbeVirtualComPort(const platform::Platform& platform, int index, DeviceList& list);

}  // namespace nolpa::discovery
