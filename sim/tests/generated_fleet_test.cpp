// Generated fleets: every printer present, on a socket of its own, behind
// no more hubs than the chain allows, with a serial number of its own; a
// shape that cannot be built is refused.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/fleet/generated_fleet.h"
#include "sim/usb/usb_topology.h"

namespace nolpa::sim {
namespace {

std::string InstanceId(const std::string& path) {
  std::string id = path.substr(4, path.rfind('#') - 4);
  for (char& c : id)
    if (c == '#') c = '\\';
  return id;
}

TEST(GeneratedFleet, EveryPrinterHasASocketOfItsOwnWithinTheChainDepth) {
  const ChainedFleet shapes[] = {
      {.printers = 1},
      {.printers = 8},
      {.printers = 64},
      {.printers = 64, .hubPorts = 7, .depth = 2, .usb3Hubs = true},
      {.printers = 30, .hubPorts = 2, .depth = 5},
  };
  for (const ChainedFleet& shape : shapes) {
    SCOPED_TRACE(std::to_string(shape.printers) + " printers, hubs of " +
                 std::to_string(shape.hubPorts) + ", " + std::to_string(shape.depth) + " deep");
    VirtualClock clock;
    const auto world = WorldFromFleet(ChainedFleetJson(shape), clock);
    UsbTopology usb(*world);
    BuildUsbTopology(world->Machine(), *world, usb);
    platform::DeviceTree& tree = usb.Tree();
    std::set<std::string> serials, sockets;
    int printers = 0, deepest = 0;
    for (const auto& device : world->Devices()) {
      const auto& printer = dynamic_cast<const ClassPrinter&>(*device);
      ++printers;
      serials.insert(printer.Serial());
      EXPECT_EQ(printer.Serial().size(), 18u);
      platform::DevNode node = 0;
      ASSERT_TRUE(tree.LocateNode(InstanceId(printer.InterfacePath()), &node));
      std::string location, service;
      ASSERT_TRUE(tree.Property(node, platform::NodeProperty::LocationInformation, &location));
      sockets.insert(location);
      // Hubs between the printer and the root hub ("USB\ROOT_HUB30\...").
      int hubs = 0;
      for (; tree.Parent(node, &node) &&
             tree.Property(node, platform::NodeProperty::Service, &service) &&
             service == "USBHUB3";)
        ++hubs;
      deepest = std::max(deepest, hubs - 1);
    }
    EXPECT_EQ(printers, shape.printers);
    EXPECT_EQ(serials.size(), static_cast<std::size_t>(shape.printers));
    EXPECT_EQ(sockets.size(), static_cast<std::size_t>(shape.printers));
    EXPECT_GE(deepest, 1);
    EXPECT_LE(deepest, shape.depth);
    // Chains as deep as they may go before another starts.
    if (shape.printers > shape.depth * (shape.hubPorts - 1) + 1) {
      EXPECT_EQ(deepest, shape.depth);
    }
  }
}

TEST(GeneratedFleet, ShapesThatDoNotFitAreRefused) {
  const ChainedFleet shapes[] = {
      {.printers = 0},
      {.printers = 8, .hubPorts = 1},
      {.printers = 8, .depth = 0},
      {.printers = 8, .depth = 6},
      {.printers = 16 * 16 + 1},  // 16 chains of 5 hubs of 4 ports hold 256
  };
  for (const ChainedFleet& shape : shapes)
    EXPECT_THROW(ChainedFleetJson(shape), std::invalid_argument) << shape.printers;
  EXPECT_NO_THROW(ChainedFleetJson({.printers = 16 * 16}));
}

}  // namespace
}  // namespace nolpa::sim
