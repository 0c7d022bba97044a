#pragma once
// The three discovery routes as probes, and Find's walk over them.
#include <functional>
#include <string>

#include "discovery/device_list.h"

namespace nolpa::discovery {

// Examines one probe index; appends one whole record and returns true, or
// appends nothing and returns false.
using Probe = std::function<bool(int index, DeviceList& list)>;

struct Routes {
  Probe vendorDriver;  // indices 0 to 127
  Probe virtualCom;    // indices 0 to 31 (COM1 to COM32)
  Probe printerClass;  // indices 0 to 127
};

inline constexpr int kVendorDriverProbes = 128;
inline constexpr int kVirtualComProbes = 32;
inline constexpr int kPrinterClassProbes = 128;

// Runs the routes in their fixed order over every index; calls `found` with
// the product text of each record as it is appended. A missing probe finds
// nothing.
void RunRoutes(const Routes& routes, DeviceList& list,
               const std::function<void(const std::string& productText)>& found);

}  // namespace nolpa::discovery
