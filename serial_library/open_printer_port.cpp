#include "serial_library/open_printer_port.h"

#include <new>

#include "serial_library/direct_port.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"

namespace nolpa::morvalib {

namespace {
constexpr std::string_view kPathPrefix = "\\\\?\\";
constexpr int kInstanceParts = 3;

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::optional<std::string> InstanceIdentifier(std::string_view devicePath) {
  if (!devicePath.starts_with(kPathPrefix)) return std::nullopt;
  std::string_view rest = devicePath.substr(kPathPrefix.size());
  std::string identifier;
  for (int part = 0; part < kInstanceParts; ++part) {
    const std::size_t end = rest.find('#');
    if (end == std::string_view::npos || end == 0) return std::nullopt;
    if (part > 0) identifier += '\\';
    for (char c : rest.substr(0, end)) identifier += AsciiUpper(c);
    rest.remove_prefix(end + 1);
  }
  if (identifier.size() > kMaxInstanceIdentifier) return std::nullopt;
  return identifier;
}

int OpenPrinterPort(const char* devicePath, std::unique_ptr<TRKCCC>* port) {
  port->reset();
  if (devicePath == nullptr) return MORVALIB_E_ARGUMENT;
  if (!InstanceIdentifier(devicePath)) return MORVALIB_E_NO_PRINTER;
  const LibraryServices& services = Services();
  if (!IsComplete(services) || services.locator == nullptr) return MORVALIB_E_NO_PRINTER;
  // The printer lookup belongs here: the device's UsbLocation into the
  // params, the spooler printer on the same socket (then the channel-API
  // port, PortKind 7). Until it is built the locator names the device file
  // and the direct port is the only port.
  const std::optional<std::string> deviceFile = services.locator->DirectPortPath(devicePath);
  if (!deviceFile) return MORVALIB_E_NO_PRINTER;
  const OpenParams params;
  std::unique_ptr<TRKCCC> opened;
  try {
    opened = std::make_unique<TRKPRN>(*services.files, *services.clock, *deviceFile);
  } catch (const std::bad_alloc&) {
    return MORVALIB_E_MEMORY;
  }
  if (opened->SetParams(params) != 1 || opened->Open() != 1) return MORVALIB_E_NO_PRINTER;
  *port = std::move(opened);
  return MORVALIB_OK;
}

}  // namespace nolpa::morvalib
