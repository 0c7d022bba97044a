#pragma once
// The serial-number library's services over a world with everything around
// it that NOLPAID-sim.exe sets up (sim/library_world.h): the world's device
// files, the bus, the spooler, the registry, the system folders and the
// channel-API stand-in's loader.
#include "platform/clock.h"
#include "serial_library/services.h"
#include "sim/library_world.h"
#include "sim/world.h"

namespace nolpa::testing {

inline morvalib::LibraryServices LibraryWorldServices(sim::World& world, platform::Clock& clock,
                                                      sim::LibraryWorld& around) {
  return {.files = &world.Files(),
          .clock = &clock,
          .deviceTree = &around.Usb().Tree(),
          .hubFiles = &around.Usb().HubFiles(),
          .spooler = &around.Spooler().Spooler(),
          .registry = &around.Spooler().Registry(),
          .interfaces = &around.Usb().Interfaces(),
          .system = &around.Spooler().System(),
          .modules = &around.ChannelApi().Modules()};
}

}  // namespace nolpa::testing
