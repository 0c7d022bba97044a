// Tracing where a printer is plugged in, against a simulated USB topology:
// the location texts for the shapes a real bus takes, the hub table's order
// and lifetime, and an empty location whenever a step of the walk fails,
// with every controller and hub closed again.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <stdexcept>
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

using Bench = testing::UsbLocationBench;

std::string Repeat(const std::string& pair, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += pair;
  return text;
}

class UsbLocationTest : public ::testing::Test {
 protected:
  Bench bench_;
  sim::UsbTopology& usb_ = bench_.usb;
  sim::ClassPrinter& PlugPrinter(UsbNodeId hub, int port, const std::string& name) {
    return bench_.PlugPrinter(hub, port, name);
  }
  static std::string Location(const sim::ClassPrinter& printer) { return Bench::Location(printer); }
};

struct LocationCase {
  const char* name;
  // Builds the topology; returns the locations of the printers it plugged.
  std::function<std::vector<std::string>(Bench&)> build;
  std::vector<std::string> expected;
};

void PrintTo(const LocationCase& c, std::ostream* os) { *os << c.name; }

std::vector<LocationCase> LocationCases() {
  return {
      {"StraightOnRootHub",
       [](Bench& b) {
         const UsbNodeId root = b.usb.AddHostController(0, 4);
         return std::vector{b.Location(b.PlugPrinter(root, 3, "a"))};
       },
       {"1130"}},
      {"TwoSocketsOfOneHubDifferInTheLastPair",
       [](Bench& b) {
         const UsbNodeId hub = b.usb.AddHub(b.usb.AddHostController(0, 2), 1, 7);
         const auto& first = b.PlugPrinter(hub, 2, "a");
         const auto& second = b.PlugPrinter(hub, 5, "b");
         return std::vector{b.Location(first), b.Location(second)};
       },
       {"121020", "121050"}},
      {"PortNumbersBeyondNineAreLettersAndBeyond35ADash",
       [](Bench& b) {
         const UsbNodeId hub = b.usb.AddHub(b.usb.AddHostController(0, 2), 2, 40);
         const auto& p10 = b.PlugPrinter(hub, 10, "a");
         const auto& p35 = b.PlugPrinter(hub, 35, "b");
         const auto& p36 = b.PlugPrinter(hub, 36, "c");
         return std::vector{b.Location(p10), b.Location(p35), b.Location(p36)};
       },
       {"1220a0", "1220z0", "1220-0"}},
      {"HubChainThreeDeep",
       [](Bench& b) {
         const UsbNodeId first = b.usb.AddHub(b.usb.AddHostController(0, 4), 2, 4);
         const UsbNodeId second = b.usb.AddHub(first, 4, 4);
         const UsbNodeId third = b.usb.AddHub(second, 1, 7);
         return std::vector{b.Location(b.PlugPrinter(third, 7, "p"))};
       },
       {"1420401070"}},
      {"SecondHostControllerAfterAGap",
       [](Bench& b) {
         const UsbNodeId first = b.usb.AddHostController(0, 2);
         const UsbNodeId fourth = b.usb.AddHostController(3, 2);
         const auto& onFirst = b.PlugPrinter(first, 2, "a");
         const auto& onFourth = b.PlugPrinter(fourth, 1, "b");
         return std::vector{b.Location(onFirst), b.Location(onFourth)};
       },
       {"1220", "2210"}},
      // Some hub drivers report their service name in capitals.
      {"HubServiceNameInCapitals",
       [](Bench& b) {
         const UsbNodeId hub = b.usb.AddHub(b.usb.AddHostController(0, 2), 2, 4);
         b.usb.Node(hub).service = "USBHUB";
         return std::vector{b.Location(b.PlugPrinter(hub, 3, "p"))};
       },
       {"122030"}},
      {"FunctionOfACompositeDeviceTakesItsParentsPort",
       [](Bench& b) {
         const UsbNodeId composite = b.usb.AddDevice(b.usb.AddHostController(0, 4), 4, "usbccgp");
         return std::vector{b.Location(b.PlugPrinter(composite, 0, "p"))};
       },
       {"1140"}},
  };
}

class UsbLocationCases : public ::testing::TestWithParam<LocationCase> {
 protected:
  Bench bench_;
};

TEST_P(UsbLocationCases, NamesTheSocket) {
  EXPECT_EQ(GetParam().build(bench_), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Topologies, UsbLocationCases, ::testing::ValuesIn(LocationCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// 31 levels need 64 characters: one more than a location holds.
TEST_F(UsbLocationTest, LongestChainThatFitsAndOneTooMany) {
  UsbNodeId hub = usb_.AddHostController(0, 2);
  for (int level = 0; level < 29; ++level) hub = usb_.AddHub(hub, 1, 2);
  const auto& fits = PlugPrinter(hub, 2, "fits");
  const auto& tooDeep = PlugPrinter(usb_.AddHub(hub, 1, 2), 1, "deep");
  EXPECT_EQ(Location(fits), "1v" + Repeat("10", 29) + "20");
  EXPECT_EQ(Location(tooDeep), "");
}

struct FailureCase {
  const char* name;
  std::function<void(sim::UsbTopology&, UsbNodeId hub, sim::ClassPrinter&)> breakIt;
};

TEST(UsbLocationFailures, EveryFailingStepGivesAnEmptyLocation) {
  const std::vector<FailureCase> cases = {
      {"printer unplugged", [](auto&, UsbNodeId, sim::ClassPrinter& p) { p.Unplug(); }},
      {"node information refused",
       [](sim::UsbTopology& u, UsbNodeId hub, auto&) {
         u.Node(hub).refusedCodes.push_back(sim::kIoctlUsbNodeInformation);
       }},
      {"driver key refused",
       [](sim::UsbTopology& u, UsbNodeId hub, auto&) {
         u.Node(hub).refusedCodes.push_back(sim::kIoctlUsbPortDriverKey);
       }},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    const UsbNodeId hub = b.usb.AddHub(b.usb.AddHostController(0, 2), 2, 4);
    sim::ClassPrinter& printer = b.PlugPrinter(hub, 3, "p");
    ASSERT_EQ(b.Location(printer), "122030");
    c.breakIt(b.usb, hub, printer);
    EXPECT_EQ(b.Location(printer), "");
  }
}

// A bus for a world's printers: each on the next free port, each once.
TEST_F(UsbLocationTest, ClassPrintersOfTheWorldTakeTheFreePortsInOrder) {
  const UsbNodeId hub = usb_.AddHub(usb_.AddHostController(0, 2), 2, 4);
  const auto& first = PlugPrinter(hub, 2, "first");
  auto& world = bench_.world;
  const auto& second = world.AddClassPrinter({.name = "second", .serial = "S2"});
  const auto& third = world.AddClassPrinter({.name = "third", .serial = "S3"});
  usb_.PlugClassPrinters(hub);
  EXPECT_EQ(Location(first), "122020");
  EXPECT_EQ(Location(second), "122010");
  EXPECT_EQ(Location(third), "122030");
  world.AddClassPrinter({.name = "fourth", .serial = "S4"});
  world.AddClassPrinter({.name = "fifth", .serial = "S5"});
  EXPECT_THROW(usb_.PlugClassPrinters(hub), std::invalid_argument);
}

TEST_F(UsbLocationTest, UnknownDeviceHasNoLocation) {
  PlugPrinter(usb_.AddHostController(0, 2), 1, "p");
  EXPECT_EQ(UsbLocation("USB\\VID_0F1A&PID_0520\\NOSUCH"), "");
}

TEST_F(UsbLocationTest, NoLocationWithoutTheTracingServices) {
  const auto& printer = PlugPrinter(usb_.AddHostController(0, 2), 1, "p");
  InstallServices({.files = &bench_.world.Files(), .clock = &bench_.clock});
  EXPECT_EQ(Location(printer), "");
  EXPECT_TRUE(HubTable().empty());
}

// Root hubs as their controllers name them come first; the enumeration adds
// only the hubs not listed yet, whatever the case of their paths.
TEST_F(UsbLocationTest, TableListsRootHubsFirstThenOtherHubsOnce) {
  const UsbNodeId first = usb_.AddHostController(0, 2);
  const UsbNodeId hub = usb_.AddHub(first, 1, 4);
  usb_.AddHostController(1, 2);
  const std::vector<std::string> expected = {
      "\\\\?\\USB#ROOT_HUB#4&1A2B0&0#{F18A0E88-C30C-11D0-8815-00A0C906BED8}",
      "\\\\?\\USB#ROOT_HUB#4&1A2B1&0#{F18A0E88-C30C-11D0-8815-00A0C906BED8}",
      usb_.Node(hub).interfacePath};
  EXPECT_EQ(HubTable(), expected);
}

TEST_F(UsbLocationTest, ControllerThatDoesNotAnswerLeavesItsRootHubToTheEnumeration) {
  const UsbNodeId first = usb_.AddHostController(0, 2);
  usb_.AddHostController(1, 2);
  usb_.Node(usb_.Node(first).parent).refusedCodes.push_back(sim::kIoctlUsbRootHubName);
  const auto& printer = PlugPrinter(first, 2, "p");
  const std::vector<std::string> expected = {
      "\\\\?\\USB#ROOT_HUB#4&1A2B1&0#{F18A0E88-C30C-11D0-8815-00A0C906BED8}",
      "\\\\?\\usb#root_hub#4&1a2b0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"};
  EXPECT_EQ(HubTable(), expected);
  EXPECT_EQ(Location(printer), "2220");
}

// The table is kept between calls, and built again by the first trace that
// meets a hub plugged in since: the printer behind it is traced at once.
TEST_F(UsbLocationTest, TableIsKeptUntilATraceMeetsAHubItDoesNotList) {
  const UsbNodeId root = usb_.AddHostController(0, 2);
  const auto& early = PlugPrinter(root, 1, "a");
  ASSERT_EQ(Location(early), "1110");
  const std::uint64_t first = HubTableGeneration();
  const auto& late = PlugPrinter(usb_.AddHub(root, 2, 4), 4, "late");
  EXPECT_EQ(Location(early), "1110") << "the hub is not on its way";
  EXPECT_EQ(HubTableGeneration(), first);
  EXPECT_EQ(Location(late), "122040");
  EXPECT_EQ(HubTable().size(), 2u);
  EXPECT_GT(HubTableGeneration(), first);
}

}  // namespace
}  // namespace nolpa::morvalib
