// The machine a fleet describes: its bus built with the hub drivers it
// names, written back to the state file, refused when it cannot be built.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/library_world.h"
#include "sim/usb/usb_topology.h"

namespace nolpa::sim {
namespace {

constexpr char kTwoHubs[] = R"({"version": 1,
  "machine": {"windows": "x64",
    "hostControllers": [{"name": "xhci", "ports": 4, "service": "USBXHCI", "hubService": "USBHUB3", "usb3": true}],
    "hubs": [{"name": "desk", "hub": "xhci", "port": 4, "ports": 4}]},
  "devices": [
    {"name": "a", "kind": "printer-class", "serial": "A1", "socket": {"hub": "xhci", "port": 1}},
    {"name": "b", "kind": "printer-class", "serial": "B1", "socket": {"hub": "desk", "port": 2, "composite": true}},
    {"name": "c", "kind": "printer-class", "serial": "C1", "socket": {"hub": "desk", "port": 2, "composite": true}},
    {"name": "d", "kind": "printer-class", "serial": "D1"}]})";

// The node the printer's instance identifier names, and its way up.
std::vector<std::string> ServicesUpFrom(UsbTopology& usb, const ClassPrinter& printer) {
  platform::DeviceTree& tree = usb.Tree();
  std::string id = printer.InterfacePath().substr(4);
  id = id.substr(0, id.rfind('#'));
  for (char& c : id)
    if (c == '#') c = '\\';
  platform::DevNode node = 0;
  std::vector<std::string> services;
  if (!tree.LocateNode(id, &node)) return services;
  for (std::string service;
       tree.Property(node, platform::NodeProperty::Service, &service) && tree.Parent(node, &node);)
    services.push_back(service);
  return services;
}

TEST(MachineLayout, BusIsBuiltWithTheHubDriversTheFleetNames) {
  VirtualClock clock;
  const auto world = WorldFromFleet(kTwoHubs, clock);
  LibraryWorld around(*world);
  UsbTopology& usb = around.Usb();
  using Services = std::vector<std::string>;
  EXPECT_EQ(ServicesUpFrom(usb, world->PrinterClass("a")),
            (Services{"usbprint", "USBHUB3", "USBXHCI"}));
  EXPECT_EQ(ServicesUpFrom(usb, world->PrinterClass("b")),
            (Services{"usbprint", "usbccgp", "USBHUB3", "USBHUB3", "USBXHCI"}));
  EXPECT_EQ(ServicesUpFrom(usb, world->PrinterClass("c")),
            ServicesUpFrom(usb, world->PrinterClass("b")));
  // Without a socket: the first free port of the first root hub.
  EXPECT_EQ(ServicesUpFrom(usb, world->PrinterClass("d")),
            (Services{"usbprint", "USBHUB3", "USBXHCI"}));
}

TEST(MachineLayout, StateFileShowsTheMachineAndLoadsToTheSameOne) {
  VirtualClock clock;
  const auto world = WorldFromFleet(kTwoHubs, clock);
  const std::string text = FleetToJson(*world);
  EXPECT_NE(text.find("\"USBHUB3\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"composite\": true"), std::string::npos) << text;
  const auto again = WorldFromFleet(text, clock);
  EXPECT_EQ(again->Machine(), world->Machine());
  EXPECT_EQ(FleetToJson(*again), text);
  // An older fleet has no machine, and gets none written.
  const auto old =
      WorldFromFleet(R"({"devices": [{"name": "a", "kind": "printer-class"}]})", clock);
  EXPECT_FALSE(old->Machine().HasBus());
  EXPECT_EQ(FleetToJson(*old).find("machine"), std::string::npos);
}

TEST(MachineLayout, AMachineThatCannotBeBuiltIsRefused) {
  const std::string machine =
      R"("machine": {"hostControllers": [{"name": "hc", "ports": 2}], "hubs": [{"name": "h", "hub": "hc", "port": 2}]})";
  const struct {
    const char* name;
    std::string devices;
    const char* mentions;
  } cases[] = {
      {"socket on no hub",
       R"([{"name": "a", "kind": "printer-class", "socket": {"hub": "nowhere", "port": 1}}])",
       "nowhere"},
      {"port beyond the hub's",
       R"([{"name": "a", "kind": "printer-class", "socket": {"hub": "h", "port": 5}}])", "machine"},
      {"port taken by a hub",
       R"([{"name": "a", "kind": "printer-class", "socket": {"hub": "hc", "port": 2}}])", "taken"},
      {"socket without its port",
       R"([{"name": "a", "kind": "printer-class", "socket": {"hub": "h"}}])", "port"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock clock;
    World world(clock);
    try {
      LoadFleet(world, "{" + machine + R"(, "devices": )" + c.devices + "}");
      ADD_FAILURE() << "loaded";
    } catch (const FleetError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace nolpa::sim
