#include "serial_library/open_printer_port.h"

#include <new>

#include "serial_library/ascii_text.h"
#include "serial_library/channel_api_port.h"
#include "serial_library/direct_port.h"
#include "serial_library/morvalib.h"
#include "serial_library/printer_at_location.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"

namespace nolpa::morvalib {

namespace {
constexpr std::string_view kPathPrefix = "\\\\?\\";
constexpr int kInstanceParts = 3;

bool SetUpAndOpen(TRKCCC& port, const OpenParams& params) {
  return port.SetParams(params) == 1 && port.Open() == 1;
}

enum class ChannelOpen { Open, NoPrinter, LeftToDirectPort };

// Opens the channel-API port. A spooler printer found elsewhere as the port
// opened (something was plugged or unplugged since it was matched) no longer
// surely reaches the caller's device, and a channel API that did not load (a
// 64-bit file, say) or initialise cannot reach it: the caller's device file
// still can.
ChannelOpen OpenChannelApiPort(TRKZQAPI& port, const OpenParams& params) {
  if (!SetUpAndOpen(port, params))
    return port.Moved() ? ChannelOpen::LeftToDirectPort : ChannelOpen::NoPrinter;
  return port.Loaded() ? ChannelOpen::Open : ChannelOpen::LeftToDirectPort;
}

// The direct port opens the caller's own device file, found by its instance
// identifier when the port opens, never merely a device at its socket.
std::unique_ptr<TRKCCC> MakeDirectPort(const LibraryServices& services, const std::string& path,
                                       const std::string& caller) {
  return std::make_unique<TRKPRN>(
      *services.files, *services.clock,
      [path, caller](const std::string&) { return ChooseDevicePath(path, caller); });
}
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
  OpenParams params;
  const std::optional<std::string> identifier = InstanceIdentifier(devicePath);
  if (!identifier) return MORVALIB_E_NO_PRINTER;
  const LibraryServices& services = Services();
  if (!IsComplete(services)) return MORVALIB_E_NO_PRINTER;
  params.usbLocation = UsbLocation(*identifier);
  if (params.usbLocation.empty()) return MORVALIB_E_NO_PRINTER;
  const std::uint64_t tracedUnder = HubTableGeneration();
  std::unique_ptr<TRKCCC> opened;
  try {
    std::unique_ptr<TRKZQAPI> channel = MakeChannelApiPort(
        *identifier, params.usbLocation, tracedUnder, &DevicePathLocation, &params);
    const ChannelOpen how = channel ? OpenChannelApiPort(*channel, params) : ChannelOpen::Open;
    if (how == ChannelOpen::NoPrinter) return MORVALIB_E_NO_PRINTER;
    if (how == ChannelOpen::LeftToDirectPort) {
      channel.reset();
      params.portKind = kDirectPortKind;
      params.printerName.clear();
    }
    opened = std::move(channel);
    if (!opened) {
      opened = MakeDirectPort(services, devicePath, *identifier);
      if (!SetUpAndOpen(*opened, params)) return MORVALIB_E_NO_PRINTER;
    }
  } catch (const std::bad_alloc&) {
    return MORVALIB_E_MEMORY;
  }
  *port = std::move(opened);
  return MORVALIB_OK;
}

}  // namespace nolpa::morvalib
