#pragma once
// The Windows print spooler, as far as the serial-number library reads it:
// the local printers, the driver each one uses, and the installed drivers.
// Real implementation: EnumPrintersA, OpenPrinterA / GetPrinterDriverA /
// ClosePrinter, EnumPrinterDriversA, all at information level 2.
#include <string>
#include <vector>

namespace nolpa::platform {

// DRIVER_INFO_2's texts; empty when the spooler gave none.
struct PrinterDriverInfo {
  std::string name;
  std::string driverPath;  // full path of the driver file
  std::string dataFile;    // the driver's data file; may lack a folder
};

class PrintSpooler {
 public:
  virtual ~PrintSpooler() = default;

  // EnumPrintersA(PRINTER_ENUM_LOCAL, null, 2): the names of the local
  // printers in the spooler's order, empty names included. Empty when the
  // call fails (a stopped spooler among other causes).
  virtual std::vector<std::string> LocalPrinterNames() = 0;

  // OpenPrinterA(name) and GetPrinterDriverA(level 2), then ClosePrinter:
  // the driver of printer `printerName`. False when the printer cannot be
  // opened or its driver not read.
  virtual bool PrinterDriver(const std::string& printerName, PrinterDriverInfo* driver) = 0;

  // EnumPrinterDriversA(null, null, 2): every installed driver of this
  // environment. Empty when the call fails.
  virtual std::vector<PrinterDriverInfo> InstalledDrivers() = 0;
};

}  // namespace nolpa::platform
