// Today's USB 3 machine: an xHCI root hub of 26 ports, USB 2 and SuperSpeed
// ones sharing connectors; a USB 3 hub shown as a SuperSpeed hub and its
// USB 2 companion on different root-hub ports; each printer below the side
// its speed takes; and the requests that tell ports, protocols and
// companions apart.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/usb/usb_topology.h"

namespace nolpa::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Root ports 17 to 26 are the SuperSpeed sides of ports 1 to 10. "hub3" on
// connector 3 shows on ports 3 and 19; "hub3b" below it on its connector 4;
// "hub2" on connector 12, which has no SuperSpeed side.
constexpr char kFleet[] = R"({"machine": {"windows": "x64",
  "hostControllers": [
    {"name": "xhci", "ports": 26, "superSpeedPorts": 10, "service": "USBXHCI", "hubService": "USBHUB3", "usb3": true},
    {"name": "old", "number": 1, "ports": 2}],
  "hubs": [{"name": "hub3", "hub": "xhci", "port": 3, "usb3": true},
           {"name": "hub3b", "hub": "hub3", "port": 4, "usb3": true},
           {"name": "hub2", "hub": "xhci", "port": 12, "usb3": true},
           {"name": "oldhub", "hub": "old", "port": 1}]},
  "devices": [
    {"name": "p", "kind": "printer-class", "serial": "P1", "socket": {"hub": "hub3", "port": 1}},
    {"name": "s", "kind": "printer-class", "serial": "S1", "socket": {"hub": "hub3", "port": 2, "superSpeed": true}},
    {"name": "q", "kind": "printer-class", "serial": "Q1", "socket": {"hub": "xhci", "port": 20}},
    {"name": "r", "kind": "printer-class", "serial": "R1", "socket": {"hub": "hub2", "port": 1, "superSpeed": true}},
    {"name": "t", "kind": "printer-class", "serial": "T1", "socket": {"hub": "xhci", "port": 5, "superSpeed": true}},
    {"name": "u", "kind": "printer-class", "serial": "U1", "socket": {"hub": "hub3b", "port": 1, "superSpeed": true}}]})";

class Usb3Machine : public ::testing::Test {
 protected:
  Usb3Machine() : world(WorldFromFleet(kFleet, clock)), usb(*world) {
    BuildUsbTopology(world->Machine(), *world, usb);
    // Each hub by name: a layout hub's SuperSpeed side as "<name>.ss", a
    // root hub by its controller's name.
    for (UsbNodeId id = 1; id < 64; ++id) {
      try {
        const UsbNode& node = usb.Node(id);
        if (node.ports == 0) continue;
        std::string name = node.layoutHub >= 0
                               ? world->Machine().hubs[node.layoutHub].name
                               : world->Machine().hostControllers[node.layoutController].name;
        hubs[node.superSpeed ? name + ".ss" : name] = id;
      } catch (const std::out_of_range&) {
        break;
      }
    }
  }
  ~Usb3Machine() override { EXPECT_EQ(usb.OpenHandles(), 0u); }

  // The node the printer hangs on, and the port.
  std::pair<UsbNodeId, int> Socket(const std::string& printer) {
    for (const auto& [name, hub] : hubs)
      for (const auto& [port, node] : usb.Node(hub).onPort)
        if (usb.Node(node).printer == &world->PrinterClass(printer)) return {hub, port};
    return {0, 0};
  }

  // One request about `port` of `hub`, with its input laid out as the
  // request defines it; the answer as the caller's buffer holds it.
  bool Ask(const std::string& hub, std::uint32_t code, std::uint32_t port, Bytes& answer,
           std::uint32_t protocols = 0x4) {
    Bytes in(code == kIoctlUsbPortConnection ? 35 : code == kIoctlUsbPortProtocols ? 16 : 18, 0);
    for (int i = 0; i < 4; ++i) in[i] = static_cast<std::uint8_t>(port >> (8 * i));
    if (code == kIoctlUsbPortProtocols) {
      in[4] = 16;  // Length
      in[8] = static_cast<std::uint8_t>(protocols);
    }
    answer.assign(256, 0xEE);
    std::uint32_t returned = 0;
    platform::UsbHubFiles& files = usb.HubFiles();
    const platform::DeviceHandle handle = files.Open(usb.Node(hubs.at(hub)).interfacePath);
    const bool ok = files.IoControl(handle, code, in.data(), static_cast<std::uint32_t>(in.size()),
                                    answer.data(), 256, &returned);
    files.Close(handle);
    answer.resize(returned);
    return ok;
  }

  std::string NameOf(const std::string& hub) {
    return hub.empty() ? std::string() : usb.Node(hubs.at(hub)).interfacePath.substr(4);
  }

  VirtualClock clock;
  std::unique_ptr<World> world;
  UsbTopology usb;
  std::map<std::string, UsbNodeId> hubs;
};

TEST_F(Usb3Machine, EachHubShowsOnBothSidesAndEachPrinterOnTheSideOfItsSpeed) {
  EXPECT_EQ(WorldFromFleet(FleetToJson(*world), clock)->Machine(), world->Machine());
  // hub2's connector has no SuperSpeed side: it shows as a USB 2 hub only.
  EXPECT_EQ(hubs.size(), 8u);
  EXPECT_EQ(hubs.count("hub2.ss"), 0u);
  const struct {
    const char* hub;
    int port;
  } placements[] = {{"hub3", 3}, {"hub3.ss", 19}, {"hub3b", 4}, {"hub3b.ss", 4}, {"hub2", 12}};
  const std::map<std::string, std::string> parentOf = {{"hub3", "xhci"},
                                                       {"hub3.ss", "xhci"},
                                                       {"hub3b", "hub3"},
                                                       {"hub3b.ss", "hub3.ss"},
                                                       {"hub2", "xhci"}};
  for (const auto& p : placements) {
    SCOPED_TRACE(p.hub);
    const UsbNode& hub = usb.Node(hubs.at(p.hub));
    EXPECT_EQ(hub.parent, hubs.at(parentOf.at(p.hub)));
    EXPECT_EQ(usb.Node(hub.parent).onPort.at(p.port), hubs.at(p.hub));
  }
  const struct {
    const char* printer;
    const char* hub;
    int port;
  } printers[] = {
      {"p", "hub3", 1},      // high speed: the USB 2 side
      {"s", "hub3.ss", 2},   // SuperSpeed: the SuperSpeed side
      {"q", "xhci", 4},      // named a SuperSpeed port, runs at high speed on its USB 2 side
      {"r", "hub2", 1},      // SuperSpeed, but the connector has no SuperSpeed side
      {"t", "xhci", 21},     // SuperSpeed on connector 5
      {"u", "hub3b.ss", 1},  // two USB 3 hubs down, on the SuperSpeed side all the way
  };
  for (const auto& p : printers) {
    SCOPED_TRACE(p.printer);
    EXPECT_EQ(Socket(p.printer), std::make_pair(hubs.at(p.hub), p.port));
  }
}

// Each row: one request about one port, and fields of the answer (offset,
// size in bytes, value), or a name the answer carries at an offset.
TEST_F(Usb3Machine, PortRequestsTellConnectorsProtocolsAndDevices) {
  struct Field {
    std::size_t at;
    int size;
    std::uint32_t value;
  };
  const struct {
    const char* hub;
    std::uint32_t code;
    std::uint32_t port;
    bool answered;
    std::vector<Field> fields;
    const char* name = nullptr;  // the hub whose name the answer carries ("": empty)
    std::size_t nameAt = 0;
  } rows[] = {
      // Protocols: port, Length, SupportedUsbProtocols, Flags.
      {"xhci", kIoctlUsbPortProtocols, 3, true, {{8, 4, 0x3}, {12, 4, 0}}},
      {"xhci", kIoctlUsbPortProtocols, 19, true, {{8, 4, 0x4}, {12, 4, 0x3}}},
      {"xhci", kIoctlUsbPortProtocols, 21, true, {{8, 4, 0x4}, {12, 4, 0x3}}},
      {"xhci", kIoctlUsbPortProtocols, 4, true, {{8, 4, 0x3}, {12, 4, 0}}},
      {"hub2", kIoctlUsbPortProtocols, 1, true, {{8, 4, 0x3}, {12, 4, 0x2}}},
      {"hub3.ss", kIoctlUsbPortProtocols, 2, true, {{8, 4, 0x4}, {12, 4, 0x3}}},
      {"old", kIoctlUsbPortProtocols, 1, false, {}},  // the older hub driver
      // Connector: port, ActualLength, properties, CompanionIndex, CompanionPortNumber, name.
      {"xhci", kIoctlUsbPortConnector, 3, true, {{8, 4, 1}, {14, 2, 19}}, "xhci", 16},
      {"xhci", kIoctlUsbPortConnector, 19, true, {{14, 2, 3}}, "xhci", 16},
      {"xhci", kIoctlUsbPortConnector, 12, true, {{4, 4, 18}, {14, 2, 0}}, "", 16},
      {"hub3", kIoctlUsbPortConnector, 2, true, {{14, 2, 2}}, "hub3.ss", 16},
      {"hub3.ss", kIoctlUsbPortConnector, 4, true, {{14, 2, 4}}, "hub3", 16},
      {"hub2", kIoctlUsbPortConnector, 2, true, {{14, 2, 0}}, "", 16},
      // Connection: the device descriptor's ids, DeviceIsHub, ConnectionStatus.
      {"xhci", kIoctlUsbPortConnection, 3, true, {{14, 2, 0x0001}, {24, 1, 1}, {31, 4, 1}}},
      {"xhci", kIoctlUsbPortConnection, 19, true, {{6, 2, 0x0300}, {14, 2, 0x0003}, {24, 1, 1}}},
      {"hub3", kIoctlUsbPortConnection, 1, true, {{12, 2, 0x0F1A}, {24, 1, 0}, {31, 4, 1}}},
      {"xhci", kIoctlUsbPortConnection, 1, true, {{24, 1, 0}, {31, 4, 0}}},  // empty
      // The name of a hub on a port; a printer's port has none.
      {"xhci", kIoctlUsbPortHubName, 19, true, {}, "hub3.ss", 8},
      {"xhci", kIoctlUsbPortHubName, 21, true, {{4, 4, 10}}, "", 8},
      {"xhci", kIoctlUsbPortHubName, 27, false, {}},  // beyond the 26 ports
  };
  world->Departures().Expect(departure::kHubPortOutOfRange);
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.hub) + " code " + std::to_string(row.code) + " port " +
                 std::to_string(row.port));
    Bytes answer;
    ASSERT_EQ(Ask(row.hub, row.code, row.port, answer), row.answered);
    if (!row.answered) continue;
    ASSERT_GE(answer.size(), 8u);
    EXPECT_EQ(answer[0], row.port);
    for (const Field& f : row.fields) {
      std::uint32_t value = 0;
      for (int i = 0; i < f.size; ++i) value |= std::uint32_t{answer.at(f.at + i)} << (8 * i);
      EXPECT_EQ(value, f.value) << "at " << f.at;
    }
    if (row.name == nullptr) continue;
    std::string name;
    for (std::size_t i = row.nameAt; i + 1 < answer.size() && answer[i] != 0; i += 2)
      name += static_cast<char>(answer[i]);
    EXPECT_TRUE(SameName(name, NameOf(row.name))) << name;
    // ActualLength: the whole structure, the name's NUL included.
    EXPECT_EQ(answer[4] | answer[5] << 8, row.nameAt + 2 * (name.size() + 1));
  }
  EXPECT_EQ(world->Departures().Count(departure::kHubPortOutOfRange), 1u);
}

TEST_F(Usb3Machine, ProtocolsRequestWithoutUsb3IsRefusedAsMalformed) {
  world->Departures().Expect(departure::kHubRequestMalformed);
  Bytes answer;
  EXPECT_FALSE(Ask("xhci", kIoctlUsbPortProtocols, 3, answer, 0x3));
  EXPECT_EQ(world->Departures().Count(departure::kHubRequestMalformed), 1u);
}

}  // namespace
}  // namespace nolpa::sim
