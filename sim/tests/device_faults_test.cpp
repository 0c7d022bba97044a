// Fault switches the world applies to any device: refused, short and raw
// control requests, partial writes, unplugging mid-sequence, refused opens.
#include <gtest/gtest.h>

#include "sim/core/virtual_clock.h"
#include "sim/tests/sim_test_support.h"
#include "sim/world.h"

namespace nolpa::sim {
namespace {

using testing::Bytes;
using testing::Ioctl;

class SimDeviceFaultTest : public ::testing::Test {
 protected:
  platform::DeviceHandle Open() { return world.Files().Open(testing::VendorPath(printer)); }

  VirtualClock clock;
  World world{clock};
  VendorPrinter& printer =
      world.AddVendorPrinter({.name = "vx", .serial = u"A1", .idName = u"Desk"});
};

TEST_F(SimDeviceFaultTest, RefusesACodeEveryTime) {
  printer.Faults().ioctl.push_back({.code = kIoctlIdName});
  const auto h = Open();
  for (int i = 0; i < 3; ++i) {
    const auto r = Ioctl(world, h, kIoctlIdName, 512);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.out.empty());
  }
  EXPECT_TRUE(Ioctl(world, h, kIoctlStatusBlock, 4).ok);
  world.Files().Close(h);
}

TEST_F(SimDeviceFaultTest, RefusesOnlyTheNthOccurrence) {
  printer.Faults().ioctl.push_back({.code = kIoctlStringDescriptors, .nth = 2});
  const auto h = Open();
  EXPECT_TRUE(Ioctl(world, h, kIoctlStringDescriptors, 1024).ok);
  EXPECT_TRUE(Ioctl(world, h, kIoctlDeviceDescriptor, 18).ok);  // other codes do not count
  EXPECT_FALSE(Ioctl(world, h, kIoctlStringDescriptors, 1024).ok);
  EXPECT_TRUE(Ioctl(world, h, kIoctlStringDescriptors, 1024).ok);
  world.Files().Close(h);
}

TEST_F(SimDeviceFaultTest, ShortReplyFillsOnlyKBytes) {
  printer.Faults().ioctl.push_back(
      {.code = kIoctlStatusBlock, .action = IoctlFault::Action::Short, .fill = 1});
  const auto h = Open();
  const auto r = Ioctl(world, h, kIoctlStatusBlock, 4);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.out, Bytes{kOnboardUsb1});
  world.Files().Close(h);
}

TEST_F(SimDeviceFaultTest, RawReplyGivesGarbageDescriptors) {
  // The second descriptor's length byte reaches past the returned count.
  const Bytes garbage = {0x04, 0x03, 0x09, 0x04, 0x06, 0x03, 'N', 0, 0x40, 0x03, 'V', 0};
  printer.Faults().ioctl.push_back(
      {.code = kIoctlStringDescriptors, .action = IoctlFault::Action::Raw, .bytes = garbage});
  const auto h = Open();
  EXPECT_EQ(Ioctl(world, h, kIoctlStringDescriptors, 1024).out, garbage);
  world.Files().Close(h);
}

// The driver defines one buffer size per request and refuses any other,
// before any fault switch is consulted; every such request is a departure.
TEST_F(SimDeviceFaultTest, DriverRefusesBuffersOfAnotherSize) {
  printer.Faults().ioctl.push_back(
      {.code = kIoctlStringDescriptors, .action = IoctlFault::Action::Raw, .bytes = {4, 3, 9, 4}});
  printer.Usb().boardCode = kNwjBoard;
  const struct {
    std::uint32_t code;
    std::uint32_t out;
    Bytes in;
    const char* departure;
  } cases[] = {
      {kIoctlDeviceDescriptor, 4, {}, departure::kIoctlBufferSize},
      {kIoctlStringDescriptors, 512, {}, departure::kIoctlBufferSize},
      {kIoctlStringDescriptors, 1024, {0}, departure::kIoctlBufferSize},
      {kIoctlStatusBlock, 2, {}, departure::kIoctlBufferSize},
      {kIoctlIdName, 1024, {}, departure::kIoctlBufferSize},
      {kIoctlSetBoardAddress, 0, {0x00}, departure::kIoctlBufferSize},
      {kIoctlWriteBoardValue, 2, {0x06, 0x00}, departure::kIoctlBufferSize},
      {kIoctlFinishBoardWrite, 0, {0x00, 0x00}, departure::kIoctlBufferSize},
      {kIoctlFinishBoardWrite, 0, Bytes{0x01, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
       departure::kFinishWordNotZero},
      {0x222999, 8, {}, departure::kUnknownIoctl},
  };
  const auto h = Open();
  for (const auto& c : cases) {
    world.Departures().Clear();
    const auto r = Ioctl(world, h, c.code, c.out, c.in);
    EXPECT_FALSE(r.ok) << std::hex << c.code;
    EXPECT_TRUE(r.out.empty()) << std::hex << c.code;
    ASSERT_EQ(world.Departures().All().size(), 1u) << std::hex << c.code;
    EXPECT_EQ(world.Departures().All()[0].kind, c.departure) << std::hex << c.code;
  }
  world.Departures().Clear();
  world.Files().Close(h);
}

TEST_F(SimDeviceFaultTest, OnboardInterfaceHasNoBoardMemory) {
  world.Departures().Expect(departure::kBoardRequestOnboard);
  const auto h = Open();
  EXPECT_FALSE(Ioctl(world, h, kIoctlSetBoardAddress, 0, {0x00, 0x00}).ok);
  EXPECT_FALSE(Ioctl(world, h, kIoctlWriteBoardValue, 0, {0x06, 0x00}).ok);
  EXPECT_FALSE(Ioctl(world, h, kIoctlFinishBoardWrite, 0, Bytes(16, 0)).ok);
  EXPECT_TRUE(printer.Board().Cells().empty());
  EXPECT_EQ(world.Departures().Count(departure::kBoardRequestOnboard), 3u);
  world.Files().Close(h);
}

TEST_F(SimDeviceFaultTest, PartialWritesTakeFewerBytes) {
  printer.Faults().writes.push_back({.nth = 2, .take = 1});
  const auto h = Open();
  EXPECT_EQ(testing::WriteAll(world, h, {0x1D, 0x49, 0x01}), 3u);
  EXPECT_EQ(testing::WriteAll(world, h, {0x1D, 0x49, 0x01}), 1u);
  EXPECT_EQ(testing::WriteAll(world, h, {0x49, 0x01}), 2u);  // the rest of the command
  EXPECT_EQ(testing::ReadDue(world, h), (Bytes{0x20, 0x20}));
  printer.Faults().writes = {{.take = 0}};
  EXPECT_EQ(testing::WriteAll(world, h, {0x1D}), 0u);
  world.Files().Close(h);
}

TEST_F(SimDeviceFaultTest, UnplugsAfterTheNthRequest) {
  printer.Faults().unplug = UnplugFault{.after = 3};
  const auto h = Open();                                           // 1
  EXPECT_TRUE(Ioctl(world, h, kIoctlStringDescriptors, 1024).ok);  // 2
  EXPECT_TRUE(Ioctl(world, h, kIoctlIdName, 512).ok);              // 3: answered, then gone
  EXPECT_FALSE(Ioctl(world, h, kIoctlDeviceDescriptor, 18).ok);
  EXPECT_FALSE(printer.Plugged());
  world.Files().Close(h);
  EXPECT_EQ(world.Files().Open(testing::VendorPath(printer)), platform::kInvalidDeviceHandle);
}

TEST_F(SimDeviceFaultTest, UnplugsAfterTheNthRequestOfOneCode) {
  printer.Usb().boardCode = kNwjBoard;
  printer.Faults().unplug =
      UnplugFault{.after = 2, .kind = RequestKind::IoControl, .code = kIoctlWriteBoardValue};
  const auto h = Open();
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(Ioctl(world, h, kIoctlSetBoardAddress, 0, {0x00, 0x00}).ok);
    EXPECT_TRUE(Ioctl(world, h, kIoctlWriteBoardValue, 0, {0x06, 0x00}).ok);
  }
  EXPECT_FALSE(Ioctl(world, h, kIoctlSetBoardAddress, 0, {0x01, 0x00}).ok);
  world.Files().Close(h);
}

TEST_F(SimDeviceFaultTest, UnplugsAtAVirtualTime) {
  printer.Faults().unplugAtMs = 1000;
  const auto h = Open();
  clock.Advance(999);
  EXPECT_TRUE(Ioctl(world, h, kIoctlStatusBlock, 4).ok);
  clock.Advance(1);
  EXPECT_TRUE(testing::ReadOnce(world, h).empty());
  EXPECT_FALSE(printer.Plugged());
  printer.Plug();  // the schedule fired once; a replugged device stays
  EXPECT_EQ(testing::Enumerate(world, kVendorInterfaceGuid).size(), 1u);
  world.Files().Close(h);
}

TEST_F(SimDeviceFaultTest, RefusedOpenAndUnreadableDetail) {
  printer.Faults().refuseOpen = true;
  EXPECT_EQ(Open(), platform::kInvalidDeviceHandle);
  printer.Faults().failInterfaceDetail = true;
  const platform::InterfaceSet set = world.Interfaces().OpenSet(kVendorInterfaceGuid);
  std::string path;
  EXPECT_FALSE(world.Interfaces().InterfacePath(set, kVendorInterfaceGuid, 0, &path));
  world.Interfaces().CloseSet(set);
  EXPECT_EQ(world.OpenSets(), 0u);
}

TEST(SimSerialFaultTest, PortRefusingTimeoutsStillWorks) {
  VirtualClock clock;
  World world(clock);
  auto& port =
      world.AddVendorPrinter({.name = "com", .kind = DeviceKind::VirtualCom, .comPort = 4});
  port.Faults().refuseTimeouts = true;
  const auto h = world.Files().Open("COM4");
  ASSERT_NE(h, platform::kInvalidDeviceHandle);
  EXPECT_FALSE(world.Files().SetTimeouts(h, {0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 2000}));
  EXPECT_TRUE(Ioctl(world, h, kIoctlStatusBlock, 4).ok);
  world.Files().Close(h);
}

TEST(SimEnumerationTest, SetIsASnapshotAndChecksItsClass) {
  VirtualClock clock;
  World world(clock);
  auto& a = world.AddVendorPrinter({.name = "a", .serial = u"S1"});
  world.AddVendorPrinter({.name = "b", .serial = u"S2"});
  const platform::InterfaceSet set = world.Interfaces().OpenSet(kVendorInterfaceGuid);
  a.Unplug();
  std::string path;
  EXPECT_TRUE(world.Interfaces().InterfacePath(set, kVendorInterfaceGuid, 1, &path));
  EXPECT_NE(path.find("#S2#"), std::string::npos);
  EXPECT_FALSE(world.Interfaces().InterfacePath(set, kUsbPrintInterfaceGuid, 0, &path));
  EXPECT_FALSE(world.Interfaces().InterfacePath(set, kVendorInterfaceGuid, 2, &path));
  world.Interfaces().CloseSet(set);
  EXPECT_EQ(testing::Enumerate(world, kVendorInterfaceGuid).size(), 1u);
  EXPECT_FALSE(world.Interfaces().InterfacePath(set, kVendorInterfaceGuid, 0, &path));
}

}  // namespace
}  // namespace nolpa::sim
