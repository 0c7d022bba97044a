#pragma once
// The real print spooler: EnumPrintersA, OpenPrinterA / GetPrinterDriverA /
// ClosePrinter, EnumPrinterDriversA, GetPrinterDataA on the print server,
// from the system folder's winspool.drv (system_libraries.h).
#include "platform/print_spooler.h"

namespace nolpa::platform::win32 {

class Win32PrintSpooler final : public PrintSpooler {
 public:
  std::vector<std::string> LocalPrinterNames() override;
  std::string Environment() override;
  bool PrinterDriver(const std::string& printerName, const std::string& environment,
                     PrinterDriverInfo* driver) override;
  std::vector<PrinterDriverInfo> InstalledDrivers(const std::string& environment) override;
};

}  // namespace nolpa::platform::win32
