// What the communication test and the test print need of the simulator: the
// answers to the information requests as switched, the printed text kept
// across runs, and ports above COM32 noted when examined.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/tests/sim_test_support.h"
#include "sim/world.h"

namespace nolpa::sim {
namespace {

using testing::Bytes;

const Bytes kAskModel = {0x1D, 0x49, 0x43};
const Bytes kAskFirmware = {0x1D, 0x49, 0x41};

TEST(SimInfoAnswers, EachSwitchShapesOnlyItsOwnRequest) {
  struct Case {
    InfoAnswer answer;
    Bytes model;
  } const cases[] = {
      {InfoAnswer::Normal, {0x5F, 'M', 'O', 0x00}},
      {InfoAnswer::Ignore, {}},
      {InfoAnswer::OneByteStatus, {0x12}},
      {InfoAnswer::NoTerminator, {0x5F, 'M', 'O'}},
  };
  for (const auto& c : cases) {
    VirtualClock clock;
    World world(clock);
    auto& printer = world.AddVendorPrinter({.name = "p", .model = "MO", .firmware = "F1"});
    printer.Faults().channel.infoAnswers['C'] = c.answer;
    const auto h = world.Files().Open(testing::VendorPath(printer));
    testing::WriteAll(world, h, kAskModel);
    EXPECT_EQ(testing::ReadDue(world, h), c.model);
    testing::WriteAll(world, h, kAskFirmware);
    EXPECT_EQ(testing::ReadDue(world, h), (Bytes{0x5F, 'F', '1', 0x00}));
    world.Files().Close(h);
  }
}

TEST(SimInfoAnswers, FleetRoundTripKeepsSwitchesAndPrintedText) {
  VirtualClock clock;
  auto first = WorldFromFleet(DefaultFleetJson(), clock);
  auto& com = first->Vendor("com3");
  com.Faults().channel.infoAnswers = {{'A', InfoAnswer::Ignore}, {'D', InfoAnswer::NoTerminator}};
  const auto h = first->Files().Open("\\\\.\\COM3");
  testing::WriteAll(*first, h, Bytes{'H', 'i', 0x0A, 0x00});
  first->Files().Close(h);
  EXPECT_EQ(com.Printed(), "Hi\n");

  const std::string text = FleetToJson(*first);
  EXPECT_NE(text.find(R"("infoAnswers": {)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("printed": "Hi\n")"), std::string::npos) << text;
  auto second = WorldFromFleet(text, clock);
  EXPECT_EQ(FleetToJson(*second), text);
  EXPECT_EQ(second->Vendor("com3").Printed(), "Hi\n");
  EXPECT_EQ(second->Vendor("com3").Faults().channel.infoAnswers, com.Faults().channel.infoAnswers);

  World third(clock);
  EXPECT_THROW(LoadFleet(third, R"({"devices": [{"name": "x", "kind": "vendor",
      "faults": {"infoAnswers": {"B": "ignore"}}}]})"),
               FleetError);
  EXPECT_THROW(LoadFleet(third, R"({"devices": [{"name": "y", "kind": "vendor",
      "faults": {"infoAnswers": {"C": "sometimes"}}}]})"),
               FleetError);
}

TEST(SimInfoAnswers, PrintedTextIsSavedToTheStateFileAtOnce) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "nolpa-sim-printed";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string file = (dir / "state.json").string();
  VirtualClock clock;
  {
    auto world = OpenPersistentWorld(file, clock);
    ASSERT_NE(world, nullptr);
    auto& p = world->Vendor("onboard-usb");
    const auto h = world->Files().Open(testing::VendorPath(p));
    testing::WriteAll(*world, h, Bytes{'O', 'K', 0x0A});
    world->Files().Close(h);
  }
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find(R"("printed": "OK\n")"), std::string::npos);
  auto again = OpenPersistentWorld(file, clock);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Vendor("onboard-usb").Printed(), "OK\n");
  again.reset();
  fs::remove_all(dir);
}

TEST(SimPortsAboveCom32, AreNotedWhenQueriedOrOpened) {
  VirtualClock clock;
  World world(clock);
  world.AddVendorPrinter({.name = "c33", .kind = DeviceKind::VirtualCom, .comPort = 33});
  world.Departures().Expect(departure::kPortAboveCom32);
  std::string target;
  EXPECT_FALSE(world.DosDevices().QueryTarget("COM32", &target));
  EXPECT_EQ(world.Departures().Count(departure::kPortAboveCom32), 0u);
  EXPECT_TRUE(world.DosDevices().QueryTarget("COM33", &target));
  ASSERT_EQ(world.Departures().Count(departure::kPortAboveCom32), 1u);
  EXPECT_EQ(world.Departures().All()[0].device, "c33");
  const auto h = world.Files().Open("\\\\.\\COM40");
  EXPECT_EQ(h, platform::kInvalidDeviceHandle);
  EXPECT_EQ(world.Departures().Count(departure::kPortAboveCom32), 2u);
}

// Windows opens COM1 to COM9 by their bare names too, a higher port only as
// "\\.\COMn": a bare "COM10" opens nothing and is noted.
TEST(SimPortNames, ABarePortNameAboveCom9OpensNothing) {
  VirtualClock clock;
  World world(clock);
  world.AddVendorPrinter({.name = "c9", .kind = DeviceKind::VirtualCom, .comPort = 9});
  world.AddVendorPrinter({.name = "c10", .kind = DeviceKind::VirtualCom, .comPort = 10});
  world.Departures().Expect(departure::kBarePortAboveCom9);
  const struct {
    const char* path;
    bool opens;
  } cases[] = {{"COM9", true},
               {"\\\\.\\COM9", true},
               {"\\\\.\\COM10", true},
               {"COM10", false},
               {"com10", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const platform::DeviceHandle handle = world.Files().Open(c.path);
    EXPECT_EQ(handle != platform::kInvalidDeviceHandle, c.opens);
    if (handle != platform::kInvalidDeviceHandle) world.Files().Close(handle);
  }
  ASSERT_EQ(world.Departures().Count(departure::kBarePortAboveCom9), 2u);
  EXPECT_EQ(world.Departures().All()[0].device, "c10");
}

}  // namespace
}  // namespace nolpa::sim
