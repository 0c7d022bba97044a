#include "ident/command_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printerio/byte_channel.h"
#include "printerio/reply_reader.h"
#include "tests/support/scripted_device.h"

namespace nolpa::ident {
namespace {

using testing::Bytes;

constexpr std::uint8_t kM = 0x2C;  // a ReplyOther byte

template <typename Packet>
Bytes B(const Packet& packet) {
  return Bytes(std::begin(packet), std::end(packet));
}

const Bytes kReset = B(kResetSequence);
const Bytes kQuery = {0x1D, 0x49, 0x01};
const Bytes kOpening = {0x1C, 0x7C, 0x7F, kM, 0x01, 0xFE, 0x80, 0x00, 0x00};
const Bytes kClosing = {0x1C, 0x7C, 0x7F, kM, 0x02, 0xFD, 0x01, 0x00, 0x00};

// A printer that answers the query with `answer` at once.
struct Rig {
  explicit Rig(const Bytes& answer = {kM}) { device.AnswerWrite(kQuery, answer); }
  bool Run(std::string_view code, std::string_view name, std::string_view storedCode,
           std::string_view storedName) {
    return WriteIdByCommands(channel, code, name, storedCode, storedName);
  }
  testing::FakeClock clock;
  testing::ScriptedDevice device{clock};
  printerio::ByteChannel channel{device, clock, 7};
};

TEST(CommandPackets, CountAndKeyAreFilledIn) {
  EXPECT_EQ(B(StoreHeader(0x39, 2)),
            (Bytes{0x1D, 0x28, 0x43, 0x08, 0x00, 0x00, 0x01, 0x80, 0x23, 0x39}));
  EXPECT_EQ(B(StoreHeader(0x38, 250)),  // 256: the count carries into pH
            (Bytes{0x1D, 0x28, 0x43, 0x00, 0x01, 0x00, 0x01, 0x80, 0x23, 0x38}));
  EXPECT_EQ(B(StoreHeader(0x39, kMaxCommandTextLength))[3], 0xFF);
  EXPECT_EQ(B(StoreHeader(0x39, kMaxCommandTextLength))[4], 0xFF);
}

TEST(WriteIdByCommands, SendsOnlyWhatChanged) {
  const Bytes clearCode = {0x1D, 0x28, 0x43, 0x05, 0x00, 0x00, 0x00, 0x80, 0x23, 0x39};
  const Bytes clearName = {0x1D, 0x28, 0x43, 0x05, 0x00, 0x00, 0x00, 0x80, 0x23, 0x38};
  const Bytes storeAB = {0x1D, 0x28, 0x43, 0x08, 0x00, 0x00, 0x01, 0x80, 0x23, 0x39};
  const Bytes storeName = {0x1D, 0x28, 0x43, 0x09, 0x00, 0x00, 0x01, 0x80, 0x23, 0x38};
  struct Case {
    std::string code, name, storedCode, storedName;
    std::vector<Bytes> between;  // writes between opening and closing
  } cases[] = {
      {"AB", "Desk", "OLD", "Desk", {storeAB, {'A', 'B'}, {0xFF}}},
      {"AB", "", "AB", "Desk", {clearName}},
      {"", "", "", "", {clearCode, clearName}},
      {"AB", "Fax", "ab", "Fa", {storeAB, {'A', 'B'}, {0xFF}, storeName, {'F', 'a', 'x'}, {0xFF}}},
      {"AB", "Desk", "AB", "Desk", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code + "/" + c.name);
    Rig rig;
    rig.device.Arrive(0, {0x12, 0x41});  // stale output, drained before asking
    EXPECT_TRUE(rig.Run(c.code, c.name, c.storedCode, c.storedName));
    std::vector<Bytes> expected = {kReset, kQuery, kOpening};
    expected.insert(expected.end(), c.between.begin(), c.between.end());
    expected.push_back(kClosing);
    EXPECT_EQ(rig.device.writes, expected);
  }
}

TEST(WriteIdByCommands, PromptPrinterTakesJustTheEmptyingSilence) {
  Rig rig;
  EXPECT_TRUE(rig.Run("AB", "x", "", ""));
  EXPECT_GE(rig.clock.NowMs(), 2000u);
  EXPECT_LE(rig.clock.NowMs(), 2050u);
}

TEST(WriteIdByCommands, QueryNeedsASingleOtherByte) {
  const Bytes answers[] = {{0x12}, {0x5F, 'a', 0x00}, {0x14, 1, 2, 3}};
  for (const Bytes& answer : answers) {
    Rig rig(answer);
    EXPECT_FALSE(rig.Run("AB", "x", "", ""));
    EXPECT_EQ(rig.device.writes, (std::vector<Bytes>{kReset, kQuery}));
  }
}

TEST(WriteIdByCommands, SilentPrinterFailsAfterTwoByteTimes) {
  Rig rig(Bytes{});
  EXPECT_FALSE(rig.Run("AB", "x", "", ""));
  EXPECT_EQ(rig.device.writes, (std::vector<Bytes>{kReset, kQuery}));
  EXPECT_GE(rig.clock.NowMs(), 4000u);
}

TEST(WriteIdByCommands, ShortWriteEndsTheSequence) {
  // Writes: reset, query, opening, header, text, FF, closing. A short reset
  // goes unnoticed; any other short write stops the sequence there.
  struct Case {
    std::size_t shortWrite;
    std::uint32_t taken;  // one byte short of the packet
    bool succeeds;
    std::size_t writesMade;
  } cases[] = {{0, 15, true, 7}, {1, 2, false, 2}, {2, 8, false, 3}, {3, 9, false, 4},
               {4, 1, false, 5}, {5, 0, false, 6}, {6, 8, false, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shortWrite);
    Rig rig;
    rig.device.LimitWrite(c.shortWrite, c.taken);
    EXPECT_EQ(rig.Run("AB", "x", "", "x"), c.succeeds);
    EXPECT_EQ(rig.device.writes.size(), c.writesMade);
  }
}

TEST(WriteIdByCommands, NeverSilentPrinterIsGivenUpOnBeforeTheQuery) {
  Rig rig;
  rig.device.Chatter(0x12, 100);
  EXPECT_FALSE(rig.Run("AB", "x", "", ""));
  EXPECT_EQ(rig.device.writes, (std::vector<Bytes>{kReset}));
  EXPECT_LE(rig.clock.NowMs(), printerio::kEmptyChannelLimitMs + 1);
}

TEST(WriteIdByCommands, RefusesATextItsCountCannotHold) {
  Rig rig;
  EXPECT_FALSE(rig.Run("AB", std::string(kMaxCommandTextLength + 1, 'n'), "", ""));
  EXPECT_TRUE(rig.device.writes.empty());
}

}  // namespace
}  // namespace nolpa::ident
