#include "printerio/reply_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "printerio/byte_channel.h"
#include "printerio/channel_timeouts.h"
#include "tests/support/scripted_device.h"

namespace nolpa::printerio {
namespace {

using testing::Bytes;

struct Rig {
  testing::FakeClock clock;
  testing::ScriptedDevice device{clock};
  ByteChannel channel{device, clock, 7};
};

TEST(ClassifyReplyByte, CensusOfAllByteValues) {
  std::array<int, 5> census{};
  for (int b = 0; b < 256; ++b) ++census[ClassifyReplyByte(std::uint8_t(b))];
  EXPECT_EQ(census, (std::array<int, 5>{2, 16, 16, 30, 192}));

  const std::vector<std::pair<std::uint8_t, int>> samples = {
      {0x11, 0}, {0x13, 0}, {0x12, 1}, {0x16, 1}, {0x10, 2}, {0x14, 2}, {0x15, 3},
      {0x5F, 3}, {0x00, 4}, {0x0F, 4}, {0x80, 4}, {0x92, 4}, {0xFF, 4}};
  for (auto [byte, kind] : samples) EXPECT_EQ(ClassifyReplyByte(byte), kind) << int(byte);
}

struct Arrival {
  std::uint64_t atMs;
  Bytes bytes;
};

struct ReplyCase {
  std::string name;
  std::vector<Arrival> script;
  ReplyKind kind;
  Bytes stored;             // what the buffer starts with (count bytes)
  std::uint64_t elapsedMs;  // virtual time the call took
};

Bytes BlockOf(std::size_t size, std::uint8_t fill, bool terminated) {
  Bytes block(size, fill);
  block[0] = 0x5F;
  if (terminated) block.back() = 0x00;
  return block;
}

std::vector<Arrival> OneMsApart(const Bytes& bytes) {
  std::vector<Arrival> script;
  for (std::size_t i = 0; i < bytes.size(); ++i) script.push_back({i, {bytes[i]}});
  return script;
}

TEST(ReadReply, ReadsEachShapeOfReply) {
  const std::vector<ReplyCase> cases = {
      {"silence", {}, ReplyNone, {}, 2000},
      {"one byte", {{0, {0x12}}}, ReplyOneByte, {0x12}, 0},
      {"one byte 0x16", {{0, {0x16}}}, ReplyOneByte, {0x16}, 0},
      {"four bytes with zeros",
       {{0, {0x14, 0x00, 0x0F, 0x00}}},
       ReplyFourByte,
       {0x14, 0x00, 0x0F, 0x00},
       0},
      {"block", {{0, {0x5F, 'a', 'b', 'c', 0x00}}}, ReplyBlock, {0x5F, 'a', 'b', 'c', 0x00}, 0},
      // A dropped byte costs the same 1 ms pause as an empty read.
      {"flow control first", {{0, {0x11, 0x13, 0x12}}}, ReplyOneByte, {0x12}, 2},
      {"flow control inside block",
       {{0, {0x5F, 0x41, 0x13, 0x42, 0x00}}},
       ReplyBlock,
       {0x5F, 0x41, 0x42, 0x00},
       1},
      {"zero first", {{0, {0x00, 0x12}}}, ReplyOther, {0x00}, 0},
      {"0xFF first", {{0, {0xFF}}}, ReplyOther, {0xFF}, 0},
      {"longest block", {{0, BlockOf(80, 'x', true)}}, ReplyBlock, BlockOf(80, 'x', true), 0},
      // Each byte has its own 2000 ms: gaps of 1999 ms are fine.
      {"slow four bytes",
       {{0, {0x14}}, {1999, {1}}, {3998, {2}}, {5997, {3}}},
       ReplyFourByte,
       {0x14, 1, 2, 3},
       5997},
      // Flow control does not restart the byte's time.
      {"flow control is not a byte", {{1000, {0x11}}, {2000, {0x12}}}, ReplyNone, {}, 2000},
      {"block cut by silence", {{0, {0x5F, 'a'}}, {2100, {0x00}}}, ReplyNone, {}, 2000},
  };
  for (const ReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    for (const Arrival& a : c.script) rig.device.Arrive(a.atMs, a.bytes);
    ReplyBuffer buffer{};
    int count = 77;
    EXPECT_EQ(ReadReply(rig.channel, buffer, count), c.kind);
    ASSERT_EQ(count, static_cast<int>(c.stored.size()));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + count), c.stored);
    EXPECT_EQ(rig.clock.NowMs(), c.elapsedMs);
  }
}

TEST(ReadReply, OverlongBlockEndsRightAfterItsEightiethByte) {
  Rig rig;
  const Bytes block = BlockOf(85, 'x', false);
  for (const Arrival& a : OneMsApart(block)) rig.device.Arrive(a.atMs, a.bytes);
  ReplyBuffer buffer{};
  int count = 5;
  EXPECT_EQ(ReadReply(rig.channel, buffer, count), ReplyNone);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(rig.clock.NowMs(), 79u);   // the 80th byte came at 79 ms
  EXPECT_EQ(rig.device.Unread(), 5u);  // the tail is left for the next call
}

TEST(ReadReply, LateByteOfFourByteReplyStartsTheNextReply) {
  Rig rig;
  rig.device.Arrive(0, {0x14, 0x01, 0x02});
  rig.device.Arrive(2500, {0x03});
  ReplyBuffer buffer{};
  int count = -1;
  EXPECT_EQ(ReadReply(rig.channel, buffer, count), ReplyNone);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(rig.clock.NowMs(), 2000u);
  EXPECT_EQ(ReadReply(rig.channel, buffer, count), ReplyOther);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(buffer[0], 0x03);
  EXPECT_EQ(rig.clock.NowMs(), 2500u);
}

TEST(ReadReplyByte, FailedReadsAreRetriedWithinTheByteTime) {
  Rig rig;
  rig.device.Arrive(0, {0x41});
  rig.device.FailReads(5);
  EXPECT_EQ(ReadReplyByte(rig.channel), 0x41);
  EXPECT_EQ(rig.clock.NowMs(), 5u);
}

TEST(ReadReplyByte, AcceptsAByteUpToTheLastMillisecond) {
  for (auto [arrival, expected] : {std::pair{1999, 0x41}, std::pair{2000, -1}}) {
    Rig rig;
    rig.device.Arrive(arrival, {0x41});
    EXPECT_EQ(ReadReplyByte(rig.channel), expected) << arrival;
  }
}

TEST(EmptyChannel, EndsAfterTwoSecondsOfSilence) {
  struct Case {
    std::string name;
    std::vector<Arrival> script;
    std::uint64_t elapsedMs;
  } cases[] = {
      {"silent", {}, 2000},
      {"pending replies", {{0, {0x12, 0x14, 1, 2, 3}}, {1500, {0x5F, 'a', 0}}}, 3500},
      // An overlong block must not pass for silence: its tail is drained too.
      {"overlong block", OneMsApart(BlockOf(120, 'x', false)), 119 + 2000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    for (const Arrival& a : c.script) rig.device.Arrive(a.atMs, a.bytes);
    EXPECT_TRUE(EmptyChannel(rig.channel));
    EXPECT_EQ(rig.clock.NowMs(), c.elapsedMs);
    EXPECT_EQ(rig.device.Unread(), 0u);
  }
}

TEST(EmptyChannel, FlowControlChatterCountsAsSilence) {
  Rig rig;
  rig.device.Chatter(0x11, 10);
  EXPECT_TRUE(EmptyChannel(rig.channel));
  EXPECT_EQ(rig.clock.NowMs(), 2000u);
}

TEST(EmptyChannel, GivesUpOnAPrinterThatNeverFallsSilent) {
  for (std::uint64_t period : {1u, 1500u}) {
    Rig rig;
    rig.device.Chatter(0x12, period);
    EXPECT_FALSE(EmptyChannel(rig.channel)) << period;
    EXPECT_GE(rig.clock.NowMs(), kEmptyChannelLimitMs);
    EXPECT_LE(rig.clock.NowMs(), kEmptyChannelLimitMs + 1);
  }
}

TEST(ByteChannel, WriteAllNeedsEveryByteInOneCall) {
  Rig rig;
  rig.device.LimitWrite(1, 2);
  const Bytes packet = {1, 2, 3};
  EXPECT_TRUE(rig.channel.WriteAll(packet));
  EXPECT_FALSE(rig.channel.WriteAll(packet));
  EXPECT_EQ(rig.device.writes.size(), 2u);  // no second try after a short write
}

// A driver may report success with nothing read and leave junk in the
// buffer; that is no byte.
TEST(ByteChannel, ASuccessfulReadOfNoBytesGivesNoByte) {
  struct ZeroByteReads : testing::ScriptedDevice {
    using testing::ScriptedDevice::ScriptedDevice;
    bool Read(platform::DeviceHandle, void* buffer, std::uint32_t size,
              std::uint32_t* done) override {
      if (size > 0) static_cast<std::uint8_t*>(buffer)[0] = 0x41;
      *done = 0;
      return true;
    }
  };
  testing::FakeClock clock;
  ZeroByteReads device(clock);
  ByteChannel channel(device, clock, 1);
  EXPECT_FALSE(channel.TryReadByte().has_value());
  EXPECT_EQ(ReadReplyByte(channel), -1);
}

TEST(ByteChannel, AppliesTheChannelTimeoutsDespiteRefusal) {
  Rig rig;
  rig.channel.ApplyChannelTimeouts();
  ASSERT_EQ(rig.device.timeoutsSet.size(), 1u);
  const platform::CommTimeouts& t = rig.device.timeoutsSet[0];
  EXPECT_EQ(t.readIntervalTimeout, 0xFFFFFFFFu);
  EXPECT_EQ(t.readTotalTimeoutMultiplier, 0xFFFFFFFFu);
  EXPECT_EQ(t.readTotalTimeoutConstant, 0u);
  EXPECT_EQ(t.writeTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.writeTotalTimeoutConstant, 2000u);
}

}  // namespace
}  // namespace nolpa::printerio
