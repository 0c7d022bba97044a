#pragma once
// The printers of the Windows print spooler: which printer-class device each
// one's ports lead to, where that device is plugged in, and which spooler
// printer with the maker's channel API reaches a given device.
#include <string>
#include <vector>

#include "serial_library/printer_at_location.h"
#include "serial_library/services.h"

namespace nolpa::morvalib {

// The printer-class device path behind the spooler port `port` ("USB001"):
// the present GUID_DEVINTERFACE_USBPRINT interface whose registry "Base
// Name" ("USB" when missing) begins the port, case ignored, and whose "Port
// Number" equals the decimal number after it. Empty when none does, when
// more than one does, or when an interface could not be read (it may be
// the one behind the port): the port then leads to no one device.
std::string PortDevicePath(const LibraryServices& services, const std::string& port);

// The ports a "Port" value names: "USB001,USB002" (a printer pool) gives
// both, blanks around each dropped, empty items left out.
std::vector<std::string> PortList(const std::string& portValue);

// The one printer-class device path that every port of spooler printer
// `printerName` leads to: its registry "Port" under
// SYSTEM\CurrentControlSet\Control\Print\Printers\<name>, each of its
// ports' PortDevicePath. Empty when it has no port, a port leads to no
// device (another kind of port, say), or two of its ports lead to different
// devices (a pool: which one a job reaches is the spooler's choice).
std::string SpoolerPrinterDevice(const LibraryServices& services, const std::string& printerName);

// The UsbLocation of spooler printer `printerName`: where its
// SpoolerPrinterDevice is. Empty when it has none, the path yields no
// instance identifier, or the device cannot be traced.
std::string SpoolerPrinterLocation(const LibraryServices& services, const std::string& printerName,
                                   const UsbLocator& locate);

// The spooler printer that reaches the device whose instance identifier is
// `instanceIdentifier` ("USB\VID_0F1A&PID_0520\A1"): the first local
// printer, in the spooler's order, with a name of at most kMaxPrinterName
// bytes, whose SpoolerPrinterDevice is that very device and whose channel
// API can be located. Empty when none is, and without the channel-API
// services. No device is traced.
std::string SpoolerPrinterOf(const LibraryServices& services,
                             const std::string& instanceIdentifier);

}  // namespace nolpa::morvalib
