// The packet engine on a printer that keeps its state across handles: what
// waits on the link is read away or passed over, a reply is known by its
// socket and command, replies in several packets are read whole, and every
// entry string is followed by an Exit. A scripted peer, on virtual time.
#include <gtest/gtest.h>

#include <functional>

#include "serial_library/engine/cbt_ctrl.h"
#include "serial_library/printer_commands.h"
#include "sim/core/virtual_clock.h"
#include "tests/support/d4_packets.h"
#include "tests/support/packet_peer.h"

namespace nolpa::serial_library {
namespace {

using namespace testing::d4;

const Bytes kAnswer{'t', 'p', ':', '0', '1', 'F', '0', ':', '4', '1', ';', 0x0C};

// A printer that answers every packet of one exchange at once (Init, Exit
// and Credit unless told not to).
struct Rig {
  explicit Rig(bool answerInit = true, bool answerExit = true, bool answerCredit = true) {
    if (answerInit) peer.AnswerWrite(kInit, InitReply());
    peer.AnswerWrite(kOpenControl, OpenReply(2, 64, 512));
    if (answerCredit) peer.AnswerWrite(kCredit, SocketReply(0x83));
    peer.AnswerWrite(kCreditRequest, CreditGrant(1));
    peer.AnswerWrite(kClose, SocketReply(0x82));
    if (answerExit) peer.AnswerWrite(kExit, ExitReply());
  }
  // Start, one exchange, Stop; the exchange's status.
  EngineStatus Run(Bytes& reply, const WholeReply& whole = EndsWithClosingByte) {
    const EngineStatus start = engine.Start();
    const EngineStatus status = start.ok() ? engine.ControlExchange(kCommand, reply, whole) : start;
    engine.Stop();
    return status;
  }
  sim::VirtualClock clock;
  testing::PacketPeer peer{clock};
  CPortIO io{peer, clock, 7};
  CCBTCtrl engine{io};
};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(PacketEngineResync, WhatIsNotTheReplyIsPassedOver) {
  const Bytes staleReplies =
      Cat({DataPacket(0x02, {'o', 'l', 'd', 0x0C}), SocketReply(0x82), ExitReply()});
  struct Case {
    const char* name;
    std::function<void(Rig&)> arrange;
    std::vector<Bytes> extraWrites;  // written besides the exchange's own packets
    std::size_t readAway = 0;
  } const cases[] = {
      {"an earlier call's replies waiting",
       [&](Rig& r) { r.peer.Arrive(0, staleReplies); },
       {},
       staleReplies.size()},
      {"the entry string answered",
       [](Rig& r) {
         r.peer.AnswerWrite(kEntry, {0, 0, 0, 8, 1, 0, 0xD1, 0});
       },
       {}},
      {"late replies coming while Init waits",
       [&](Rig& r) { r.peer.AnswerWrite(kEntry, staleReplies); },
       {}},
      {"an Error packet for the entry string in packet mode",
       [](Rig& r) {
         r.peer.AnswerWrite(kEntry, {0, 0, 0, 10, 1, 0, 0x7F, 0, 0, 0x80});
       },
       {}},
      {"bytes that start no packet",
       [](Rig& r) {
         r.peer.AnswerWrite(kEntry, {'@', 'B', 'D', 'C', 0x0C, 0x00, 0x00, 0x03});
       },
       {}},
      {"another channel's data",
       [](Rig& r) {
         r.peer.AnswerWrite(kCredit, DataPacket(0x40, {'x', 0x0C}));
       },
       {}},
      {"a Credit the printer starts",
       [](Rig& r) { r.peer.AnswerWrite(kOpenControl, kPeerCredit); },
       {kPeerCreditReply}},
      // Answered with credit 0: this side grants credit by Credits of its own.
      {"a CreditRequest the printer starts",
       [](Rig& r) {
         r.peer.AnswerWrite(kOpenControl, {0, 0, 0, 13, 1, 0, 0x04, 2, 2, 0, 1, 0, 1});
       },
       {{0, 0, 0, 12, 1, 0, 0x84, 0x00, 2, 2, 0, 0}}},
      {"a command this side does not know",
       [](Rig& r) {
         r.peer.AnswerWrite(kOpenControl, {0, 0, 0, 9, 1, 0, 0x55, 1, 2});
       },
       {{0, 0, 0, 8, 1, 0, 0xD5, 0x01}}},
      {"credit in the header of a data packet (the reply's)",
       [](Rig& r) {
         Bytes reply = DataPacket(0x02, kAnswer);
         reply[4] = 3;
         r.peer.AnswerWrite(kCommandPacket, reply);
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    c.arrange(r);
    if (r.peer.Answers(kCommandPacket) == 0)
      r.peer.AnswerWrite(kCommandPacket, DataPacket(0x02, kAnswer));
    Bytes reply;
    const EngineStatus status = r.Run(reply);
    EXPECT_TRUE(status.ok()) << EngineErrorName(status.error);
    EXPECT_EQ(reply, kAnswer);
    EXPECT_EQ(r.engine.ReadAwayCount(), c.readAway);
    // A packet the printer sends with a reply is read in the next wait.
    std::vector<Bytes> expected{kEntry, kInit, kOpenControl, kCredit};
    expected.insert(expected.end(), c.extraWrites.begin(), c.extraWrites.end());
    expected.insert(expected.end(), {kCreditRequest, kCommandPacket, kClose, kExit});
    EXPECT_EQ(r.peer.writes, expected);
    EXPECT_EQ(r.clock.NowMs(), 0u) << "passing over costs no wait";
  }
}

TEST(PacketEngineResync, TooMuchThatIsNotTheReplyEndsTheWait) {
  Bytes stalePackets;
  for (int i = 0; i <= kSessionBounds.passedOver; ++i)
    stalePackets = Cat({stalePackets, ExitReply()});
  const Bytes noise(kMaxDroppedBytes + 1, 0xFF);
  for (const Bytes& flood : {stalePackets, noise}) {
    Rig r;
    r.peer.AnswerWrite(kEntry, Cat({flood, InitReply()}));
    EXPECT_EQ(r.engine.Start().error, EngineError::Noise);
    r.engine.Stop();
    EXPECT_EQ(r.peer.writes.back(), kExit);
  }
}

// Exit follows every entry string that went out, whatever became of Init;
// after a silence it is awaited only briefly.
TEST(PacketEngineResync, ExitFollowsEveryEntryString) {
  constexpr std::uint64_t kReadLimitMs = 5000;
  struct Case {
    const char* name;
    bool answerInit, answerExit;
    std::function<void(Rig&)> arrange;
    EngineError start;
    bool exitSent;
    std::uint64_t endMs;
  } const cases[] = {
      {"Init refused", false, true, [](Rig& r) { r.peer.AnswerWrite(kInit, InitReply(0x02)); },
       EngineError::ResultNotZero, true, 0},
      {"Init and Exit unanswered", false, false, [](Rig&) {}, EngineError::ReadTimedOut, true,
       kReadLimitMs + kShortWaitMs},
      {"Init answered late", false, true,
       [](Rig& r) { r.peer.AnswerWrite(kInit, InitReply(), 6000); }, EngineError::ReadTimedOut,
       true, kReadLimitMs},
      {"Init not taken", true, true, [](Rig& r) { r.peer.FailWrite(1); }, EngineError::WriteFailed,
       true, 0},
      {"Exit not taken at first", true, true, [](Rig& r) { r.peer.FailWrite(2); },
       EngineError::None, true, 0},
      {"entry string not taken", true, true, [](Rig& r) { r.peer.FailWrite(0); },
       EngineError::WriteFailed, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r(c.answerInit, c.answerExit);
    c.arrange(r);
    EXPECT_EQ(r.engine.Start().error, c.start);
    r.engine.Stop();
    EXPECT_FALSE(r.engine.InPacketMode());
    EXPECT_EQ(!r.peer.writes.empty() && r.peer.writes.back() == kExit, c.exitSent);
    EXPECT_EQ(r.clock.NowMs(), c.endMs);
  }
}

// A command the printer never answers costs one read limit; closing the
// channel and Exit after it wait only briefly, and still go out.
TEST(PacketEngineResync, ASilentTransactionCostsOneReadLimit) {
  Rig r(true, false);
  Bytes reply;
  EXPECT_EQ(r.Run(reply).error, EngineError::ReadTimedOut);
  EXPECT_EQ(r.peer.writes.back(), kExit);
  EXPECT_EQ(r.peer.writes[r.peer.writes.size() - 2], kClose);
  EXPECT_EQ(r.clock.NowMs(), 5000u + kShortWaitMs) << "the close answered, the Exit not";
}

// A reply the printer sends in several packets is read to its end, with one
// more credit for each packet; a part is never handed out.
TEST(PacketEngineResync, RepliesOverSeveralPacketsAreReadWhole) {
  const Bytes head(kAnswer.begin(), kAnswer.begin() + 5);
  const Bytes tail(kAnswer.begin() + 5, kAnswer.end());
  const Bytes status = {'@',  'B', 'D', 'C', ' ', 'S', 'T',  '2', '\r',
                        '\n', 4,   0,   8,   2,   '1', 0x0C, 0x0C};
  struct Case {
    const char* name;
    Bytes first;              // answering the command
    std::vector<Bytes> more;  // answering each further credit
    EngineError error;
    Bytes reply;
    WholeReply whole = EndsWithClosingByte;
  } const cases[] = {
      {"ended by its closing byte",
       DataPacket(2, head),
       {DataPacket(2, tail)},
       EngineError::None,
       kAnswer},
      {"ended by the header's flag",
       DataPacket(2, {'a'}),
       {LastDataPacket(2, {'b'})},
       EngineError::None,
       {'a', 'b'}},
      {"a further packet ahead of the credit's reply",
       Cat({DataPacket(2, head), DataPacket(2, tail)}),
       {{}},
       EngineError::None,
       kAnswer},
      {"a closing byte inside a status's field list",
       DataPacket(2, Bytes(status.begin(), status.begin() + 16)),
       {DataPacket(2, {0x0C})},
       EngineError::None,
       status,
       &morvalib::ReplyIsWhole},
      {"the rest never comes", DataPacket(2, head), {}, EngineError::ReadTimedOut, {}},
      {"no more than 64 KiB",
       DataPacket(2, Bytes(500, 'x')),
       std::vector<Bytes>(140, DataPacket(2, Bytes(500, 'x'))),
       EngineError::ReplyTooLong,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r(true, true, false);
    r.peer.AnswerWrite(kCommandPacket, c.first);
    std::vector<Bytes> credits{SocketReply(0x83)};  // the one before the command
    for (const Bytes& packet : c.more) credits.push_back(Cat({SocketReply(0x83), packet}));
    r.peer.AnswerInTurn(kCredit, credits);
    Bytes reply{'o', 'l', 'd'};
    const EngineStatus got = r.Run(reply, c.whole);
    EXPECT_EQ(got.error, c.error) << EngineErrorName(got.error);
    EXPECT_EQ(reply, c.reply);
  }
}

// Once the reply is whole the printer has answered: a failing close of the
// channel after it does not undo the exchange (Exit ends the channel).
TEST(PacketEngineResync, AWholeReplyStandsWhateverTheCloseGives) {
  for (const bool lost : {false, true}) {
    SCOPED_TRACE(lost ? "close's reply lost" : "close refused with an Error packet");
    Rig r;
    r.peer.AnswerWrite(kCommandPacket, DataPacket(0x02, kAnswer));
    if (!lost) r.peer.AnswerWrite(kClose, ErrorPacket(0x84));
    if (lost) r.peer.FailReadAfter(kClose);
    ASSERT_TRUE(r.engine.Start().ok());
    Bytes reply;
    EXPECT_TRUE(r.engine.ControlExchange(kCommand, reply).ok());
    EXPECT_EQ(reply, kAnswer);
  }
}

// Plain bytes may follow a session only when the printer is known to have
// left packet mode: silent since the entry string (it does not speak the
// protocol), or Exit acknowledged; never when the entry string or Exit could
// not be written. What the printer starts while Exit is awaited is answered.
TEST(PacketEngineResync, PlainBytesOnlyToAPrinterKnownToHaveLeftPacketMode) {
  const Bytes kRefusedCreditReply{0, 0, 0, 10, 1, 0, 0x83, 0x01, 0x02, 0x02};
  struct Case {
    const char* name;
    Bytes initReply, exitReply;  // empty: none
    std::vector<std::size_t> failingWrites;
    bool plainSafe;
    bool creditAnsweredAfterExit = false;
  } const cases[] = {
      {"silent after the entry string", {}, {}, {}, true},
      {"Init refused, Exit acknowledged", InitReply(0x02), ExitReply(), {}, true},
      {"Init refused, Exit unanswered", InitReply(0x02), {}, {}, false},
      {"Init refused, Exit refused", InitReply(0x02), ExitReply(0x01), {}, false},
      {"silent, Exit not taken", {}, {}, {2, 3}, false},
      {"entry string not taken", {}, {}, {0}, false},
      {"a Credit of its own before Exit's reply",
       InitReply(),
       Cat({kPeerCredit, ExitReply()}),
       {},
       true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r(false, false);
    if (!c.initReply.empty()) r.peer.AnswerWrite(kInit, c.initReply);
    if (!c.exitReply.empty()) r.peer.AnswerWrite(kExit, c.exitReply);
    for (const std::size_t write : c.failingWrites) r.peer.FailWrite(write);
    r.engine.Start();
    r.engine.Stop();
    EXPECT_EQ(r.engine.PlainBytesSafe(), c.plainSafe);
    EXPECT_EQ(r.peer.writes.back() == kRefusedCreditReply, c.creditAnsweredAfterExit);
  }
}

}  // namespace
}  // namespace nolpa::serial_library
