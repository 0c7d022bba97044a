// The packet engine against a scripted peer: a device that answers each
// packet it expects with the bytes the script gives, and nothing else. Time
// is virtual; every pause is counted.
#include <gtest/gtest.h>

#include <functional>

#include "serial_library/engine/cbt_ctrl.h"
#include "sim/core/virtual_clock.h"
#include "tests/support/d4_packets.h"
#include "tests/support/packet_peer.h"

namespace nolpa::serial_library {
namespace {

struct Step {
  Bytes expect;
  Bytes answer;
  std::uint64_t delayMs = 0;  // after the write, until the answer is readable
};
using Script = std::vector<Step>;

using namespace testing::d4;

// Entry string and Init, then the whole exchange, with `reply` after the
// command's data packet, then Exit.
Script ExchangeScript(const Bytes& reply, const Bytes& openReply = OpenReply(2, 64, 512)) {
  return {{kEntry, {}},
          {kInit, InitReply()},
          {kOpenControl, openReply},
          {kCredit, SocketReply(0x83)},
          {kCreditRequest, CreditGrant(1)},
          {kCommandPacket, reply},
          {kClose, SocketReply(0x82)},
          {kExit, ExitReply()}};
}

// One engine on one scripted peer, on its own virtual clock.
struct Rig {
  explicit Rig(const Script& script) {
    for (const Step& step : script) peer.AnswerWrite(step.expect, step.answer, step.delayMs);
  }
  // What was written after the entry string and Init.
  std::vector<Bytes> AfterInit() const { return {peer.writes.begin() + 2, peer.writes.end()}; }
  sim::VirtualClock clock;
  testing::PacketPeer peer{clock};
  CPortIO io{peer, clock, 7};
  CCBTCtrl engine{io};
};

const Bytes kAnswer{'t', 'p', ':', '0', '1', 'F', '0', ':', ';', 0x0C};

TEST(PacketEngine, WholeControlExchangeSendsEveryPacketAndPaysOnlyForWaiting) {
  // The reply to the command comes at once, or 35 ms later: the wait costs
  // four empty reads and their 10 ms pauses, nothing else does.
  for (const auto& [replyDelayMs, spentMs] : {std::pair{0, 0}, std::pair{35, 40}}) {
    Script script = ExchangeScript(DataPacket(0x02, kAnswer));
    script[5].delayMs = replyDelayMs;
    Rig r(script);
    ASSERT_TRUE(r.engine.Start().ok());
    Bytes reply;
    const EngineStatus status = r.engine.ControlExchange(kCommand, reply);
    ASSERT_TRUE(status.ok()) << EngineErrorName(status.error);
    EXPECT_EQ(reply, kAnswer);
    EXPECT_EQ(r.clock.NowMs(), std::uint64_t(spentMs));
    EXPECT_EQ(r.clock.SleepCalls(), std::uint64_t(spentMs / 10));
    EXPECT_TRUE(r.engine.Stop().ok());
    EXPECT_FALSE(r.engine.InPacketMode());
    const std::vector<Bytes> expected{kEntry,         kInit,          kOpenControl, kCredit,
                                      kCreditRequest, kCommandPacket, kClose,       kExit};
    EXPECT_EQ(r.peer.writes, expected);
  }
}

TEST(PacketEngine, EachTransactionSendsItsPacketAndFailsOnANonZeroResult) {
  struct Case {
    const char* name;
    std::function<EngineStatus(CCBTCtrl&)> run;
    Bytes request;
    std::function<Bytes(std::uint8_t)> reply;
  };
  const Case cases[] = {
      {"open control", [](CCBTCtrl& e) { return e.OpenChannel(Channel::Control); }, kOpenControl,
       [](std::uint8_t r) { return OpenReply(2, 64, 512, r); }},
      {"open data", [](CCBTCtrl& e) { return e.OpenChannel(Channel::Data); }, kOpenData,
       [](std::uint8_t r) { return OpenReply(0x40, 4096, 512, r); }},
      {"close", [](CCBTCtrl& e) { return e.CloseChannel(Channel::Control); }, kClose,
       [](std::uint8_t r) { return SocketReply(0x82, r); }},
      {"credit", [](CCBTCtrl& e) { return e.GrantCredit(Channel::Control); }, kCredit,
       [](std::uint8_t r) { return SocketReply(0x83, r); }},
      {"credit request", [](CCBTCtrl& e) { return e.RequestCredit(Channel::Control); },
       kCreditRequest, [](std::uint8_t r) { return CreditGrant(1, r); }},
      {"exit", [](CCBTCtrl& e) { return e.Stop(); }, kExit, ExitReply},
  };
  for (const Case& c : cases) {
    for (const std::uint8_t result : {0x00, 0x01}) {
      Rig r({{kEntry, {}}, {kInit, InitReply()}, {c.request, c.reply(result)}});
      ASSERT_TRUE(r.engine.Start().ok());
      const EngineStatus status = c.run(r.engine);
      EXPECT_EQ(r.peer.writes.back(), c.request) << c.name;
      EXPECT_EQ(status.error, result ? EngineError::ResultNotZero : EngineError::None) << c.name;
      EXPECT_EQ(status.result, result) << c.name;
    }
  }
}

// A command fills the packet size asked (64: 58 bytes and the header) or
// granted; one byte more is refused before its packet goes out, and before
// anything at all when it exceeds what was asked.
TEST(PacketEngine, ACommandThatFillsThePacketIsSentOneByteMoreIsRefused) {
  struct Case {
    const char* name;
    std::size_t length;
    std::uint16_t granted;
    EngineError error;
    std::vector<Bytes> written;  // after Init; the command packet as kCommandPacket
  } const cases[] = {
      {"58 bytes in 64",
       58,
       64,
       EngineError::None,
       {kOpenControl, kCredit, kCreditRequest, kCommandPacket, kClose}},
      {"59 bytes for 64", 59, 64, EngineError::CommandTooLong, {}},
      {"10 bytes in a granted 16",
       10,
       16,
       EngineError::None,
       {kOpenControl, kCredit, kCreditRequest, kCommandPacket, kClose}},
      {"11 bytes for a granted 16", 11, 16, EngineError::CommandTooLong, {kOpenControl, kClose}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes command(c.length, 'c');
    const Bytes packet = *BuildDataPacket(0x02, command);
    Script script = ExchangeScript({}, OpenReply(2, c.granted, 512));
    script[5] = {packet, DataPacket(0x02, kAnswer)};
    Rig r(script);
    ASSERT_TRUE(r.engine.Start().ok());
    Bytes reply;
    EXPECT_EQ(r.engine.ControlExchange(command, reply).error, c.error);
    std::vector<Bytes> written = c.written;
    for (Bytes& w : written)
      if (w == kCommandPacket) w = packet;
    EXPECT_EQ(r.AfterInit(), written);
    EXPECT_EQ(reply.empty(), c.error != EngineError::None);
  }
}

TEST(PacketEngine, BadRepliesFailTheExchangeAndHandOutNothing) {
  struct Case {
    const char* name;
    Script script;
    EngineError error;
    const char* errorPacket;
  };
  const Bytes tooLong(251, 'a');  // one byte beyond a 256-byte packet granted
  Script noCredit = ExchangeScript({});
  noCredit[4].answer = CreditGrant(0);
  const Case cases[] = {
      // Another channel's packets and bytes that start no packet are passed
      // over: the reply never comes.
      {"data socket", ExchangeScript(DataPacket(0x40, {'x', 0x0C})), EngineError::ReadTimedOut, ""},
      {"other secondary", ExchangeScript({0x02, 0x40, 0, 7, 0, 0, 0x0C}), EngineError::ReadTimedOut,
       ""},
      {"length below header", ExchangeScript({0x02, 0x02, 0, 3, 0, 0}), EngineError::ReadTimedOut,
       ""},
      {"no end", ExchangeScript(DataPacket(0x02, {'t', 'p'})), EngineError::ReadTimedOut, ""},
      {"packet beyond its size", ExchangeScript(DataPacket(0x02, tooLong), OpenReply(2, 64, 256)),
       EngineError::ReplyTooLong, ""},
      // Longer than any packet asked for: no packet at all.
      {"packet beyond the size asked", ExchangeScript(DataPacket(0x02, Bytes(507, 'a'))),
       EngineError::ReadTimedOut, ""},
      {"no credit", noCredit, EngineError::NoCredit, ""},
      {"error packet", ExchangeScript(ErrorPacket(0x84)), EngineError::ErrorPacket,
       "ERRORPACKET_CHANNEL_IS_NOT_OPENED"},
      {"open on other socket", ExchangeScript({}, OpenReply(0x40, 64, 512)),
       EngineError::WrongSockets, ""},
      {"open reply cut short", ExchangeScript({}, {0, 0, 0, 8, 1, 0, 0x81, 0}),
       EngineError::Malformed, ""},
      {"open refused by error", ExchangeScript({}, ErrorPacket(0x81)), EngineError::ErrorPacket,
       "ERRORPACKET_PACKET_HAS_NO_CREDIT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r(c.script);
    ASSERT_TRUE(r.engine.Start().ok());
    Bytes reply{'o', 'l', 'd'};
    const EngineStatus status = r.engine.ControlExchange(kCommand, reply);
    EXPECT_EQ(status.error, c.error) << EngineErrorName(status.error);
    if (*c.errorPacket) {
      EXPECT_STREQ(ErrorPacketName(status.errorPacket), c.errorPacket);
    }
    EXPECT_TRUE(reply.empty());
  }
}

// A device that cannot wait is asked every 10 ms until the wait's 5,000 ms
// are over, and once more at its end.
TEST(PacketEngine, ASilentPeerFailsAfter5000MsOfReads10msApart) {
  Rig r({{kEntry, {}}});
  EXPECT_EQ(r.engine.Start().error, EngineError::ReadTimedOut);
  EXPECT_EQ(r.peer.readCalls, 502) << "the read-away before the entry string, then 501";
  EXPECT_EQ(r.clock.SleepCalls(), 500u);
  EXPECT_EQ(r.clock.NowMs(), 5000u);
  EXPECT_FALSE(r.engine.InPacketMode());
}

TEST(PacketEngine, AFailedReadFailsAtOnce) {
  Rig r(ExchangeScript({}));
  r.peer.FailReads(2);  // the read-away's, then the first for Init's reply
  EXPECT_EQ(r.engine.Start().error, EngineError::ReadFailed);
  EXPECT_EQ(r.peer.readCalls, 2);
  EXPECT_EQ(r.clock.NowMs(), 0u);
}

// A write the device took in part is completed with a write of the rest:
// the printer never holds half a packet. When the rest cannot follow,
// nothing more is written on the handle, not even the Exit.
TEST(PacketEngine, AWriteTakenInPartIsCompletedOrEndsAllWriting) {
  struct Case {
    const char* name;
    std::size_t write;  // 0-based, in ExchangeScript's order
    std::uint32_t accepted;
    bool restRefused;
  } const cases[] = {
      {"entry string", 0, 13, false},
      {"Init", 1, 4, false},
      {"command data packet", 5, 10, false},
      {"entry string, rest refused", 0, 13, true},
      {"OpenChannel, rest refused", 2, 8, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r(ExchangeScript(DataPacket(0x02, kAnswer)));
    r.peer.LimitWrite(c.write, c.accepted);
    for (std::size_t stall = 1; c.restRefused && stall <= kStalledWrites; ++stall)
      r.peer.LimitWrite(c.write + stall, 0);
    Bytes reply;
    const bool started = r.engine.Start().ok();
    if (started) r.engine.ControlExchange(kCommand, reply);
    r.engine.Stop();
    EXPECT_FALSE(r.engine.InPacketMode());
    EXPECT_EQ(r.io.FramingLost(), c.restRefused);
    if (c.restRefused) {
      EXPECT_EQ(r.peer.writes.size(), c.write + 1 + kStalledWrites)
          << "written after the cut packet";
      EXPECT_TRUE(reply.empty());
    } else {
      EXPECT_EQ(reply, kAnswer);
      const Bytes whole = ExchangeScript({})[c.write].expect;
      EXPECT_EQ(r.peer.writes[c.write + 1], Bytes(whole.begin() + c.accepted, whole.end()));
      EXPECT_EQ(r.peer.writes.back(), kExit);
    }
  }
}

// After a failed exchange the channel is closed once, unless the printer
// refused to open it, and Exit follows.
TEST(PacketEngine, AfterAFailedExchangeTheChannelIsClosedOnceBeforeExit) {
  struct Case {
    const char* name;
    std::function<void(Rig&, Script&)> arrange;  // the script is loaded after
    EngineError error;
    std::vector<Bytes> written;  // after Init, Exit included
  } const cases[] = {
      {"open's reply lost",
       [](Rig&, Script&) {},
       EngineError::ReadFailed,
       {kOpenControl, kClose, kExit}},
      {"open refused",
       [](Rig&, Script& s) { s[2].answer = OpenReply(2, 64, 512, 0x01); },
       EngineError::ResultNotZero,
       {kOpenControl, kExit}},
      {"credit refused",
       [](Rig&, Script& s) { s[3].answer = SocketReply(0x83, 0x01); },
       EngineError::ResultNotZero,
       {kOpenControl, kCredit, kClose, kExit}},
      {"command packet not taken",
       [](Rig& r, Script&) { r.peer.FailWrite(5); },
       EngineError::WriteFailed,
       {kOpenControl, kCredit, kCreditRequest, kCommandPacket, kClose, kExit}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Script script = ExchangeScript(DataPacket(0x02, kAnswer));
    Rig r({});
    c.arrange(r, script);
    for (const Step& step : script) r.peer.AnswerWrite(step.expect, step.answer);
    ASSERT_TRUE(r.engine.Start().ok());
    if (c.error == EngineError::ReadFailed) r.peer.FailReads(1);
    Bytes reply;
    EXPECT_EQ(r.engine.ControlExchange(kCommand, reply).error, c.error);
    r.engine.Stop();
    EXPECT_EQ(r.AfterInit(), c.written);
  }
}

TEST(PacketEngine, DestructionLeavesPacketMode) {
  sim::VirtualClock clock;
  testing::ScriptedDevice peer{clock};
  peer.AnswerWrite(kInit, InitReply());
  {
    CPortIO io{peer, clock, 7};
    CCBTCtrl engine{io};
    ASSERT_TRUE(engine.Start().ok());
  }
  EXPECT_EQ(peer.writes.back(), kExit);
}

}  // namespace
}  // namespace nolpa::serial_library
