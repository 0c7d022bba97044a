// Tracing where a printer is plugged in on today's machines: every hub below
// an xHCI controller runs "USBHUB3", a Windows 7 USB 3 controller a vendor's
// hub driver, and some hub's driver no list names. Two printers on different
// ports of any hub get locations that differ in their last pair, and a hub
// table that did not list a hub on the way is built again at the next call.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "serial_library/open_printer_port.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/core/virtual_clock.h"
#include "sim/usb/usb_topology.h"
#include "sim/world.h"
#include "tests/support/usb_location_bench.h"

namespace nolpa::morvalib {
namespace {

using sim::UsbNodeId;

const sim::HostControllerDrivers kVendorUsb3{"iusb3xhc", "iusb3hub", true};
// A hub driver the lookup has never heard of: only its hub interface says
// what it is.
const sim::HostControllerDrivers kUnknownHubDriver{"acmexhci", "acmehub3", true};

using Machine = testing::UsbLocationBench;

struct TodayCase {
  const char* name;
  std::function<std::vector<std::string>(Machine&)> build;
  std::vector<std::string> expected;
};

void PrintTo(const TodayCase& c, std::ostream* os) { *os << c.name; }

// Two printers on one hub, and one on a hub below, run by `drivers`.
std::vector<std::string> RootHubAndHubBelow(Machine& m, const sim::HostControllerDrivers& drivers) {
  const UsbNodeId root = m.usb.AddHostController(0, 8, drivers);
  const UsbNodeId hub = m.usb.AddHub(root, 5, 4);
  return {m.Location(m.PlugPrinter(root, 1, "a")), m.Location(m.PlugPrinter(root, 2, "b")),
          m.Location(m.PlugPrinter(hub, 3, "c"))};
}

std::vector<TodayCase> TodayCases() {
  // The hub table lists the root hub and the hub below it: "12".
  const std::vector<std::string> twoOnRootOneBelow = {"1210", "1220", "125030"};
  return {
      {"Usbhub3OfAnXhciController",
       [](Machine& m) { return RootHubAndHubBelow(m, sim::kXhciDrivers); }, twoOnRootOneBelow},
      {"VendorUsb3HubDriver", [](Machine& m) { return RootHubAndHubBelow(m, kVendorUsb3); },
       twoOnRootOneBelow},
      {"HubDriverNoListNamesIsKnownByItsInterface",
       [](Machine& m) { return RootHubAndHubBelow(m, kUnknownHubDriver); }, twoOnRootOneBelow},
      {"Usb2HubBelowAUsb3RootHub",
       [](Machine& m) {
         const UsbNodeId hub = m.usb.AddHub(m.usb.AddHostController(0, 4, sim::kXhciDrivers), 2, 7);
         return std::vector{m.Location(m.PlugPrinter(hub, 6, "a")),
                            m.Location(m.PlugPrinter(hub, 7, "b"))};
       },
       {"122060", "122070"}},
      {"CompositePrinterOnAUsb3RootHub",
       [](Machine& m) {
         const UsbNodeId root = m.usb.AddHostController(0, 4, sim::kXhciDrivers);
         const UsbNodeId composite = m.usb.AddDevice(root, 3, "usbccgp");
         return std::vector{m.Location(m.PlugPrinter(composite, 0, "a")),
                            m.Location(m.PlugPrinter(root, 4, "b"))};
       },
       {"1130", "1140"}},
      // The example the library's headers give: the table lists two root
      // hubs and the hub.
      {"PortTwoOfAHubOnPortThreeOfTheSecondRootHub",
       [](Machine& m) {
         m.usb.AddHostController(0, 2, sim::kXhciDrivers);
         const UsbNodeId hub = m.usb.AddHub(m.usb.AddHostController(1, 4, sim::kXhciDrivers), 3, 4);
         return std::vector{m.Location(m.PlugPrinter(hub, 2, "a"))};
       },
       {"233020"}},
  };
}

class TodaysLocations : public ::testing::TestWithParam<TodayCase> {
 protected:
  Machine machine_;
};

TEST_P(TodaysLocations, EverySocketHasItsOwn) {
  EXPECT_EQ(GetParam().build(machine_), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Stacks, TodaysLocations, ::testing::ValuesIn(TodayCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A hub plugged in after the table was built, or a table built while the
// hubs did not answer: the trace that meets the unlisted hub builds the
// table anew and traces the device under it.
TEST(HubTableRebuild, ATableThatMissedTheDevicesHubIsBuiltAgainByTheTrace) {
  struct Case {
    const char* name;
    std::function<const sim::ClassPrinter&(Machine&)> arrange;
    const char* expected;
  } const cases[] = {
      {"hub plugged in later",
       [](Machine& m) -> const sim::ClassPrinter& {
         const UsbNodeId root = m.usb.AddHostController(0, 4, sim::kXhciDrivers);
         EXPECT_EQ(m.Location(m.PlugPrinter(root, 1, "early")), "1110");
         return m.PlugPrinter(m.usb.AddHub(root, 2, 4), 3, "late");
       },
       "122030"},
      {"controller silent while the table was built",
       [](Machine& m) -> const sim::ClassPrinter& {
         const UsbNodeId root = m.usb.AddHostController(0, 4, sim::kXhciDrivers);
         auto& refused = m.usb.Node(m.usb.Node(root).parent).refusedCodes;
         const sim::ClassPrinter& printer = m.PlugPrinter(root, 4, "p");
         // The root hub's interface is not enumerated either: gone for now.
         const std::string path = m.usb.Node(root).interfacePath;
         m.usb.Node(root).interfacePath.clear();
         refused.push_back(sim::kIoctlUsbRootHubName);
         EXPECT_TRUE(HubTable().empty());
         refused.clear();
         m.usb.Node(root).interfacePath = path;
         return printer;
       },
       "1140"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    const sim::ClassPrinter& printer = c.arrange(m);
    EXPECT_EQ(m.Location(printer), c.expected);
    EXPECT_EQ(m.Location(printer), c.expected) << "under the table built by the first";
  }
}

// Root hubs are counted in the table in this order: those the controllers
// "\\.\HCD0" to "\\.\HCD15" name, those of the controllers listed in the
// host-controller interface class (machines without those names), then the
// other hubs. A controller without a root hub names none, with success.
TEST(HostControllers, RootHubsAreFoundWithoutHcdNamesAndAControllerWithoutOneIsPassedOver) {
  struct Controller {
    bool hcdName;
    bool rootHub;
  };
  const struct Case {
    const char* name;
    std::vector<Controller> controllers;  // a hub on the first root hub there is
    std::vector<std::string> expected;    // the printer on port 1 of each root hub
  } cases[] = {
      {"both named", {{true, true}, {true, true}}, {"1310", "2310"}},
      {"the second without a name", {{true, true}, {false, true}}, {"1310", "2310"}},
      {"the first without a name", {{false, true}, {true, true}}, {"2310", "1310"}},
      {"neither named", {{false, true}, {false, true}}, {"1310", "2310"}},
      {"the first without a root hub", {{true, false}, {true, true}}, {"1210"}},
      {"unnamed, without a root hub", {{false, false}, {false, true}}, {"1210"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    std::vector<const sim::ClassPrinter*> printers;
    bool hub = false;
    for (std::size_t n = 0; n < c.controllers.size(); ++n) {
      const UsbNodeId root = m.usb.AddHostController({.number = static_cast<int>(n),
                                                      .ports = 4,
                                                      .drivers = sim::kXhciDrivers,
                                                      .hcdName = c.controllers[n].hcdName,
                                                      .rootHub = c.controllers[n].rootHub});
      if (!c.controllers[n].rootHub) continue;
      if (!hub) hub = m.usb.AddHub(root, 4, 4) != 0;
      printers.push_back(&m.PlugPrinter(root, 1, "p" + std::to_string(n)));
    }
    std::vector<std::string> locations;
    locations.reserve(printers.size());
    for (const sim::ClassPrinter* printer : printers) locations.push_back(m.Location(*printer));
    EXPECT_EQ(locations, c.expected);
    for (const std::string& path : HubTable()) EXPECT_GT(path.size(), 4u) << "an empty name";
  }
}

// The hub driver names each device's port in its location information
// ("Port_#0003.Hub_#0002"): the trace asks that port first and, when the
// text is missing, malformed or names a port that holds another device,
// asks the hub's ports from 1 upward as before. The location is the same
// either way; only the number of requests differs.
class LocationText final : public platform::DeviceTree {
 public:
  LocationText(platform::DeviceTree& tree, std::optional<std::string> text)
      : tree_(tree), text_(std::move(text)) {}
  bool LocateNode(const std::string& id, platform::DevNode* node) override {
    return tree_.LocateNode(id, node);
  }
  bool Parent(platform::DevNode node, platform::DevNode* parent) override {
    return tree_.Parent(node, parent);
  }
  bool Property(platform::DevNode node, platform::NodeProperty property,
                std::string* value) override {
    if (property != platform::NodeProperty::LocationInformation)
      return tree_.Property(node, property, value);
    if (!text_) return false;
    *value = *text_;
    return true;
  }

 private:
  platform::DeviceTree& tree_;
  std::optional<std::string> text_;
};

TEST(PortOfAHub, TheLocationInformationIsAskedFirstAndCheckedAgainstTheDriverKey) {
  const struct Case {
    const char* name;
    std::optional<std::string> text;  // none: the tree's own
    bool scanned;                     // the ports were asked from 1 upward
  } cases[] = {
      {"as the hub driver names it", std::nullopt, false},
      {"missing", "", true},
      {"another port", "Port_#0001.Hub_#0002", true},
      {"a port the hub does not have", "Port_#0099.Hub_#0002", true},
      {"malformed", "Port_#00x7.Hub_#0002", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    LocationText tree(m.usb.Tree(), c.text);
    if (c.text) {
      LibraryServices services = Services();
      services.deviceTree = &tree;
      ASSERT_TRUE(InstallServices(services));
    }
    const UsbNodeId hub = m.usb.AddHub(m.usb.AddHostController(0, 4, sim::kXhciDrivers), 3, 8);
    m.PlugPrinter(hub, 1, "first");
    const sim::ClassPrinter& printer = m.PlugPrinter(hub, 7, "p");
    HubTable();
    const std::size_t before = m.usb.Requests().size();
    EXPECT_EQ(m.Location(printer), "123070");
    // Node information and one driver key of each hub; asked in turn, the
    // root hub's ports up to 3 and the hub's up to 7.
    const std::size_t asked = m.usb.Requests().size() - before;
    EXPECT_EQ(asked, c.scanned ? 12u : 4u);
  }
}

}  // namespace
}  // namespace nolpa::morvalib
