// The recorder as scenario tests read it.
#include <gtest/gtest.h>

#include "sim/core/virtual_clock.h"
#include "sim/tests/sim_test_support.h"
#include "sim/world.h"

namespace nolpa::sim {
namespace {

using testing::Bytes;

TEST(SimRecorderTest, TranscriptReadsLikeAScript) {
  VirtualClock clock;
  World world(clock);
  auto& printer = world.AddVendorPrinter({.name = "vx", .identByte = 0x20});
  printer.Usb().boardCode = kNwjBoard;
  printer.Faults().channel.latencyMs = 3;
  printer.Faults().ioctl.push_back({.code = kIoctlIdName});

  EXPECT_EQ(world.Files().Open("\\\\?\\nothing"), platform::kInvalidDeviceHandle);
  const auto h = world.Files().Open(testing::VendorPath(printer));
  world.Files().SetTimeouts(h, {0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 2000});
  testing::Ioctl(world, h, kIoctlStatusBlock, 4);
  testing::Ioctl(world, h, kIoctlIdName, 512);
  testing::Ioctl(world, h, kIoctlSetBoardAddress, 0, {0x00, 0x01});
  testing::WriteAll(world, h, {0x1D, 0x49, 0x01});
  for (int i = 0; i < 3; ++i) {
    testing::ReadOnce(world, h, 1);
    clock.SleepMs(1);
  }
  testing::ReadOnce(world, h, 1);
  world.Files().Close(h);

  EXPECT_EQ(world.Recorder().Transcript("vx"),
            (std::vector<std::string>{
                "open ok",
                "set-timeouts FFFFFFFF FFFFFFFF 0 0 2000 refused",
                "ioctl 2220C0 ok 4",
                "ioctl 2220CC refused",
                "ioctl 2221C0 [00 01] ok 0",
                "write 3/3 1D 49 01",
                "read - x3",
                "read 20",
                "close",
            }));
  const auto all = world.Recorder().Transcript({}, true);
  EXPECT_EQ(all.front(), "@0 : open failed");
  EXPECT_EQ(all[all.size() - 2], "@3 vx: read 20");
}

TEST(SimRecorderTest, RequestsCarryTheirDetails) {
  VirtualClock clock;
  World world(clock);
  auto& printer = world.AddVendorPrinter({.name = "vx"});
  printer.Faults().writes.push_back({.take = 2});
  const auto h = world.Files().Open(testing::VendorPath(printer));
  clock.Advance(42);
  testing::WriteAll(world, h, {0x1B, 0x40, 0x0A});
  testing::Ioctl(world, h, kIoctlDeviceDescriptor, 18);
  world.Files().Close(h);

  const auto requests = world.Recorder().RequestsOf("vx");
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_EQ(requests[0].kind, RequestKind::Open);
  EXPECT_EQ(requests[0].path, testing::VendorPath(printer));
  EXPECT_EQ(requests[0].handle, h);
  const auto& write = requests[1];
  EXPECT_EQ(write.timeMs, 42u);
  EXPECT_EQ(write.in, (Bytes{0x1B, 0x40, 0x0A}));
  EXPECT_EQ(write.size, 3u);
  EXPECT_EQ(write.count, 2u);
  const auto& ioctl = requests[2];
  EXPECT_EQ(ioctl.code, kIoctlDeviceDescriptor);
  EXPECT_TRUE(ioctl.ok);
  EXPECT_EQ(ioctl.size, 18u);
  EXPECT_EQ(ioctl.inSize, 0u);
  EXPECT_EQ(ioctl.outSize, 18u);
  ASSERT_EQ(ioctl.out.size(), 18u);
  EXPECT_EQ(Bytes(ioctl.out.begin(), ioctl.out.begin() + 4), (Bytes{18, 1, 0x00, 0x02}));
  EXPECT_EQ(requests[3].kind, RequestKind::Close);
  EXPECT_EQ(printer.Protocol().Commands(), std::vector<std::string>{"ESC @"});
}

TEST(SimRecorderTest, UseOfAClosedHandleIsRecordedAsFailed) {
  VirtualClock clock;
  World world(clock);
  auto& printer = world.AddVendorPrinter({.name = "vx"});
  const auto h = world.Files().Open(testing::VendorPath(printer));
  world.Files().Close(h);
  EXPECT_FALSE(testing::Ioctl(world, h, kIoctlStatusBlock, 4).ok);
  const auto& last = world.Recorder().Requests().back();
  EXPECT_EQ(last.device, "");
  EXPECT_EQ(last.handle, h);
  EXPECT_FALSE(last.ok);
}

TEST(SimRecorderTest, DisabledRecorderKeepsNothing) {
  VirtualClock clock;
  World world(clock);
  world.Recorder().SetEnabled(false);
  auto& printer = world.AddVendorPrinter({.name = "vx"});
  world.Files().Close(world.Files().Open(testing::VendorPath(printer)));
  EXPECT_TRUE(world.Recorder().Requests().empty());
}

}  // namespace
}  // namespace nolpa::sim
