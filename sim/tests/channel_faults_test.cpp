// How a printer's replies reach the host under the channel fault switches:
// every read returns only bytes already due, and never waits.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "sim/core/virtual_clock.h"
#include "sim/tests/sim_test_support.h"
#include "sim/world.h"

namespace nolpa::sim {
namespace {

using testing::Bytes;
using testing::ReadDue;
using testing::WriteAll;

const Bytes kIdentify = {0x1D, 0x49, 0x01};
const Bytes kModelQuery = {0x1D, 0x49, 0x43};

class SimChannelTest : public ::testing::Test {
 protected:
  SimChannelTest() {
    printer.SetModel("AB");
    handle = world.Files().Open(testing::VendorPath(printer));
  }
  ~SimChannelTest() override { world.Files().Close(handle); }

  ChannelFaults& Faults() { return printer.Faults().channel; }

  VirtualClock clock;
  World world{clock};
  VendorPrinter& printer = world.AddVendorPrinter({.name = "vx", .identByte = 0x20});
  platform::DeviceHandle handle = platform::kInvalidDeviceHandle;
};

TEST_F(SimChannelTest, ReplyIsDueAfterTheLatency) {
  Faults().latencyMs = 30;
  WriteAll(world, handle, kIdentify);
  clock.Advance(29);
  std::uint8_t byte = 0;
  std::uint32_t done = 9;
  EXPECT_TRUE(world.Files().Read(handle, &byte, 1, &done));  // success, no byte
  EXPECT_EQ(done, 0u);
  clock.Advance(1);
  EXPECT_EQ(ReadDue(world, handle), Bytes{0x20});
}

TEST_F(SimChannelTest, OneReadTakesOnlyTheBytesAlreadyDue) {
  Faults().byteGapMs = 10;
  WriteAll(world, handle, kModelQuery);  // 5F 'A' 'B' 00 at 0, 10, 20, 30 ms
  clock.Advance(15);
  EXPECT_EQ(testing::ReadOnce(world, handle, 64), (Bytes{0x5F, 'A'}));
  clock.Advance(100);
  EXPECT_EQ(testing::ReadOnce(world, handle, 1), Bytes{'B'});
  EXPECT_EQ(testing::ReadOnce(world, handle, 64), Bytes{0x00});
}

TEST_F(SimChannelTest, GapInsideAReply) {
  Faults().gapBeforeByte[3] = 2500;  // the block's closing NUL comes 2.5 s late
  WriteAll(world, handle, kModelQuery);
  EXPECT_EQ(ReadDue(world, handle), (Bytes{0x5F, 'A', 'B'}));
  clock.Advance(2499);
  EXPECT_TRUE(ReadDue(world, handle).empty());
  clock.Advance(1);
  EXPECT_EQ(ReadDue(world, handle), Bytes{0x00});
}

TEST_F(SimChannelTest, LaterReplyNeverOvertakesAnEarlierOne) {
  Faults().latencyMs = 100;
  WriteAll(world, handle, kModelQuery);
  Faults().latencyMs = 0;
  WriteAll(world, handle, kIdentify);
  EXPECT_TRUE(ReadDue(world, handle).empty());
  clock.Advance(100);
  EXPECT_EQ(ReadDue(world, handle), (Bytes{0x5F, 'A', 'B', 0x00, 0x20}));
}

TEST_F(SimChannelTest, SilentPrinterNeverAnswersButStillListens) {
  Faults().silent = true;
  WriteAll(world, handle, kIdentify);
  WriteAll(world, handle, testing::StoreSession(0x20, 0x39, "Q1"));
  clock.Advance(60'000);
  EXPECT_TRUE(ReadDue(world, handle).empty());
  EXPECT_EQ(printer.Identity().serial, "Q1");
}

struct ChatterCase {
  const char* name;
  Bytes chatter;
  Bytes flowControl;
  std::uint32_t every;
  Bytes expected;
};

void PrintTo(const ChatterCase& c, std::ostream* os) { *os << c.name; }

class SimChatterTest : public SimChannelTest, public ::testing::WithParamInterface<ChatterCase> {};

TEST_P(SimChatterTest, InsertsStatusAndFlowControlBytes) {
  Faults().chatter = GetParam().chatter;
  Faults().flowControl = GetParam().flowControl;
  Faults().flowControlEvery = GetParam().every;
  WriteAll(world, handle, kModelQuery);
  EXPECT_EQ(ReadDue(world, handle), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SimChatterTest,
    ::testing::Values(
        ChatterCase{"OneByteStatus", {0x12}, {}, 1, {0x12, 0x5F, 'A', 'B', 0x00}},
        ChatterCase{"FourByteStatus",
                    {0x14, 0x00, 0x0F, 0x00},
                    {},
                    1,
                    {0x14, 0x00, 0x0F, 0x00, 0x5F, 'A', 'B', 0x00}},
        ChatterCase{"XoffInside", {}, {0x13}, 1, {0x5F, 0x13, 'A', 0x13, 'B', 0x13, 0x00}},
        ChatterCase{"XonXoffEveryTwo", {}, {0x11, 0x13}, 2, {0x5F, 'A', 0x11, 0x13, 'B', 0x00}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimChannelTest, HeartbeatNeverLetsTheChannelFallSilent) {
  Faults().heartbeat = Heartbeat{0x12, 500};
  EXPECT_TRUE(ReadDue(world, handle).empty());  // the beat starts with the first read
  clock.Advance(499);
  EXPECT_TRUE(ReadDue(world, handle).empty());
  clock.Advance(1);
  EXPECT_EQ(ReadDue(world, handle), Bytes{0x12});
  clock.Advance(1000);
  EXPECT_EQ(ReadDue(world, handle), (Bytes{0x12, 0x12}));
}

TEST_F(SimChannelTest, HeartbeatFallsBetweenReplyBytesByTime) {
  Faults().heartbeat = Heartbeat{0x12, 500};
  ReadDue(world, handle);
  Faults().byteGapMs = 400;  // 5F at 0, 'A' at 400, 'B' at 800, 00 at 1200
  WriteAll(world, handle, kModelQuery);
  clock.Advance(1200);
  EXPECT_EQ(ReadDue(world, handle), (Bytes{0x5F, 'A', 0x12, 'B', 0x12, 0x00}));
}

struct QueryCase {
  QueryAnswer answer;
  Bytes expected;
};

void PrintTo(const QueryCase& c, std::ostream* os) {
  *os << "answer " << static_cast<int>(c.answer);
}

class SimQueryAnswerTest : public SimChannelTest,
                           public ::testing::WithParamInterface<QueryCase> {};

TEST_P(SimQueryAnswerTest, IdentificationQueryAnswersAsSwitched) {
  Faults().queryAnswer = GetParam().answer;
  WriteAll(world, handle, kIdentify);
  EXPECT_EQ(ReadDue(world, handle), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Answers, SimQueryAnswerTest,
                         ::testing::Values(QueryCase{QueryAnswer::Normal, {0x20}},
                                           QueryCase{QueryAnswer::OneByteStatus, {0x12}},
                                           QueryCase{QueryAnswer::Block, {0x5F, 'x', 0x00}}));

TEST_F(SimChannelTest, ScriptedBytesArriveOnTime) {
  printer.QueueBytes({0x14, 0x00, 0x0F}, 10, 0);
  printer.Channel().QueueTimed({{2500, 0x00}}, clock.NowMs());
  clock.Advance(10);
  EXPECT_EQ(ReadDue(world, handle), (Bytes{0x14, 0x00, 0x0F}));
  clock.Advance(2499);
  EXPECT_TRUE(ReadDue(world, handle).empty());
  clock.Advance(1);
  EXPECT_EQ(ReadDue(world, handle), Bytes{0x00});
}

TEST_F(SimChannelTest, UnplugDropsWaitingBytes) {
  WriteAll(world, handle, kModelQuery);
  printer.Unplug();
  printer.Plug();
  EXPECT_EQ(printer.Channel().Pending(), 0u);
}

// A printer-class printer whose replies come as USB bulk transfers. Its
// status on the plain data path is "@BDC ST\r\nST:04;RV:" firmware ";" 0C:
// 20 bytes and the firmware text.
class SimTransferTest : public ::testing::Test {
 protected:
  SimTransferTest() { handle = world.Files().Open(printer.InterfacePath()); }
  ~SimTransferTest() override { world.Files().Close(handle); }

  // Makes the printer answer the next status request with `size` bytes.
  void AnswerWith(std::size_t size) {
    ASSERT_GE(size, 20u);
    printer.SetFirmware(std::string(size - 20, 'v'));
    WriteAll(world, handle, kRemoteStatus);
  }
  // One read; nothing when it failed.
  std::optional<std::uint32_t> Read(std::uint32_t size) {
    Bytes buffer(size);
    std::uint32_t done = 0;
    if (!world.Files().Read(handle, buffer.data(), size, &done)) return std::nullopt;
    return done;
  }

  static constexpr std::uint8_t kRemoteStatusBytes[] = {
      0x1B, '(', 'R', 0x08, 0x00, 0x00, 'R',  'E',  'M',  'O',  'T', 'E',
      '1',  'S', 'T', 0x02, 0x00, 0x00, 0x01, 0x1B, 0x00, 0x00, 0x00};
  const Bytes kRemoteStatus{std::begin(kRemoteStatusBytes), std::end(kRemoteStatusBytes)};

  VirtualClock clock;
  World world{clock};
  ClassPrinter& printer =
      world.AddClassPrinter({.name = "rk", .deviceId = "CMD:NLP;MDL:RK-L5200;"});
  platform::DeviceHandle handle = platform::kInvalidDeviceHandle;
};

constexpr std::optional<std::uint32_t> kOverrun = std::nullopt;

struct TransferCase {
  const char* name;
  std::uint16_t packetSize;
  std::vector<std::size_t> replies;                                           // one write each
  std::vector<std::pair<std::uint32_t, std::optional<std::uint32_t>>> reads;  // size, count
};

const TransferCase kTransferCases[] = {
    {"a reply within one packet", 64, {25}, {{4096, 25}, {4096, 0}}},
    {"a header-sized read of a short packet overruns", 64, {25}, {{6, kOverrun}, {4096, 0}}},
    {"a read of exactly the reply", 64, {25}, {{25, 25}}},
    {"a read as large as a packet", 64, {121}, {{64, 64}, {64, 57}}},
    {"the second packet overruns what room is left", 64, {121}, {{100, kOverrun}, {4096, 0}}},
    {"one read takes a whole transfer", 64, {121}, {{4096, 121}}},
    {"a read ends with its transfer", 64, {25, 30}, {{4096, 25}, {4096, 30}, {4096, 0}}},
    {"a transfer of whole packets ends with a zero-length one",
     64,
     {64, 25},
     {{4096, 64}, {4096, 25}}},
    {"high speed", 512, {600}, {{512, 512}, {4096, 88}}},
    {"high speed, a full-speed-sized read overruns", 512, {100}, {{64, kOverrun}}},
};

TEST_F(SimTransferTest, ReadsTakeWholePacketsOfOneTransfer) {
  world.Departures().Expect(departure::kTransferOverrun);
  for (const auto& c : kTransferCases) {
    SCOPED_TRACE(c.name);
    printer.Faults().peripheral.usbPacketSize = c.packetSize;
    const std::size_t overrunsBefore = world.Departures().Count(departure::kTransferOverrun);
    std::size_t overruns = 0;
    for (const std::size_t size : c.replies) AnswerWith(size);
    for (const auto& [size, count] : c.reads) {
      EXPECT_EQ(Read(size), count) << "read of " << size;
      overruns += count ? 0 : 1;
    }
    EXPECT_EQ(world.Departures().Count(departure::kTransferOverrun), overrunsBefore + overruns);
    EXPECT_EQ(printer.Channel().Pending(), 0u);
  }
}

TEST_F(SimTransferTest, WithoutTransfersAReadTakesAnyPartOfTheStream) {
  AnswerWith(121);
  EXPECT_EQ(Read(6), 6u);
  EXPECT_EQ(Read(100), 100u);
  EXPECT_EQ(Read(4096), 15u);
}

struct InFlightCase {
  const char* name;
  std::uint32_t latencyMs;
  std::uint32_t windowMs;
  bool lost;
};

const InFlightCase kInFlightCases[] = {
    {"due within the window", 5, 10, true},
    {"due at the window's end", 10, 10, true},
    {"due after the window", 11, 10, false},
    {"no loss switched", 5, 0, false},
};

TEST_F(SimTransferTest, AReadThatGetsNothingLosesTheTransferOnItsWay) {
  printer.Faults().peripheral.usbPacketSize = 64;
  for (const auto& c : kInFlightCases) {
    SCOPED_TRACE(c.name);
    printer.Faults().channel.latencyMs = c.latencyMs;
    printer.Faults().peripheral.lostInFlightMs = c.windowMs;
    AnswerWith(25);
    AnswerWith(30);  // a transfer of its own, behind the first
    EXPECT_EQ(Read(4096), 0u);
    clock.Advance(c.latencyMs);
    EXPECT_EQ(Read(4096), c.lost ? 30u : 25u);
    if (!c.lost) {
      EXPECT_EQ(Read(4096), 30u);
    }
    EXPECT_EQ(printer.Channel().Pending(), 0u);
  }
}

}  // namespace
}  // namespace nolpa::sim
