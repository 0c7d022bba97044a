#include "serial_library/spooler_printers.h"

#include <cstdint>
#include <optional>

#include "serial_library/ascii_text.h"
#include "serial_library/channel_api_location.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/printer_at_location.h"

namespace nolpa::morvalib {

namespace {

constexpr char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr char kPortValue[] = "Port";
constexpr char kPortNumberValue[] = "Port Number";
constexpr char kBaseNameValue[] = "Base Name";
constexpr char kDefaultBaseName[] = "USB";
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

bool InterfaceServesPort(const LibraryServices& services, platform::InterfaceSet set, std::uint32_t index,
                         const std::string& port) {
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
  const platform::RegistryKey key = registry.OpenMachineKey(kPrintersKey + printerName);
  if (key == platform::kNoRegistryKey) return {};
  std::string port = registry.ReadString(key, kPortValue, kMaxRegistryText).value_or("");
  registry.CloseKey(key);
  return port;
}

}  // namespace

std::string PortDevicePath(const LibraryServices& services, const std::string& port) {
  if (!HasChannelApiServices(services) || port.empty()) return {};
  platform::DeviceInterfaces& interfaces = *services.interfaces;
  const platform::InterfaceSet set = interfaces.OpenSet(kUsbPrintInterface);
  if (set == platform::kInvalidInterfaceSet) return {};
  std::string found;
  std::string path;
  for (std::uint32_t index = 0; interfaces.InterfacePath(set, kUsbPrintInterface, index, &path); ++index) {
    if (InterfaceServesPort(services, set, index, port)) {
      found = path;
      break;
    }
  }
  interfaces.CloseSet(set);
  return found;
}

std::string SpoolerPrinterLocation(const LibraryServices& services, const std::string& printerName,
                                   const UsbLocator& locate) {
  if (!HasChannelApiServices(services) || printerName.empty() || !locate) return {};
  const std::string devicePath = PortDevicePath(services, PrinterPort(services, printerName));
  if (devicePath.empty() || !InstanceIdentifier(devicePath)) return {};
  return locate(devicePath);
}

std::vector<LocatedPrinter> SpoolerPrinterTable(const LibraryServices& services, const UsbLocator& locate) {
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
