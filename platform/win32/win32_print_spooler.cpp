#include "platform/win32/win32_print_spooler.h"

#include "platform/win32/system_libraries.h"

#include <cstring>

namespace nolpa::platform::win32 {

namespace {

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

PrinterDriverInfo FromNative(const DRIVER_INFO_2A& info) {
  return {Text(info.pName), Text(info.pDriverPath), Text(info.pDataFile)};
}

// The environment argument: null for the caller's own.
char* EnvironmentArgument(const std::string& environment) {
  return environment.empty() ? nullptr : const_cast<char*>(environment.c_str());
}

// The print server's value naming its drivers' environment.
constexpr char kArchitectureValue[] = "Architecture";
// "Windows NT x86", "Windows x64", "Windows IA64" and the like.
constexpr DWORD kMaxEnvironment = 64;

// DWORD elements keep the structures the spooler writes aligned.
std::vector<DWORD> Buffer(DWORD bytes) {
  return std::vector<DWORD>((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
}

}  // namespace

std::vector<std::string> Win32PrintSpooler::LocalPrinterNames() {
  const auto enumPrinters = Spooler().enumPrinters;
  if (enumPrinters == nullptr) return {};
  DWORD needed = 0;
  DWORD count = 0;
  enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
  if (needed == 0) return {};
  std::vector<DWORD> buffer = Buffer(needed);
  if (!enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, reinterpret_cast<BYTE*>(buffer.data()), needed,
                    &needed, &count))
    return {};
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  std::vector<std::string> names;
  for (DWORD i = 0; i < count; ++i) names.push_back(Text(printers[i].pPrinterName));
  return names;
}

std::string Win32PrintSpooler::Environment() {
  const SpoolerCalls& spooler = Spooler();
  if (spooler.openPrinter == nullptr || spooler.getPrinterData == nullptr ||
      spooler.closePrinter == nullptr)
    return {};
  HANDLE server = nullptr;
  if (!spooler.openPrinter(nullptr, &server, nullptr)) return {};
  char text[kMaxEnvironment] = {};
  DWORD type = 0;
  DWORD needed = 0;
  const DWORD result = spooler.getPrinterData(server, const_cast<char*>(kArchitectureValue), &type,
                                              reinterpret_cast<BYTE*>(text), sizeof text, &needed);
  spooler.closePrinter(server);
  if (result != ERROR_SUCCESS || type != REG_SZ || needed > sizeof text) return {};
  return std::string(text, strnlen(text, needed));
}

bool Win32PrintSpooler::PrinterDriver(const std::string& printerName,
                                      const std::string& environment, PrinterDriverInfo* driver) {
  const SpoolerCalls& spooler = Spooler();
  if (spooler.openPrinter == nullptr || spooler.getPrinterDriver == nullptr ||
      spooler.closePrinter == nullptr)
    return false;
  HANDLE printer = nullptr;
  if (!spooler.openPrinter(const_cast<char*>(printerName.c_str()), &printer, nullptr)) return false;
  char* const env = EnvironmentArgument(environment);
  DWORD needed = 0;
  spooler.getPrinterDriver(printer, env, 2, nullptr, 0, &needed);
  std::vector<DWORD> buffer = Buffer(needed);
  const bool ok = needed >= sizeof(DRIVER_INFO_2A) &&
                  spooler.getPrinterDriver(printer, env, 2, reinterpret_cast<BYTE*>(buffer.data()),
                                           needed, &needed);
  spooler.closePrinter(printer);
  if (ok) *driver = FromNative(*reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data()));
  return ok;
}

std::vector<PrinterDriverInfo> Win32PrintSpooler::InstalledDrivers(const std::string& environment) {
  const auto enumDrivers = Spooler().enumPrinterDrivers;
  if (enumDrivers == nullptr) return {};
  char* const env = EnvironmentArgument(environment);
  DWORD needed = 0;
  DWORD count = 0;
  enumDrivers(nullptr, env, 2, nullptr, 0, &needed, &count);
  if (needed == 0) return {};
  std::vector<DWORD> buffer = Buffer(needed);
  if (!enumDrivers(nullptr, env, 2, reinterpret_cast<BYTE*>(buffer.data()), needed, &needed,
                   &count))
    return {};
  const auto* drivers = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data());
  std::vector<PrinterDriverInfo> installed;
  for (DWORD i = 0; i < count; ++i) installed.push_back(FromNative(drivers[i]));
  return installed;
}

}  // namespace nolpa::platform::win32
