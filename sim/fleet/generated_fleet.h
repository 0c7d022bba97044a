#pragma once
// Big fleets made to measure: printer-class printers of the library's
// models behind chains of hubs, for benchmarks and property tests.
//
//   const std::string fleet = ChainedFleetJson({.printers = 64});
//   auto world = WorldFromFleet(fleet, clock);  // or a state file's text
#include <string>

namespace nolpa::sim {

struct ChainedFleet {
  int printers = 8;
  // Ports of each hub: all but the last hold printers, the last the next
  // hub of the chain (the last hub of a chain holds printers on all).
  int hubPorts = 4;
  // Hubs in a chain, below the root hub: USB allows 5.
  int depth = 5;
  // USB 3 hubs, each a USB 2 hub and a SuperSpeed hub (sim/FLEET.md).
  bool usb3Hubs = false;
};

// Today's machine (64-bit Windows, an xHCI controller run by "USBHUB3"
// whose root hub has 26 ports, the last 10 SuperSpeed ports) with
// `shape.printers` printer-class printers behind chains of hubs, one chain
// from each of the root hub's ports 1, 2, ... as many as are needed. The
// printers, "p1", "p2", ..., alternate an RK-L5200 and an RK-L880 with the
// packet protocol, each with a serial number of its own ("4E4C5047" and ten
// hexadecimal digits of its number). Throws std::invalid_argument for a
// shape that does not fit (no printers, fewer than 2 ports a hub, a depth
// outside 1 to 5, more printers than 16 chains hold).
std::string ChainedFleetJson(const ChainedFleet& shape);

}  // namespace nolpa::sim
