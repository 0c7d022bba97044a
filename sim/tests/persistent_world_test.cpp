// A world kept in a state file: created from the default fleet, saved after
// every change, seen by a second world on the same file.
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

namespace fs = std::filesystem;

class SimPersistentWorldTest : public ::testing::Test {
 protected:
  SimPersistentWorldTest() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() / (std::string("nolpa-sim-") + info->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    file = (dir / "state.json").string();
  }
  ~SimPersistentWorldTest() override { fs::remove_all(dir); }

  std::string FileText() const {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // Writes a new ID code into the onboard printer through its channel.
  static void WriteIdCode(World& world, const std::string& code) {
    auto& p = world.Vendor("onboard-usb");
    const auto h = world.Files().Open(testing::VendorPath(p));
    ASSERT_NE(h, platform::kInvalidDeviceHandle);
    testing::WriteAll(world, h, testing::StoreSession(p.Identity().identByte, 0x39, code));
    world.Files().Close(h);
  }

  static std::string ReportedSerial(World& world) {
    auto& p = world.Vendor("onboard-usb");
    const auto h = world.Files().Open(testing::VendorPath(p));
    const auto strings = testing::Ioctl(world, h, kIoctlStringDescriptors, 1024).out;
    world.Files().Close(h);
    std::string serial;  // the last descriptor, narrowed
    std::size_t pos = 0, last = 0;
    while (pos < strings.size()) last = pos, pos += strings[pos];
    for (std::size_t i = last + 2; i + 1 < strings.size(); i += 2)
      serial.push_back(char(strings[i]));
    return serial;
  }

  VirtualClock clock;
  fs::path dir;
  std::string file;
};

TEST_F(SimPersistentWorldTest, MissingFileIsCreatedFromTheDefaultFleet) {
  auto world = OpenPersistentWorld(file, clock);
  ASSERT_NE(world, nullptr);
  ASSERT_TRUE(fs::exists(file));
  VirtualClock other;
  auto reference = WorldFromFleet(DefaultFleetJson(), other);
  EXPECT_EQ(FileText(), FleetToJson(*reference));
  EXPECT_FALSE(world->Recorder().Enabled());
}

TEST_F(SimPersistentWorldTest, AStateThatCannotBeCreatedOpensNoWorld) {
  // In a folder that does not exist: no throwaway world that forgets writes.
  std::string error;
  EXPECT_EQ(OpenPersistentWorld((dir / "missing" / "state.json").string(), clock, &error), nullptr);
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST_F(SimPersistentWorldTest, SecondWorldSeesWhatTheFirstWrote) {
  {
    auto first = OpenPersistentWorld(file, clock);
    WriteIdCode(*first, "20270301090503");
  }
  auto second = OpenPersistentWorld(file, clock);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ReportedSerial(*second), "20270301090503");
  EXPECT_FALSE(fs::exists(file + ".tmp"));
}

TEST_F(SimPersistentWorldTest, AChangeThatCannotBeSavedIsNotPassedOff) {
  auto world = OpenPersistentWorld(file, clock);
  ASSERT_NE(world, nullptr);
  fs::remove_all(dir);  // nowhere left to save to
  EXPECT_THROW(WriteIdCode(*world, "LOST"), std::runtime_error);
  fs::create_directories(dir);
}

// A station's line: the file shows each printer gone or back, and only the
// events still to come, as soon as an event is applied or a test plugs.
TEST_F(SimPersistentWorldTest, PluggingIsSavedAsItHappens) {
  std::string fleet(DefaultFleetJson());
  fleet.insert(fleet.rfind('}'), R"(, "events": [{"atMs": 100, "unplug": "rk-l880"},
                                               {"atMs": 900, "unplug": "desk-hub"}])");
  std::ofstream(file, std::ios::binary) << fleet;
  auto world = OpenPersistentWorld(file, clock);
  ASSERT_NE(world, nullptr);
  clock.Advance(100);
  testing::Enumerate(*world, kUsbPrintInterfaceGuid);
  VirtualClock other;
  auto saved = WorldFromFleet(FileText(), other);
  EXPECT_FALSE(saved->Device("rk-l880").PluggedItself());
  EXPECT_EQ(saved->PendingEvents(), (std::vector<PlugEvent>{{900, "desk-hub", false}}));
  world->Plug("rk-l880");
  EXPECT_TRUE(WorldFromFleet(FileText(), other)->Device("rk-l880").Plugged());
}

TEST_F(SimPersistentWorldTest, BoardWritesAreSavedAsTheyHappen) {
  auto world = OpenPersistentWorld(file, clock);
  auto& p = world->Vendor("nwj-board");
  const auto h = world->Files().Open(testing::VendorPath(p));
  testing::Ioctl(*world, h, kIoctlSetBoardAddress, 0, {0x00, 0x01});
  testing::Ioctl(*world, h, kIoctlWriteBoardValue, 0, {0xFF, 0x00});
  world->Files().Close(h);
  VirtualClock other;
  auto saved = WorldFromFleet(FileText(), other);
  EXPECT_EQ(saved->Vendor("nwj-board").Board().Value(256), std::optional<std::uint16_t>(0xFF));
}

TEST_F(SimPersistentWorldTest, LiveWorldsOnOneFileTakeInEachOthersChanges) {
  auto a = OpenPersistentWorld(file, clock);
  auto b = OpenPersistentWorld(file, clock);
  WriteIdCode(*a, "FROMA");
  EXPECT_EQ(ReportedSerial(*b), "FROMA");
  // b's own change must not lose a's: the file holds both.
  auto& com = b->Vendor("com3");
  const auto h = b->Files().Open("\\\\.\\COM3");
  testing::WriteAll(*b, h, testing::StoreSession(com.Identity().identByte, 0x38, "Hall"));
  b->Files().Close(h);
  VirtualClock other;
  auto saved = WorldFromFleet(FileText(), other);
  EXPECT_EQ(saved->Vendor("onboard-usb").Identity().serial, "FROMA");
  EXPECT_EQ(saved->Vendor("com3").Identity().idName, "Hall");
}

TEST_F(SimPersistentWorldTest, ChangeOfTheSameSizeWithinOneSecondIsSeen) {
  auto a = OpenPersistentWorld(file, clock);
  auto b = OpenPersistentWorld(file, clock);
  WriteIdCode(*a, "AAAA");
  EXPECT_EQ(ReportedSerial(*b), "AAAA");
  WriteIdCode(*a, "BBBB");  // same file size, likely the same file time
  EXPECT_EQ(ReportedSerial(*b), "BBBB");
}

TEST_F(SimPersistentWorldTest, BrokenFileIsReportedAndLeftAlone) {
  {
    std::ofstream out(file);
    out << "{\"devices\": [ {\"name\": \"x\"";
  }
  std::string error;
  EXPECT_EQ(OpenPersistentWorld(file, clock, &error), nullptr);
  EXPECT_NE(error.find("not valid JSON"), std::string::npos) << error;
  EXPECT_EQ(FileText(), "{\"devices\": [ {\"name\": \"x\"");
}

}  // namespace
}  // namespace nolpa::sim
