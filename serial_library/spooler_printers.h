#pragma once
// The spooler printer table: which printers of the Windows print spooler sit
// on which USB socket and offer the maker's channel API. Built anew for
// every open and thrown away after it.
#include <functional>
#include <string>
#include <vector>

#include "serial_library/services.h"

namespace nolpa::morvalib {

// The UsbLocation of the device behind a printer-class device path; empty
// when the device's attachment point cannot be traced.
using UsbLocator = std::function<std::string(const std::string& devicePath)>;

struct LocatedPrinter {
  std::string printerName;
  std::string usbLocation;
};

// The printer-class device path behind the spooler port `port` ("USB001"):
// the first present GUID_DEVINTERFACE_USBPRINT interface whose registry
// "Base Name" ("USB" when missing) begins the port, case ignored, and whose
// "Port Number" equals the decimal number after it (an interface that
// cannot be read is passed over). Empty when none does.
std::string PortDevicePath(const LibraryServices& services, const std::string& port);

// The ports a "Port" value names: "USB001,USB002" (a printer pool) gives
// both, blanks around each dropped, empty items left out.
std::vector<std::string> PortList(const std::string& portValue);

// The UsbLocation of the spooler printer `printerName`: its registry "Port"
// under SYSTEM\CurrentControlSet\Control\Print\Printers\<name>, the
// device behind any one of its ports, that device's location. Empty when
// any step finds nothing, the device path yields no instance identifier,
// or its ports lead to more than one device (a pool: the channel API,
// which names the printer, could reach either).
std::string SpoolerPrinterLocation(const LibraryServices& services, const std::string& printerName,
                                   const UsbLocator& locate);

// Every local printer with a non-empty name whose location is known and
// whose channel API can be located, in the spooler's order. Empty without
// the channel-API services.
std::vector<LocatedPrinter> SpoolerPrinterTable(const LibraryServices& services,
                                                const UsbLocator& locate);

}  // namespace nolpa::morvalib
