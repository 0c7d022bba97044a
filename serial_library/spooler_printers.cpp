#include "serial_library/spooler_printers.h"

#include <cstdint>
#include <optional>

#include "serial_library/ascii_text.h"
#include "serial_library/channel_api_location.h"
#include "serial_library/interface_walk.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/printer_at_location.h"

namespace nolpa::morvalib {

namespace {

constexpr char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr char kPortValue[] = "Port";
constexpr char kPortNumberValue[] = "Port Number";
constexpr char kBaseNameValue[] = "Base Name";
constexpr char kDefaultBaseName[] = "USB";
// A pooled printer's "Port" lists its ports separated by commas.
constexpr char kPortSeparator = ',';
// Enough for any port name the spooler keeps.
constexpr std::uint32_t kMaxRegistryText = 256;

// The whole rest of the port as a decimal number; nothing when it is empty,
// holds anything but digits or would not fit 32 bits.
std::optional<std::uint32_t> PortNumberAfter(const std::string& port, std::size_t start) {
  if (start >= port.size()) return std::nullopt;
  std::uint64_t number = 0;
  for (std::size_t i = start; i < port.size(); ++i) {
    if (port[i] < '0' || port[i] > '9') return std::nullopt;
    number = number * 10 + static_cast<std::uint64_t>(port[i] - '0');
    if (number > UINT32_MAX) return std::nullopt;
  }
  return static_cast<std::uint32_t>(number);
}

bool InterfaceServesPort(const LibraryServices& services, platform::InterfaceSet set,
                         std::uint32_t index, const std::string& port) {
  platform::Registry& registry = *services.registry;
  const platform::RegistryKey key = registry.OpenInterfaceKey(set, kUsbPrintInterface, index);
  if (key == platform::kNoRegistryKey) return false;
  const std::optional<std::uint32_t> portNumber = registry.ReadDword(key, kPortNumberValue);
  const std::string baseName =
      registry.ReadString(key, kBaseNameValue, kMaxRegistryText).value_or(kDefaultBaseName);
  registry.CloseKey(key);
  if (!portNumber || !StartsWithIgnoringCase(port, baseName)) return false;
  return PortNumberAfter(port, baseName.size()) == portNumber;
}

std::string PrinterPort(const LibraryServices& services, const std::string& printerName) {
  platform::Registry& registry = *services.registry;
  const platform::RegistryKey key =
      registry.OpenMachineKey(kPrintersKey + printerName, platform::RegistryView::Own);
  if (key == platform::kNoRegistryKey) return {};
  std::string port = registry.ReadString(key, kPortValue, kMaxRegistryText).value_or("");
  registry.CloseKey(key);
  return port;
}

}  // namespace

std::string PortDevicePath(const LibraryServices& services, const std::string& port) {
  if (!HasChannelApiServices(services) || port.empty()) return {};
  std::string found;
  WalkInterfaces(*services.interfaces, kUsbPrintInterface,
                 [&](platform::InterfaceSet set, std::uint32_t index, const std::string& path) {
                   if (InterfaceServesPort(services, set, index, port)) found = path;
                   return found.empty();
                 });
  return found;
}

std::vector<std::string> PortList(const std::string& portValue) {
  std::vector<std::string> ports;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = portValue.find(kPortSeparator, start);
    const std::string item =
        portValue.substr(start, comma == std::string::npos ? comma : comma - start);
    const std::size_t first = item.find_first_not_of(' ');
    if (first != std::string::npos)
      ports.push_back(item.substr(first, item.find_last_not_of(' ') - first + 1));
    if (comma == std::string::npos) return ports;
    start = comma + 1;
  }
}

std::string SpoolerPrinterLocation(const LibraryServices& services, const std::string& printerName,
                                   const UsbLocator& locate) {
  if (!HasChannelApiServices(services) || printerName.empty() || !locate) return {};
  std::string devicePath;
  for (const std::string& port : PortList(PrinterPort(services, printerName))) {
    const std::string path = PortDevicePath(services, port);
    if (path.empty() || EqualIgnoringCase(path, devicePath)) continue;
    // A pool of several printers: which one the channel API reaches is the
    // spooler's choice, so the printer is left to the direct port.
    if (!devicePath.empty()) return {};
    devicePath = path;
  }
  if (devicePath.empty() || !InstanceIdentifier(devicePath)) return {};
  return locate(devicePath);
}

std::vector<LocatedPrinter> SpoolerPrinterTable(const LibraryServices& services,
                                                const UsbLocator& locate) {
  std::vector<LocatedPrinter> table;
  if (!HasChannelApiServices(services)) return table;
  for (const std::string& name : services.spooler->LocalPrinterNames()) {
    if (name.empty()) continue;
    std::string location = SpoolerPrinterLocation(services, name, locate);
    if (location.empty()) continue;
    if (LocateChannelApi(services, name).empty()) continue;
    table.push_back({name, std::move(location)});
  }
  return table;
}

}  // namespace nolpa::morvalib
