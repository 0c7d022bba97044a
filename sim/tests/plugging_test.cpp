// Devices and hubs plugged in and out: by the world's calls, by a fleet's
// events on the world's clock, and by a hub dropping off during a call. What
// is present is the same whichever way it is asked (the device files, the
// interface classes, the device tree, the hub files).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/tests/sim_test_support.h"
#include "sim/usb/usb_topology.h"

namespace nolpa::sim {
namespace {

// Two hubs chained on one root port, a third on another, printers on each
// (one a composite function), one on the root hub, a vendor printer off the
// bus.
constexpr char kChained[] = R"({"machine": {"windows": "x64",
  "hostControllers": [{"name": "xhci", "ports": 4, "service": "USBXHCI", "hubService": "USBHUB3", "usb3": true}],
  "hubs": [{"name": "h1", "hub": "xhci", "port": 1}, {"name": "h2", "hub": "h1", "port": 4},
           {"name": "h3", "hub": "xhci", "port": 2}]},
  "devices": [
    {"name": "a", "kind": "printer-class", "serial": "A1", "socket": {"hub": "h1", "port": 1}},
    {"name": "b", "kind": "printer-class", "serial": "B1", "socket": {"hub": "h2", "port": 1}},
    {"name": "c", "kind": "printer-class", "serial": "C1", "socket": {"hub": "h2", "port": 2, "composite": true}},
    {"name": "d", "kind": "printer-class", "serial": "D1", "socket": {"hub": "h3", "port": 3}},
    {"name": "e", "kind": "printer-class", "serial": "E1"},
    {"name": "v", "kind": "vendor", "serial": "V1"}]})";

// The hub each device and hub hangs on, as the fleet above says.
const std::map<std::string, std::string> kUpstream = {{"a", "h1"}, {"b", "h2"}, {"c", "h2"},
                                                      {"d", "h3"}, {"h1", ""},  {"h2", "h1"},
                                                      {"h3", ""},  {"e", ""},   {"v", ""}};
const std::vector<std::string> kPrinters = {"a", "b", "c", "d", "e"};

std::string InstanceId(const std::string& path) {
  std::string id = path.substr(4, path.rfind('#') - 4);
  for (char& c : id)
    if (c == '#') c = '\\';
  return id;
}

// A world of kChained with its bus.
struct Machine {
  Machine(const std::string& fleet = kChained) : world(WorldFromFleet(fleet, clock)), usb(*world) {
    BuildUsbTopology(world->Machine(), *world, usb);
  }
  bool InTree(const std::string& printer) {
    platform::DevNode node = 0;
    return usb.Tree().LocateNode(InstanceId(world->Device(printer).InterfacePath()), &node);
  }
  std::set<std::string> HubPaths() {
    std::set<std::string> paths;
    platform::DeviceInterfaces& interfaces = usb.Interfaces();
    const platform::InterfaceSet set = interfaces.OpenSet(kUsbHubInterfaceGuid);
    std::string path;
    for (std::uint32_t i = 0; interfaces.InterfacePath(set, kUsbHubInterfaceGuid, i, &path); ++i)
      paths.insert(path);
    interfaces.CloseSet(set);
    return paths;
  }
  // A node-information request to the hub `handle` names.
  bool AskHub(platform::DeviceHandle handle) {
    std::uint8_t info[76] = {};
    std::uint32_t returned = 0;
    return usb.HubFiles().IoControl(handle, kIoctlUsbNodeInformation, info, sizeof info, info,
                                    sizeof info, &returned);
  }

  VirtualClock clock;
  std::unique_ptr<World> world;
  UsbTopology usb;
};

// The hubs' paths as the machine lays them out: the node each hub was built
// as is the one whose layout entry names it.
std::map<std::string, std::string> HubPathsByName(Machine& m) {
  std::map<std::string, std::string> paths;
  for (UsbNodeId id = 1;; ++id) {
    try {
      const UsbNode& node = m.usb.Node(id);
      if (const UsbHubLayout* hub = m.usb.LayoutHub(node)) paths[hub->name] = node.interfacePath;
    } catch (const std::out_of_range&) {
      return paths;
    }
  }
}

// Random world calls against a model: a device or hub is present when it and
// every hub above it are plugged in; a handle opened on a printer works until
// the printer is first gone, and never again after.
TEST(Plugging, EveryViewAgreesWithTheModelThroughRandomPlugging) {
  Machine m;
  const auto hubPaths = HubPathsByName(m);
  std::map<std::string, bool> own;
  for (const auto& [name, up] : kUpstream) own[name] = true;
  const auto present = [&](std::string name) {
    for (; !name.empty(); name = kUpstream.at(name))
      if (!own.at(name)) return false;
    return true;
  };
  std::map<std::string, platform::DeviceHandle> handles;
  std::map<std::string, bool> alive;
  for (const std::string& p : kPrinters) {
    handles[p] = m.world->Files().Open(m.world->Device(p).InterfacePath());
    alive[p] = true;
  }
  std::mt19937 random(25);
  for (int step = 0; step < 300; ++step) {
    auto pick = kUpstream.begin();
    std::advance(pick, random() % kUpstream.size());
    const std::string& name = pick->first;
    own[name] = random() % 3 == 0;  // mostly unplugging, so chains go and come back
    own[name] ? m.world->Plug(name) : m.world->Unplug(name);
    SCOPED_TRACE("step " + std::to_string(step) + ": " + name + (own[name] ? " in" : " out"));

    const auto listed = testing::Enumerate(*m.world, kUsbPrintInterfaceGuid);
    for (const std::string& p : kPrinters) {
      const bool here = present(p);
      alive[p] = alive[p] && here;
      const std::string path = m.world->Device(p).InterfacePath();
      EXPECT_EQ(m.world->Device(p).Plugged(), here) << p;
      EXPECT_EQ(std::count(listed.begin(), listed.end(), path), here ? 1 : 0) << p;
      EXPECT_EQ(m.InTree(p), here) << p;
      EXPECT_EQ(testing::Ioctl(*m.world, handles[p], kIoctlUsbPrintLptStatus, 1).ok, alive[p]) << p;
    }
    EXPECT_EQ(m.world->Device("v").Plugged(), own["v"]);
    const auto hubs = m.HubPaths();
    for (const auto& [hub, path] : hubPaths) EXPECT_EQ(hubs.count(path), present(hub) ? 1u : 0u);
  }
  for (const auto& [p, handle] : handles) m.world->Files().Close(handle);
  EXPECT_THROW(m.world->Unplug("xhci"), std::invalid_argument);  // a controller stays
  EXPECT_THROW(m.world->Plug("nobody"), std::invalid_argument);
}

// Events at their times, applied only when the world is next touched, and
// the state a state file would keep in between.
TEST(Plugging, EventsApplyInOrderWhenTheWorldIsNextTouched) {
  std::string fleet = kChained;
  fleet.insert(fleet.rfind('}'), R"(, "events": [
      {"atMs": 2500, "plug": "a"}, {"atMs": 1000, "unplug": "h1"}, {"atMs": 1500, "unplug": "a"},
      {"atMs": 2000, "plug": "h1"}, {"atMs": 2500, "unplug": "e"}])");
  Machine m(fleet);
  const struct {
    std::uint64_t atMs;
    bool touch;
    std::set<std::string> gone;
    std::size_t pending;
  } steps[] = {
      {999, true, {}, 5},
      {1000, false, {}, 5},  // due, but nothing asked the world yet
      {1000, true, {"a", "b", "c"}, 4},
      {1600, true, {"a", "b", "c"}, 3},
      {2000, true, {"a"}, 2},
      {3000, true, {"e"}, 0},  // equal times in the order given: a in, then e out
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.atMs);
    m.clock.Advance(step.atMs - m.world->ElapsedMs());
    if (step.touch) m.InTree("d");  // a request of the bus
    for (const std::string& p : kPrinters)
      EXPECT_EQ(m.world->Device(p).Plugged(), step.gone.count(p) == 0) << p;
    EXPECT_EQ(m.world->PendingEvents().size(), step.pending);
  }
}

// A hub that drops off after its n-th request, with everything below it, and
// comes back after a number of requests or a time: handles opened before are
// dead, new ones work.
TEST(Plugging, HubDroppingOffDuringACallComesBack) {
  struct Step {
    std::uint64_t advanceMs;
    bool reopen;
    bool answered;
  };
  const struct {
    const char* name;
    const char* faults;
    std::vector<Step> steps;
  } cases[] = {
      {"back after three requests",
       R"({"unplug": {"after": 2, "backAfterRequests": 3}})",
       // Each step is the hub request, plus an open when `reopen`: opens are
       // requests too.
       {{0, false, true}, {0, false, true}, {0, false, false}, {0, true, false}, {0, true, true}}},
      {"back after 500 ms",
       R"({"unplug": {"after": 1, "backAfterMs": 500}})",
       {{0, false, true}, {499, true, false}, {1, false, false}, {0, true, true}}},
      {"never back",
       R"({"unplug": {"after": 1}})",
       {{0, false, true}, {60000, true, false}, {0, true, false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string fleet = kChained;
    const std::string h1 = R"("name": "h1", "hub": "xhci", "port": 1)";
    fleet.replace(fleet.find(h1), h1.size(), h1 + R"(, "faults": )" + c.faults);
    Machine m(fleet);
    const std::string path = HubPathsByName(m).at("h1");
    const platform::DeviceHandle printer =
        m.world->Files().Open(m.world->Device("a").InterfacePath());
    const platform::DeviceHandle before = m.usb.HubFiles().Open(path);
    platform::DeviceHandle hub = m.usb.HubFiles().Open(path);
    bool everGone = false;
    for (const Step& step : c.steps) {
      m.clock.Advance(step.advanceMs);
      if (step.reopen) {
        m.usb.HubFiles().Close(hub);
        hub = m.usb.HubFiles().Open(path);
      }
      EXPECT_EQ(m.AskHub(hub), step.answered);
      everGone = everGone || !m.world->Device("a").Plugged();
    }
    EXPECT_TRUE(everGone);
    EXPECT_FALSE(m.AskHub(before));
    // The printer's handle from before the drop is dead whether or not the
    // hub came back; the state a file keeps has the hub plugged in unless
    // it stays away.
    EXPECT_FALSE(testing::Ioctl(*m.world, printer, kIoctlUsbPrintLptStatus, 1).ok);
    const bool back = c.steps.back().answered;
    EXPECT_EQ(m.world->ToJson().find("\"plugged\": false") == std::string::npos,
              back || m.world->ComingBack("h1"));
    m.usb.HubFiles().Close(before);
    m.usb.HubFiles().Close(hub);
    m.world->Files().Close(printer);
  }
}

}  // namespace
}  // namespace nolpa::sim
