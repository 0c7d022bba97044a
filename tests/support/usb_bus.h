#pragma once
// A simulated USB bus for a world's printer-class printers, installed as the
// serial-number library's tracing services: one host controller, one hub on
// its first port, the printers on the hub's ports. The library then finds
// each printer by the socket it traces it to, as it does on a real bus.
#include <string>

#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/usb/usb_topology.h"
#include "sim/world.h"

namespace nolpa::testing {

struct UsbBus {
  static constexpr int kRootHubPorts = 2;
  static constexpr int kHubPorts = 16;

  // A fresh hub table: the one of an earlier world names other hubs.
  explicit UsbBus(sim::World& world) : usb(world) {
    morvalib::DropHubTable();
    hub = usb.AddHub(usb.AddHostController(0, kRootHubPorts), 1, kHubPorts);
  }
  ~UsbBus() { morvalib::DropHubTable(); }
  UsbBus(const UsbBus&) = delete;
  UsbBus& operator=(const UsbBus&) = delete;

  // Plugs every class printer of the world that is not on the bus yet.
  void PlugAll() { usb.PlugClassPrinters(hub); }
  // The library's services over `world`'s files, `clock` and this bus.
  morvalib::LibraryServices Services(sim::World& world, platform::Clock& clock) {
    return {.files = &world.Files(),
            .clock = &clock,
            .deviceTree = &usb.Tree(),
            .hubFiles = &usb.HubFiles(),
            .interfaces = &usb.Interfaces()};
  }

  sim::UsbTopology usb;
  sim::UsbNodeId hub = 0;
};

}  // namespace nolpa::testing
