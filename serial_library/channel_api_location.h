#pragma once
// Where a spooler printer's channel API lives: the file its driver names (in
// the driver's registry key, else in the driver's data file) in the system
// folder or in the installed driver's folder.
#include <string>

#include "serial_library/services.h"

namespace nolpa::morvalib {

// The registry value's and the INI values' buffer sizes (NUL included).
inline constexpr std::uint32_t kChannelApiRegistryNameBytes = 32;
inline constexpr std::uint32_t kChannelApiIniNameBytes = 128;

// The channel API's file name for a driver: HKEY_LOCAL_MACHINE
// "Software\VARDU\QTR7\Driver\<driver>" value "ZQAPI32", read in the 32-bit
// view and, when it is missing or empty there, in the 64-bit view; else the
// data file's "ZQAPII" in [User Mode Printer Driver Information]; else its
// "ZQAPINAME" in [Utility]. A data file without a folder is looked for in
// the driver path's folder. Empty when none names one.
std::string ChannelApiFileName(const LibraryServices& services,
                               const platform::PrinterDriverInfo& driver);

// The full path of the channel API for printer `printerName`, empty when it
// is not available: the printer's driver (of the environment the spooler
// reports, "Windows x64" on 64-bit Windows) unreadable, no file name found, no
// folder for it, or no file at the path. The folder is the system folder on
// Windows before 5 of the NT line and on every non-NT system, and for
// "ZQAPI.DLL", "ZQAPI2.DLL" and "ZQAPI3.DLL" in any case; for another name
// it is the folder of the installed driver named as the printer's driver.
std::string LocateChannelApi(const LibraryServices& services, const std::string& printerName);

}  // namespace nolpa::morvalib
