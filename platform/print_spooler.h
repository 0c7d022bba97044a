#pragma once
// The Windows print spooler, as far as the serial-number library reads it:
// the local printers, the driver each one uses, and the installed drivers.
// Real implementation: EnumPrintersA, OpenPrinterA / GetPrinterDriverA /
// ClosePrinter, EnumPrinterDriversA, all at information level 2, and
// GetPrinterDataA on the print server. While the spooler service is not
// running every call fails (its RPC server is unavailable).
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

  // OpenPrinterA(null) on the local print server, GetPrinterDataA with the
  // value "Architecture", then ClosePrinter: the environment the spooler's
  // own drivers are of, "Windows x64" on 64-bit Windows and "Windows NT x86"
  // on 32-bit Windows. Empty when it cannot be read.
  virtual std::string Environment() = 0;

  // OpenPrinterA(name) and GetPrinterDriverA(level 2) for `environment`,
  // then ClosePrinter: the driver of printer `printerName`. An empty
  // environment is the caller's own ("Windows NT x86" for a 32-bit
  // process, whatever the machine). False when the printer cannot be
  // opened or it has no driver of that environment.
  virtual bool PrinterDriver(const std::string& printerName, const std::string& environment,
                             PrinterDriverInfo* driver) = 0;

  // EnumPrinterDriversA(null, environment, 2): every installed driver of
  // `environment` (empty: the caller's own). Empty when the call fails.
  virtual std::vector<PrinterDriverInfo> InstalledDrivers(const std::string& environment) = 0;
};

}  // namespace nolpa::platform
