// The machine a fleet describes: its bus built with the hub drivers it
// names, written back to the state file, refused when it cannot be built;
// and the spooler of a 64-bit machine, whose registry has two views and
// which answers only while its service runs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/fleet.h"
#include "sim/library_world.h"
#include "sim/spooler_world.h"
#include "sim/usb_topology.h"
#include "sim/virtual_clock.h"

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
  for (std::string service; tree.Property(node, platform::NodeProperty::Service, &service) && tree.Parent(node, &node);)
    services.push_back(service);
  return services;
}

TEST(MachineLayout, BusIsBuiltWithTheHubDriversTheFleetNames) {
  VirtualClock clock;
  const auto world = WorldFromFleet(kTwoHubs, clock);
  LibraryWorld around(*world);
  UsbTopology& usb = around.Usb();
  using Services = std::vector<std::string>;
  EXPECT_EQ(ServicesUpFrom(usb, world->PrinterClass("a")), (Services{"usbprint", "USBHUB3", "USBXHCI"}));
  EXPECT_EQ(ServicesUpFrom(usb, world->PrinterClass("b")), (Services{"usbprint", "usbccgp", "USBHUB3", "USBHUB3", "USBXHCI"}));
  EXPECT_EQ(ServicesUpFrom(usb, world->PrinterClass("c")), ServicesUpFrom(usb, world->PrinterClass("b")));
  // Without a socket: the first free port of the first root hub.
  EXPECT_EQ(ServicesUpFrom(usb, world->PrinterClass("d")), (Services{"usbprint", "USBHUB3", "USBXHCI"}));

  // The USB 3 root hub is named and answers as any hub does.
  platform::UsbHubFiles& files = usb.HubFiles();
  const platform::DeviceHandle controller = files.Open("\\\\.\\HCD0");
  std::vector<std::uint8_t> name(256);
  std::uint32_t returned = 0;
  ASSERT_TRUE(files.IoControl(controller, kIoctlUsbRootHubName, nullptr, 0, name.data(), 256, &returned));
  files.Close(controller);
  std::string narrow;
  for (std::uint32_t i = 4; i + 1 < returned && name[i] != 0; i += 2) narrow += static_cast<char>(name[i]);
  EXPECT_EQ(narrow.rfind("USB#ROOT_HUB30#", 0), 0u) << narrow;
  const platform::DeviceHandle root = files.Open("\\\\?\\" + narrow);
  std::vector<std::uint8_t> info(76);
  ASSERT_TRUE(files.IoControl(root, kIoctlUsbNodeInformation, info.data(), 76, info.data(), 76, &returned));
  EXPECT_EQ(info[6], 4) << "its port count";
  std::vector<std::uint8_t> key(256, 0);
  key[0] = 1;  // the port "a" is on
  EXPECT_TRUE(files.IoControl(root, kIoctlUsbPortDriverKey, key.data(), 10, key.data(), 256, &returned));
  files.Close(root);
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
  const auto old = WorldFromFleet(R"({"devices": [{"name": "a", "kind": "printer-class"}]})", clock);
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
      {"socket on no hub", R"([{"name": "a", "kind": "printer-class", "socket": {"hub": "nowhere", "port": 1}}])",
       "nowhere"},
      {"port beyond the hub's", R"([{"name": "a", "kind": "printer-class", "socket": {"hub": "h", "port": 5}}])",
       "machine"},
      {"port taken by a hub", R"([{"name": "a", "kind": "printer-class", "socket": {"hub": "hc", "port": 2}}])",
       "taken"},
      {"socket without its port", R"([{"name": "a", "kind": "printer-class", "socket": {"hub": "h"}}])", "port"},
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

// A 64-bit machine: a 32-bit caller's plain read sees the 32-bit view of
// "Software" only; keys elsewhere are shared. A stopped spooler answers
// nothing.
TEST(SpoolerOfToday, RegistryViewsAndTheStoppedService) {
  VirtualClock clock;
  World world(clock);
  SpoolerWorld spooler(world);
  spooler.SetWindows64(true);
  spooler.SetMachineString("Software\\Wide", "V", "64", platform::RegistryView::Bits64);
  spooler.SetMachineString("SYSTEM\\Shared", "V", "both", platform::RegistryView::Bits64);
  platform::Registry& registry = spooler.Registry();
  EXPECT_EQ(registry.OpenMachineKey("Software\\Wide", platform::RegistryView::Own), platform::kNoRegistryKey);
  for (const char* key : {"Software\\Wide", "SYSTEM\\Shared"}) {
    const platform::RegistryKey open = registry.OpenMachineKey(key, platform::RegistryView::Bits64);
    EXPECT_TRUE(registry.ReadString(open, "V", 16)) << key;
    registry.CloseKey(open);
  }
  const platform::RegistryKey shared = registry.OpenMachineKey("SYSTEM\\Shared", platform::RegistryView::Own);
  EXPECT_NE(shared, platform::kNoRegistryKey);
  registry.CloseKey(shared);

  bool running = true;
  spooler.FollowService([&running] { return running; });
  spooler.AddDriver({.name = "D", .driverPath = "C:\\d\\D.DLL"});
  spooler.AddPrinter({.name = "P", .port = "USB001", .driver = "D"});
  platform::PrintSpooler& printers = spooler.Spooler();
  platform::PrinterDriverInfo driver;
  EXPECT_EQ(printers.Environment(), kEnvironmentX64);
  EXPECT_TRUE(printers.PrinterDriver("P", kEnvironmentX64, &driver));
  EXPECT_FALSE(printers.PrinterDriver("P", "", &driver)) << "a 32-bit caller's own environment";
  running = false;
  EXPECT_TRUE(printers.LocalPrinterNames().empty());
  EXPECT_FALSE(printers.PrinterDriver("P", kEnvironmentX64, &driver));
  EXPECT_TRUE(printers.InstalledDrivers(kEnvironmentX64).empty());
}

}  // namespace
}  // namespace nolpa::sim
