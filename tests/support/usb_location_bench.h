#pragma once
#include <gtest/gtest.h>

#include <string>

#include "serial_library/open_printer_port.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/core/virtual_clock.h"
#include "sim/usb/usb_topology.h"
#include "sim/world.h"

namespace nolpa::testing {

// A world with a USB topology, installed as the library's services with a
// fresh hub table; on the way out every handle must be closed.
struct UsbLocationBench {
  UsbLocationBench() {
    morvalib::DropHubTable();
    EXPECT_TRUE(morvalib::InstallServices({.files = &world.Files(),
                                           .clock = &clock,
                                           .deviceTree = &usb.Tree(),
                                           .hubFiles = &usb.HubFiles(),
                                           .interfaces = &usb.Interfaces()}));
  }
  ~UsbLocationBench() {
    EXPECT_EQ(usb.OpenHandles(), 0u);
    EXPECT_EQ(usb.OpenSets(), 0u);
    EXPECT_EQ(world.OpenHandles(), 0u);
    morvalib::DropHubTable();
    morvalib::RemoveServices();
  }

  sim::ClassPrinter& PlugPrinter(sim::UsbNodeId hub, int port, const std::string& name) {
    sim::ClassPrinter& printer = world.AddClassPrinter({.name = name, .serial = name + "0001"});
    usb.PlugPrinter(hub, port, printer);
    return printer;
  }
  static std::string Location(const sim::ClassPrinter& printer) {
    const auto id = morvalib::InstanceIdentifier(printer.InterfacePath());
    return id ? morvalib::UsbLocation(*id) : "no instance identifier";
  }

  sim::VirtualClock clock;
  sim::World world{clock};
  sim::UsbTopology usb{world};
};

}  // namespace nolpa::testing
