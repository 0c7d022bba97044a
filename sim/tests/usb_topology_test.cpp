// The simulated USB topology as the library meets it: the controller and
// hub requests answered with the byte layouts of the system's USB stack,
// refused (and noted) when a buffer or port is wrong, and the device tree
// seen through the configuration manager's calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/usb/usb_topology.h"
#include "sim/world.h"

namespace nolpa::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A port number as the first field of a 10-byte driver-key request.
Bytes PortRequest(std::uint32_t port, std::size_t size = 10) {
  Bytes in(size, 0);
  for (int i = 0; i < 4; ++i) in[i] = static_cast<std::uint8_t>(port >> (8 * i));
  return in;
}

struct RequestCase {
  const char* name;
  bool toController;  // else to the external hub (4 ports, a printer on port 3)
  std::uint32_t code;
  Bytes in;
  std::uint32_t outSize;
  bool accepted;
  const char* departureKind;  // noted, or null
  Bytes expectedStart;        // the answer's first bytes
};

void PrintTo(const RequestCase& c, std::ostream* os) { *os << c.name; }

class UsbTopologyRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(UsbTopologyRequests, AnswerOrRefuse) {
  const RequestCase& c = GetParam();
  VirtualClock clock;
  World world(clock);
  UsbTopology usb(world);
  const UsbNodeId hub = usb.AddHub(usb.AddHostController(0, 2), 2, 4);
  usb.PlugPrinter(hub, 3, world.AddClassPrinter({.name = "p", .serial = "P1"}));
  if (c.departureKind) world.Departures().Expect(c.departureKind);

  platform::UsbHubFiles& files = usb.HubFiles();
  const platform::DeviceHandle handle =
      files.Open(c.toController ? "\\\\.\\hcd0" : usb.Node(hub).interfacePath);
  ASSERT_NE(handle, platform::kInvalidDeviceHandle);
  Bytes out(c.outSize, 0xEE);
  std::uint32_t returned = 0xDEAD;
  const bool ok =
      files.IoControl(handle, c.code, c.in.empty() ? nullptr : c.in.data(),
                      static_cast<std::uint32_t>(c.in.size()), out.data(), c.outSize, &returned);
  files.Close(handle);

  EXPECT_EQ(ok, c.accepted);
  EXPECT_EQ(world.Departures().All().size(), c.departureKind ? 1u : 0u);
  if (!ok) {
    EXPECT_EQ(returned, 0u);
    return;
  }
  ASSERT_GE(returned, c.expectedStart.size());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + c.expectedStart.size()), c.expectedStart);
}

// The root hub name "USB#ROOT_HUB#4&1A2B0&0#{...}" has 61 characters: its
// answer needs 4 + 62 * 2 = 128 bytes. The driver key
// "{36FC9E60-C465-11CF-8056-444553540000}\0005" has 43: 8 + 44 * 2 = 96.
// One request to a row, as the table is read.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Layouts, UsbTopologyRequests,
    ::testing::Values(
        RequestCase{"RootHubNameLength", true, 0x220408, {}, 6, true, nullptr, {128, 0, 0, 0, 'U', 0}},
        RequestCase{"RootHubNameWhole", true, 0x220408, {}, 128, true, nullptr,
                    {128, 0, 0, 0, 'U', 0, 'S', 0, 'B', 0, '#', 0, 'R', 0}},
        RequestCase{"RootHubNameBufferTooSmall", true, 0x220408, {}, 5, false,
                    departure::kIoctlBufferSize, {}},
        RequestCase{"DriverKeyOfAController", true, 0x220420, PortRequest(1), 10, false,
                    departure::kUnknownIoctl, {}},
        RequestCase{"NodeInformation", false, 0x220408, Bytes(76, 0), 76, true, nullptr,
                    {0, 0, 0, 0, 9, 0x29, 4}},
        RequestCase{"NodeInformationShortInput", false, 0x220408, Bytes(75, 0), 76, false,
                    departure::kIoctlBufferSize, {}},
        RequestCase{"NodeInformationShortOutput", false, 0x220408, Bytes(76, 0), 72, false,
                    departure::kIoctlBufferSize, {}},
        RequestCase{"DriverKeyLength", false, 0x220420, PortRequest(3), 10, true, nullptr,
                    {3, 0, 0, 0, 96, 0, 0, 0, '{', 0}},
        RequestCase{"DriverKeyWhole", false, 0x220420, PortRequest(3, 96), 96, true, nullptr,
                    {3, 0, 0, 0, 96, 0, 0, 0, '{', 0, '3', 0, '6', 0}},
        RequestCase{"DriverKeyShortRequest", false, 0x220420, PortRequest(3, 8), 10, false,
                    departure::kIoctlBufferSize, {}},
        RequestCase{"DriverKeyOfAnEmptyPort", false, 0x220420, PortRequest(2), 10, false, nullptr, {}},
        RequestCase{"DriverKeyOfPortZero", false, 0x220420, PortRequest(0), 10, false,
                    departure::kHubPortOutOfRange, {}},
        RequestCase{"DriverKeyBeyondThePorts", false, 0x220420, PortRequest(5), 10, false,
                    departure::kHubPortOutOfRange, {}},
        RequestCase{"OtherRequest", false, 0x220410, Bytes(10, 0), 10, false,
                    departure::kUnknownIoctl, {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A hub (or a host controller with its root hub) whose driver fails
// requests for a while, then answers again: each row is the requests asked
// in turn and which of them are answered.
TEST(UsbTopologyFaults, HubFailsForAWhileThenAnswers) {
  constexpr std::uint32_t kInfo = kIoctlUsbNodeInformation;
  constexpr std::uint32_t kKey = kIoctlUsbPortDriverKey;
  struct Ask {
    bool controller;  // else the hub
    std::uint32_t code;
    bool answered;
  };
  const struct {
    const char* name;
    bool onController;
    HubFaults::Fail fail;
    std::vector<Ask> asks;
  } cases[] = {
      {"the first two",
       false,
       {.after = 0, .count = 2},
       {{false, kInfo, false}, {false, kKey, false}, {false, kInfo, true}, {false, kKey, true}}},
      {"two driver keys after the first",
       false,
       {.after = 1, .count = 2, .code = kKey},
       {{false, kInfo, true},
        {false, kKey, true},
        {false, kInfo, true},
        {false, kKey, false},
        {false, kKey, false},
        {false, kKey, true}}},
      {"controller and root hub counted together",
       true,
       {.after = 1, .count = 1},
       {{true, kIoctlUsbRootHubName, true},
        {false, kInfo, false},
        {true, kIoctlUsbRootHubName, true}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock clock;
    World world(clock);
    world.Machine().hostControllers.push_back({.name = "hc", .ports = 2});
    world.Machine().hubs.push_back({.name = "h", .hub = "hc", .port = 1});
    world.AddClassPrinter({.name = "p"});
    world.Machine().sockets["p"] = {.hub = "h", .port = 1};
    (c.onController ? world.Machine().hostControllers[0].faults : world.Machine().hubs[0].faults)
        .fail = c.fail;
    UsbTopology usb(world);
    BuildUsbTopology(world.Machine(), world, usb);
    platform::UsbHubFiles& files = usb.HubFiles();
    const platform::DeviceHandle controller = files.Open("\\\\.\\HCD0");
    // The root hub is node 2, the external hub node 3, as they were added.
    const platform::DeviceHandle hub = files.Open(usb.Node(c.onController ? 2 : 3).interfacePath);
    for (const Ask& ask : c.asks) {
      // Node information, or the driver key of port 1; the controller takes no input.
      Bytes in(ask.controller ? 0 : ask.code == kInfo ? 76 : 10, 0), out(128, 0);
      if (ask.code == kKey) in[0] = 1;
      std::uint32_t returned = 0;
      const bool ok = files.IoControl(ask.controller ? controller : hub, ask.code, in.data(),
                                      static_cast<std::uint32_t>(in.size()), out.data(),
                                      ask.code == kInfo ? 76 : 128, &returned);
      EXPECT_EQ(ok, ask.answered);
      EXPECT_EQ(returned == 0, !ok);
    }
    files.Close(controller);
    files.Close(hub);
  }
}

// Today's machines: controllers found through their interface class, some
// without "\\.\HCDn", one whose root hub is stopped and that names it as
// an empty text.
TEST(UsbTopologyControllers, FoundByInterfaceClassWithOrWithoutRootHub) {
  constexpr char kFleet[] = R"({"machine": {"hostControllers": [
      {"name": "bare", "number": 3, "hcdName": false, "rootHub": false},
      {"name": "old", "number": 0, "ports": 26},
      {"name": "new", "number": 1, "hcdName": false, "service": "USBXHCI", "hubService": "USBHUB3", "usb3": true}]},
    "devices": [{"name": "p", "kind": "printer-class"}]})";
  VirtualClock clock;
  const auto world = WorldFromFleet(kFleet, clock);
  EXPECT_EQ(WorldFromFleet(FleetToJson(*world), clock)->Machine(), world->Machine());
  UsbTopology usb(*world);
  BuildUsbTopology(world->Machine(), *world, usb);
  platform::UsbHubFiles& files = usb.HubFiles();
  const auto listed = [&usb](const platform::Guid& guid) {
    std::vector<std::string> paths;
    const platform::InterfaceSet set = usb.Interfaces().OpenSet(guid);
    std::string path;
    for (std::uint32_t i = 0; usb.Interfaces().InterfacePath(set, guid, i, &path); ++i)
      paths.push_back(path);
    EXPECT_FALSE(usb.Interfaces().InterfacePath(set, kUsbPrintInterfaceGuid, 0, &path));
    usb.Interfaces().CloseSet(set);
    return paths;
  };
  const std::vector<std::string> controllers = listed(kUsbHostControllerInterfaceGuid);
  const std::vector<std::string> hubs = listed(kUsbHubInterfaceGuid);
  ASSERT_EQ(controllers.size(), 3u);
  ASSERT_EQ(hubs.size(), 2u);
  const struct {
    std::string path;
    bool opens;
    std::string rootHub;  // as the controller names it, "\\?\" left off
  } cases[] = {
      {controllers[0], true, ""},
      {controllers[1], true, hubs[0].substr(4)},
      {controllers[2], true, hubs[1].substr(4)},
      {"\\\\.\\HCD0", true, hubs[0].substr(4)},
      {"\\\\.\\HCD1", false, ""},
      {"\\\\.\\HCD3", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const platform::DeviceHandle handle = files.Open(c.path);
    ASSERT_EQ(handle != platform::kInvalidDeviceHandle, c.opens);
    if (!c.opens) continue;
    Bytes out(256, 0xEE);
    std::uint32_t returned = 0;
    ASSERT_TRUE(
        files.IoControl(handle, kIoctlUsbRootHubName, nullptr, 0, out.data(), 256, &returned));
    files.Close(handle);
    std::string name;
    for (std::size_t i = 4; i + 1 < returned && out[i] != 0; i += 2) name += char(out[i]);
    EXPECT_EQ(returned, 4 + 2 * (name.size() + 1));
    EXPECT_EQ(out[0], returned);  // ActualLength: the whole answer
    EXPECT_TRUE(SameName(name, c.rootHub)) << name;
  }
  // The printer without a socket is on the first root hub there is: "old"'s
  // (node 3, after the bare controller 1 and "old" itself 2).
  EXPECT_EQ(usb.Node(3).onPort.count(1), 1u);
  EXPECT_EQ(usb.Node(3).ports, 26);
}

TEST(UsbTopologyTree, NodesParentsAndProperties) {
  VirtualClock clock;
  World world(clock);
  UsbTopology usb(world);
  const UsbNodeId root = usb.AddHostController(0, 2);
  ClassPrinter& printer = world.AddClassPrinter({.name = "p", .serial = "AB12"});
  usb.PlugPrinter(root, 1, printer);
  platform::DeviceTree& tree = usb.Tree();

  platform::DevNode node = 0, parent = 0, top = 0;
  ASSERT_TRUE(tree.LocateNode("usb\\vid_0f1a&pid_0520\\ab12", &node));  // any case
  std::string text;
  EXPECT_TRUE(tree.Property(node, platform::NodeProperty::Service, &text));
  EXPECT_EQ(text, "usbprint");
  ASSERT_TRUE(tree.Parent(node, &parent));
  EXPECT_TRUE(tree.Property(parent, platform::NodeProperty::Service, &text));
  EXPECT_EQ(text, "usbhub");
  EXPECT_TRUE(tree.Property(parent, platform::NodeProperty::Driver, &text));
  EXPECT_EQ(text, usb.Node(root).driverKey);
  // Up through the controller to the top of the tree, which has no parent.
  ASSERT_TRUE(tree.Parent(parent, &top));
  ASSERT_TRUE(tree.Parent(top, &top));
  EXPECT_FALSE(tree.Parent(top, &top));

  printer.Unplug();
  EXPECT_FALSE(tree.LocateNode("USB\\VID_0F1A&PID_0520\\AB12", &node));
  EXPECT_FALSE(tree.Property(node, platform::NodeProperty::Driver, &text));
}

TEST(UsbTopologyTree, HubClassListedHereOtherClassesByTheWorld) {
  VirtualClock clock;
  World world(clock);
  UsbTopology usb(world);
  const UsbNodeId hub = usb.AddHub(usb.AddHostController(0, 2), 1, 4);
  const ClassPrinter& printer = world.AddClassPrinter({.name = "p", .serial = "AB12"});
  platform::DeviceInterfaces& interfaces = usb.Interfaces();

  std::vector<std::string> hubs, printers;
  const platform::InterfaceSet hubSet = interfaces.OpenSet(kUsbHubInterfaceGuid);
  const platform::InterfaceSet printerSet = interfaces.OpenSet(kUsbPrintInterfaceGuid);
  std::string path;
  for (std::uint32_t i = 0; interfaces.InterfacePath(hubSet, kUsbHubInterfaceGuid, i, &path); ++i)
    hubs.push_back(path);
  for (std::uint32_t i = 0; interfaces.InterfacePath(printerSet, kUsbPrintInterfaceGuid, i, &path);
       ++i)
    printers.push_back(path);
  interfaces.CloseSet(hubSet);
  interfaces.CloseSet(printerSet);

  EXPECT_EQ(hubs, (std::vector<std::string>{
                      "\\\\?\\usb#root_hub#4&1a2b0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}",
                      usb.Node(hub).interfacePath}));
  EXPECT_EQ(printers, std::vector<std::string>{printer.InterfacePath()});
  EXPECT_EQ(usb.OpenSets(), 0u);
  EXPECT_EQ(world.OpenSets(), 0u);
}

TEST(UsbTopologyTree, HandleLeftOpenIsNoted) {
  VirtualClock clock;
  World world(clock);
  world.Departures().Expect(departure::kUsbHandleLeaked);
  {
    UsbTopology usb(world);
    usb.AddHostController(0, 2);
    EXPECT_NE(usb.HubFiles().Open("\\\\.\\HCD0"), platform::kInvalidDeviceHandle);
    EXPECT_EQ(usb.HubFiles().Open("\\\\.\\HCD1"), platform::kInvalidDeviceHandle);
  }
  EXPECT_EQ(world.Departures().Count(departure::kUsbHandleLeaked), 1u);
}

}  // namespace
}  // namespace nolpa::sim
