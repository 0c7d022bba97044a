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
  bool ambiguous = false;
  const int passedOver =
      WalkInterfaces(*services.interfaces, kUsbPrintInterface,
                     [&](platform::InterfaceSet set, std::uint32_t index, const std::string& path) {
                       if (!InterfaceServesPort(services, set, index, port)) return true;
                       ambiguous = !found.empty();
                       found = path;
                       return !ambiguous;
                     });
  return ambiguous || passedOver != 0 ? std::string() : found;
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

std::string SpoolerPrinterDevice(const LibraryServices& services, const std::string& printerName) {
  if (!HasChannelApiServices(services) || printerName.empty()) return {};
  std::string devicePath;
  for (const std::string& port : PortList(PrinterPort(services, printerName))) {
    const std::string path = PortDevicePath(services, port);
    if (path.empty()) return {};
    if (!devicePath.empty() && !EqualIgnoringCase(path, devicePath)) return {};
    devicePath = path;
  }
  return devicePath;
}

std::string SpoolerPrinterLocation(const LibraryServices& services, const std::string& printerName,
                                   const UsbLocator& locate) {
  if (!locate) return {};
  const std::string devicePath = SpoolerPrinterDevice(services, printerName);
  if (devicePath.empty() || !InstanceIdentifier(devicePath)) return {};
  return locate(devicePath);
}

std::string SpoolerPrinterOf(const LibraryServices& services,
                             const std::string& instanceIdentifier) {
  if (!HasChannelApiServices(services) || instanceIdentifier.empty()) return {};
  for (const std::string& name : services.spooler->LocalPrinterNames()) {
    // A name OpenParams cannot hold whole would name another printer.
    if (name.empty() || name.size() > kMaxPrinterName) continue;
    if (InstanceIdentifier(SpoolerPrinterDevice(services, name)) != instanceIdentifier) continue;
    if (!LocateChannelApi(services, name).empty()) return name;
  }
  return {};
}

}  // namespace nolpa::morvalib
