#pragma once
// Everything the serial-number library reaches around a world's
// printer-class printers, set up the way NOLPAID-sim.exe runs it: a USB bus
// to trace them on (the one the fleet's machine describes; without one, one
// host controller with hubs of 35 ports on its ports, holding the world's
// printer-class printers in the world's order), and the
// print spooler with the channel API for the printers that sit behind a
// spooler printer (their spooler seats). The library's services are its
// platform interfaces:
//
//   LibraryWorld around(world);
//   services.deviceTree = &around.Usb().Tree(); ... hubFiles, interfaces
//   services.spooler = &around.Spooler().Spooler(); ... registry, system
//   services.modules = &around.ChannelApi().Modules();  // or a real loader
#include <string>
#include <vector>

#include "sim/host/channel_api_standin.h"
#include "sim/host/spooler_world.h"
#include "sim/usb/usb_topology.h"
#include "sim/world.h"

namespace nolpa::sim {

class LibraryWorld {
 public:
  // `systemDirectory`: the system folder the simulated system reports, where
  // the channel-API files of seats in the system folder lie; empty: the
  // spooler's own default. Throws std::invalid_argument when the world has
  // more printer-class printers than the bus has sockets.
  explicit LibraryWorld(World& world, const std::string& systemDirectory = {});
  LibraryWorld(const LibraryWorld&) = delete;
  LibraryWorld& operator=(const LibraryWorld&) = delete;

  UsbTopology& Usb() { return usb_; }
  SpoolerWorld& Spooler() { return spooler_; }
  ChannelApiStandIn& ChannelApi() { return api_; }
  // The full paths of the channel-API files the seats install.
  const std::vector<std::string>& ChannelApiFiles() const { return apiFiles_; }

  // One line on how the channel API was used and what is left loaded, then
  // one line per departure from the protocols the world noted, such as
  // "channel API: 2 loads, 2 frees, 2 ZQInitialize, 2 ZQRelease, 0 loaded;
  // departures: 0".
  std::string Report() const;

 private:
  void PlugClassPrinters();

  World& world_;
  UsbTopology usb_;
  SpoolerWorld spooler_;
  ChannelApiStandIn api_;
  std::vector<std::string> apiFiles_;
};

}  // namespace nolpa::sim
