// The packet engine against a scripted peer: a device that answers each
// packet it expects with the bytes the script gives, and nothing else. Time
// is virtual; every pause is counted.
#include <gtest/gtest.h>

#include <functional>

#include "serial_library/engine/cbt_ctrl.h"
#include "sim/virtual_clock.h"
#include "tests/support/d4_packets.h"
#include "tests/support/scripted_device.h"

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
  return {{kEntry, {}}, {kInit, InitReply()}, {kOpenControl, openReply},
          {kCredit, SocketReply(0x83)}, {kCreditRequest, CreditGrant(1)},
          {kCommandPacket, reply}, {kClose, SocketReply(0x82)}, {kExit, ExitReply()}};
}

Script NoCreditScript() {
  Script script = ExchangeScript({});
  script[4].answer = CreditGrant(0);
  return script;
}

// One engine on one scripted peer, on its own virtual clock.
struct Rig {
  explicit Rig(const Script& script) {
    for (const Step& step : script) peer.AnswerWrite(step.expect, step.answer, step.delayMs);
  }
  sim::VirtualClock clock;
  testing::ScriptedDevice peer{clock};
  CPortIO io{peer, clock, 7};
  CCBTCtrl engine{io};
};

TEST(PacketEngine, WholeControlExchangeSendsEveryPacketAndPaysOnlyForWaiting) {
  const Bytes answer{'t', 'p', ':', '0', '1', 'F', '0', ':', ';', 0x0C};
  // The reply to the command comes at once, or 35 ms later: the wait costs
  // four empty reads and their 10 ms pauses, nothing else does.
  for (const auto& [replyDelayMs, spentMs] : {std::pair{0, 0}, std::pair{35, 40}}) {
    Script script = ExchangeScript(DataPacket(0x02, answer));
    script[5].delayMs = replyDelayMs;
    Rig r(script);
    ASSERT_TRUE(r.engine.Start().ok());
    Bytes reply;
    const EngineStatus status = r.engine.ControlExchange(kCommand, reply);
    ASSERT_TRUE(status.ok()) << EngineErrorName(status.error);
    EXPECT_EQ(reply, answer);
    EXPECT_EQ(r.clock.NowMs(), std::uint64_t(spentMs));
    EXPECT_EQ(r.clock.SleepCalls(), std::uint64_t(spentMs / 10));
    EXPECT_TRUE(r.engine.Stop().ok());
    EXPECT_FALSE(r.engine.InPacketMode());
    const std::vector<Bytes> expected{kEntry, kInit,  kOpenControl, kCredit,
                                      kCreditRequest, kCommandPacket, kClose, kExit};
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
      {"open control", [](CCBTCtrl& e) { return e.OpenChannel(Channel::Control); },
       kOpenControl, [](std::uint8_t r) { return OpenReply(2, 64, 512, r); }},
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

TEST(PacketEngine, InitWithANonZeroResultLeavesPacketModeUnentered) {
  Rig r({{kEntry, {}}, {kInit, InitReply(0x02)}});
  EXPECT_EQ(r.engine.Start().error, EngineError::ResultNotZero);
  EXPECT_FALSE(r.engine.InPacketMode());
  Bytes reply;
  EXPECT_EQ(r.engine.ControlExchange(kCommand, reply).error, EngineError::NotInPacketMode);
  EXPECT_TRUE(r.engine.Stop().ok());
  EXPECT_EQ(r.peer.writes.size(), 2u);  // no Exit for a printer that refused Init
}

TEST(PacketEngine, SmallerGrantedSizesAreAdoptedAndBindTheCommand) {
  Rig r(ExchangeScript(DataPacket(0x02, {'x'}), OpenReply(2, 16, 256)));
  ASSERT_TRUE(r.engine.Start().ok());
  const Bytes writeCommand(26, 'w');  // 32 bytes as a packet: more than 16
  Bytes reply;
  EXPECT_EQ(r.engine.ControlExchange(writeCommand, reply).error, EngineError::CommandTooLong);
  EXPECT_EQ(r.engine.Sizes(Channel::Control).hostToPrinter, 16);
  EXPECT_EQ(r.engine.Sizes(Channel::Control).printerToHost, 256);
  EXPECT_EQ(r.peer.writes.back(), kCreditRequest);  // nothing oversized went out
}

TEST(PacketEngine, BadRepliesFailTheExchange) {
  struct Case {
    const char* name;
    Script script;
    EngineError error;
    const char* errorPacket;
  };
  const Bytes tooLong(1025, 'a');
  const Case cases[] = {
      {"data socket", ExchangeScript(DataPacket(0x40, {'x'})), EngineError::WrongSockets, ""},
      {"other secondary", ExchangeScript({0x02, 0x40, 0, 7, 0, 0, 'x'}), EngineError::WrongSockets, ""},
      {"other primary", ExchangeScript({0x40, 0x02, 0, 7, 0, 0, 'x'}), EngineError::WrongSockets, ""},
      {"too long", ExchangeScript(DataPacket(0x02, tooLong)), EngineError::ReplyTooLong, ""},
      {"length below header", ExchangeScript({0x02, 0x02, 0, 3, 0, 0}), EngineError::Malformed, ""},
      {"no credit", NoCreditScript(), EngineError::NoCredit, ""},
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
    Rig r(c.script);
    ASSERT_TRUE(r.engine.Start().ok());
    Bytes reply{'o', 'l', 'd'};
    const EngineStatus status = r.engine.ControlExchange(kCommand, reply);
    EXPECT_EQ(status.error, c.error) << c.name << ": " << EngineErrorName(status.error);
    if (*c.errorPacket) {
      EXPECT_STREQ(ErrorPacketName(status.errorPacket), c.errorPacket) << c.name;
    }
    EXPECT_TRUE(reply.empty()) << c.name;
  }
}

TEST(PacketEngine, AReplyOfExactly1024BytesIsTakenWhole) {
  const Bytes full(1024, 'a');
  Rig r(ExchangeScript(DataPacket(0x02, full)));
  ASSERT_TRUE(r.engine.Start().ok());
  Bytes reply;
  EXPECT_TRUE(r.engine.ControlExchange(kCommand, reply).ok());
  EXPECT_EQ(reply, full);
}

TEST(PacketEngine, ASilentPeerFailsAfter500EmptyReads10msApart) {
  Rig r({{kEntry, {}}});
  EXPECT_EQ(r.engine.Start().error, EngineError::ReadTimedOut);
  EXPECT_EQ(r.peer.readCalls, 500);
  EXPECT_EQ(r.clock.SleepCalls(), 499u);  // no pause after the last empty read
  EXPECT_EQ(r.clock.NowMs(), 4990u);
  EXPECT_FALSE(r.engine.InPacketMode());
}

TEST(PacketEngine, AFailedReadFailsAtOnce) {
  Rig r(ExchangeScript({}));
  r.peer.FailReads(1);
  EXPECT_EQ(r.engine.Start().error, EngineError::ReadFailed);
  EXPECT_EQ(r.peer.readCalls, 1);
  EXPECT_EQ(r.clock.NowMs(), 0u);
}

// A packet that went out in part leaves the printer waiting for its rest:
// whatever followed (the Exit above all) would be read as that rest, so the
// exchange fails and nothing more is written, not even at the end.
TEST(PacketEngine, AfterAPacketWentOutInPartNothingMoreIsWritten) {
  struct Case {
    const char* name;
    std::size_t write;  // 0-based, in ExchangeScript's order
    std::uint32_t accepted;
    bool started;
  } const cases[] = {
      {"entry string", 0, 13, false},      {"Init", 1, 4, false},
      {"OpenChannel", 2, 8, true},         {"Credit", 3, 1, true},
      {"command data packet", 5, 10, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r(ExchangeScript(DataPacket(0x02, {'t', 'p', ':', ';', 0x0C})));
    r.peer.LimitWrite(c.write, c.accepted);
    const EngineStatus start = r.engine.Start();
    EXPECT_EQ(start.ok(), c.started);
    if (c.started) {
      Bytes reply;
      EXPECT_EQ(r.engine.ControlExchange(kCommand, reply).error, EngineError::WriteFailed);
      EXPECT_TRUE(reply.empty());
    }
    EXPECT_EQ(r.engine.Stop().ok(), !c.started) << "an Exit that could not be sent";
    EXPECT_FALSE(r.engine.InPacketMode());
    EXPECT_EQ(r.peer.writes.size(), c.write + 1) << "written after the cut packet";
    EXPECT_TRUE(r.io.FramingLost());
  }
}

// A read or write call that failed mid-exchange leaves the link in step
// (a write that took nothing, a reply lost): the channel is closed before
// the Exit. A refusal or a silence is left to the Exit alone.
TEST(PacketEngine, AfterAFailedCallTheChannelIsClosedBeforeExit) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;  // after Start
    EngineError error;
    std::vector<Bytes> written;  // after Init, Exit included
  } const cases[] = {
      {"open's reply lost", [](Rig& r) { r.peer.FailReads(1); }, EngineError::ReadFailed,
       {kOpenControl, kClose, kExit}},
      {"command packet not taken", [](Rig& r) { r.peer.LimitWrite(5, 0); }, EngineError::WriteFailed,
       {kOpenControl, kCredit, kCreditRequest, kCommandPacket, kClose, kExit}},
      {"credit refused", [](Rig&) {}, EngineError::ResultNotZero, {kOpenControl, kCredit, kExit}},
      {"close not taken", [](Rig& r) { r.peer.LimitWrite(6, 0); }, EngineError::WriteFailed,
       {kOpenControl, kCredit, kCreditRequest, kCommandPacket, kClose, kClose, kExit}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Script script = ExchangeScript(DataPacket(0x02, {'t', 'p', ':', ';', 0x0C}));
    if (c.error == EngineError::ResultNotZero) script[3].answer = SocketReply(0x83, 0x01);
    Rig r(script);
    ASSERT_TRUE(r.engine.Start().ok());
    c.arrange(r);
    Bytes reply;
    EXPECT_EQ(r.engine.ControlExchange(kCommand, reply).error, c.error);
    r.engine.Stop();
    EXPECT_FALSE(r.engine.InPacketMode());
    const std::vector<Bytes> after(r.peer.writes.begin() + 2, r.peer.writes.end());
    EXPECT_EQ(after, c.written);
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
