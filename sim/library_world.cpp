#include "sim/library_world.h"

#include "sim/core/departures.h"
#include "sim/host/spooler_seats.h"

namespace nolpa::sim {
namespace {

// Every socket number a location text can name: a root hub and hubs of
// this size give each of up to 35 * 35 printers a location of its own.
constexpr int kPorts = 35;

}  // namespace

LibraryWorld::LibraryWorld(World& world, const std::string& systemDirectory)
    : world_(world), usb_(world), spooler_(world), api_(world, spooler_) {
  if (!systemDirectory.empty()) spooler_.SetSystemDirectory(systemDirectory);
  spooler_.SetWindows64(world.Machine().windows64);
  PlugClassPrinters();
  apiFiles_ = SeatSpoolerPrinters(world, spooler_, api_);
}

void LibraryWorld::PlugClassPrinters() {
  if (world_.Machine().HasBus()) {
    BuildUsbTopology(world_.Machine(), world_, usb_);
    return;
  }
  const UsbNodeId rootHub = usb_.AddHostController(0, kPorts);
  UsbNodeId hub = 0;
  int hubs = 0;
  int port = kPorts;
  for (const auto& device : world_.Devices()) {
    const auto* printer = dynamic_cast<const ClassPrinter*>(device.get());
    if (printer == nullptr) continue;
    if (port == kPorts) {
      hub = usb_.AddHub(rootHub, ++hubs, kPorts);  // throws past the last root port
      port = 0;
    }
    usb_.PlugPrinter(hub, ++port, *printer);
  }
}

std::string LibraryWorld::Report() const {
  const std::size_t loaded = api_.LoadedModules();
  const std::vector<Departure> departures = world_.Departures().Unexpected();
  std::string text = "channel API: " + std::to_string(api_.LoadsTotal()) + " loads, " +
                     std::to_string(api_.LoadsTotal() - loaded) + " frees, " +
                     std::to_string(api_.InitializeCalls()) + " ZQInitialize, " +
                     std::to_string(api_.ReleaseCalls()) + " ZQRelease, " + std::to_string(loaded) +
                     " loaded; departures: " + std::to_string(departures.size()) + "\n";
  for (const Departure& departure : departures) text += DescribeDeparture(departure) + "\n";
  return text;
}

}  // namespace nolpa::sim
