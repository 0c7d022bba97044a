#pragma once
// The real print spooler: EnumPrintersA, OpenPrinterA / GetPrinterDriverA /
// ClosePrinter, EnumPrinterDriversA, from the system folder's winspool.drv
// (system_libraries.h).
#include "platform/print_spooler.h"

namespace nolpa::platform::win32 {

class Win32PrintSpooler final : public PrintSpooler {
 public:
  std::vector<std::string> LocalPrinterNames() override;
  bool PrinterDriver(const std::string& printerName, PrinterDriverInfo* driver) override;
  std::vector<PrinterDriverInfo> InstalledDrivers() override;
};

}  // namespace nolpa::platform::win32
