// The exchange and the serial-number operations above a printer port that a
// test scripts (the printer lookup that finds real ports is not built): the
// size protocol, the retries with a larger buffer, the closing of the port on
// every outcome, and the codes each failure turns into.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "serial_library/exchange.h"
#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/serial_number.h"
#include "tests/serial_library/serial_library_scripted_port.h"

namespace nolpa::morvalib {
namespace {

using testing::ScriptedPrinter;

constexpr char kPath[] = "\\\\?\\usb#vid_0f1a&pid_0520#a1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const std::string kSerialReply =
    "tp:01F0:344534433530343130303030303041303031;\x0C";  // 4E4C5041000000A001
const std::string kStatus = std::string("st\x01\x00\x01", 5);

std::string Bytes(const unsigned char* data, int count) {
  return std::string(reinterpret_cast<const char*>(data), count);
}

int Exchange(ScriptedPrinter& printer, unsigned char* reply, int replySize, int* replyLength) {
  return ExchangeControl(printer.Opener(), kPath,
                         reinterpret_cast<const std::uint8_t*>(kStatus.data()), 5, reply, replySize,
                         replyLength);
}

TEST(LibraryExchange, ReplyThatFitsIsCopiedAndOneThatDoesNotOnlyMeasured) {
  ScriptedPrinter printer;
  printer.controlReplies = {"@BDC ST\r\nRV:1.20;\x0C", "@BDC ST\r\nRV:1.20;\x0C",
                            "@BDC ST\r\nRV:1.20;\x0C"};
  unsigned char reply[32] = {};
  int length = -7;
  ASSERT_EQ(Exchange(printer, reply, 32, &length), MORVALIB_OK);
  EXPECT_EQ(length, 18);
  EXPECT_EQ(Bytes(reply, length), "@BDC ST\r\nRV:1.20;\x0C");
  EXPECT_EQ(printer.receiveSizeAsked, kReplyBufferStep)
      << "never less than 1,024 bytes to receive into";

  std::memset(reply, 0x55, sizeof reply);
  EXPECT_EQ(Exchange(printer, reply, 17, &length), MORVALIB_E_BUFFER);
  EXPECT_EQ(length, 18) << "the size needed";
  EXPECT_EQ(reply[0], 0x55) << "nothing copied";
  EXPECT_EQ(Exchange(printer, nullptr, 0, &length), MORVALIB_E_BUFFER);
  EXPECT_EQ(length, 18);
  EXPECT_EQ(printer.controlSent, std::vector<std::string>(3, kStatus))
      << "each call is a whole exchange";
  EXPECT_EQ(printer.destroyed, 3);
}

TEST(LibraryExchange, EachFailingStepGivesItsCodeAndClosesThePort) {
  struct Case {
    const char* name;
    void (*script)(ScriptedPrinter&);
    int expected;
  } cases[] = {
      {"no D4 in the command set",
       [](ScriptedPrinter& p) { p.deviceId = "MFG:Nolpa;CMD:NLP,ESC;"; }, MORVALIB_E_NO_PACKET},
      {"no CMD key", [](ScriptedPrinter& p) { p.deviceId = "MFG:Nolpa;MDL:D4;"; },
       MORVALIB_E_NO_PACKET},
      {"CMD without its ';'", [](ScriptedPrinter& p) { p.deviceId = "MFG:Nolpa;CMD:D4"; },
       MORVALIB_E_NO_PACKET},
      {"CMD of 128 characters",
       [](ScriptedPrinter& p) { p.deviceId = "CMD:D4" + std::string(126, 'X') + ";"; },
       MORVALIB_E_NO_PACKET},
      {"packet mode does not start", [](ScriptedPrinter& p) { p.packetModeStarts = false; },
       MORVALIB_E_NO_PACKET},
      {"send fails", [](ScriptedPrinter& p) { p.sendFails = true; }, MORVALIB_E_SEND},
      {"receive fails", [](ScriptedPrinter& p) { p.receiveFails = true; }, MORVALIB_E_RECEIVE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPrinter printer;
    printer.controlReplies = {"x"};
    c.script(printer);
    unsigned char reply[8];
    int length = 99;
    EXPECT_EQ(Exchange(printer, reply, 8, &length), c.expected);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(printer.destroyed, printer.opens);
  }
  ScriptedPrinter longest;
  longest.deviceId = "CMD:D4" + std::string(125, 'X') + ";";  // 127 characters still pass
  longest.controlReplies = {"x"};
  int length = 0;
  EXPECT_EQ(Exchange(longest, nullptr, 0, &length), MORVALIB_E_BUFFER);
}

TEST(LibrarySerialNumber, ReadDecodesAndHandsOutBySize) {
  struct Case {
    const char* name;
    int bufferSize;  // -1: no buffer at all
    int expected;
  } cases[] = {{"room to spare", 64, MORVALIB_OK},
               {"exactly the text and its NUL", 19, MORVALIB_OK},
               {"one byte short", 18, MORVALIB_E_BUFFER},
               {"size query", -1, MORVALIB_E_BUFFER}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPrinter printer;
    printer.controlReplies = {kSerialReply};
    char buffer[64];
    std::memset(buffer, 'z', sizeof buffer);
    int length = 0;
    EXPECT_EQ(ReadSerialNumber(printer.Opener(), kPath, c.bufferSize < 0 ? nullptr : buffer,
                               c.bufferSize, &length, 1),
              c.expected);
    EXPECT_EQ(length, 19);
    if (c.expected == MORVALIB_OK)
      EXPECT_STREQ(buffer, "4E4C5041000000A001");
    else
      EXPECT_EQ(buffer[0], 'z') << "buffer untouched";
    EXPECT_EQ(printer.controlSent,
              std::vector<std::string>{std::string("tp\x04\x00\x01\x0A\x43\xF0", 8)});
  }
}

TEST(LibrarySerialNumber, LongReplyIsAskedForAgainWithALargerBuffer) {
  ScriptedPrinter printer;
  const std::string longReply = "tp:01F0:" + std::string(2040, '4') + ";\x0C";  // 2,050 bytes
  printer.controlReplies = {longReply, longReply, longReply};
  char buffer[1100];
  int length = 0;
  ASSERT_EQ(ReadSerialNumber(printer.Opener(), kPath, buffer, sizeof buffer, &length, 0),
            MORVALIB_OK);
  EXPECT_EQ(length, 1021);
  EXPECT_EQ(std::string(buffer), std::string(1020, 'D'));
  ASSERT_EQ(printer.controlSent.size(), 3u) << "1,024, 2,048, then 3,072 bytes";
  EXPECT_EQ(printer.controlSent[2], std::string("tp\x04\x00\x01\x27\x03\xF0", 8));
  EXPECT_EQ(printer.receiveSizeAsked, 3072);
  EXPECT_EQ(printer.destroyed, 3);
}

TEST(LibrarySerialNumber, ReadFailuresKeepTheLengthAlone) {
  ScriptedPrinter printer;
  printer.controlReplies = {"tp:01F0:4G;\x0C"};
  int length = 77;
  char buffer[64] = "keep";
  EXPECT_EQ(ReadSerialNumber(printer.Opener(), kPath, buffer, 64, &length, 0),
            MORVALIB_E_REPLY_FORM);
  printer.deviceId = "CMD:ESC;";
  EXPECT_EQ(ReadSerialNumber(printer.Opener(), kPath, buffer, 64, &length, 0),
            MORVALIB_E_NO_PACKET);
  EXPECT_EQ(length, 77);
  EXPECT_STREQ(buffer, "keep");
}

TEST(LibrarySerialNumber, WriteSendsTheFirst18BytesAndNeedsTheAcknowledgement) {
  struct Case {
    std::string reply;
    int expected;
  } cases[] = {{"tp:00F0:OK;\x0C", MORVALIB_OK},
               {"tp:00F0:NA;\x0C", MORVALIB_E_NOT_ACKED},
               {"tp:00F0:BUSY;\x0C", MORVALIB_E_NOT_ACKED},
               {"tp:00F0:OK;", MORVALIB_E_NOT_ACKED},
               {"tp:00F0:OK;\x0C" + std::string(1100, ' '), MORVALIB_E_BUFFER}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply.substr(0, 20));
    ScriptedPrinter printer;
    printer.controlReplies = {c.reply};
    EXPECT_EQ(WriteSerialNumber(printer.Opener(), kPath, "4E4C5041000000A002EXTRA", 0), c.expected);
    EXPECT_EQ(printer.controlSent,
              std::vector<std::string>{std::string("tp\x16\x00\x00\x27\x03\xF0", 8) +
                                       "4E4C5041000000A002"});
  }
}

TEST(LibrarySerialNumber, ShortSerialIsRefusedBeforeThePrinterIsOpened) {
  ScriptedPrinter printer;
  for (const char* serial : {"", "4E4C5041000000A00"}) {
    EXPECT_EQ(WriteSerialNumber(printer.Opener(), kPath, serial, 0), MORVALIB_E_ARGUMENT) << serial;
  }
  EXPECT_EQ(printer.opens, 0);
}

}  // namespace
}  // namespace nolpa::morvalib

namespace nolpa::morvalib {
namespace {

TEST(LibrarySerialNumber, EnlargingStopsAtTheCeiling) {
  // A port without a reply limit (as the channel-API port will be) and a
  // printer that always answers at a length no buffer up to the ceiling holds.
  ScriptedPrinter printer;
  const std::string endless = "tp:01F0:" + std::string(kMaxSerialReplyBuffer, '4') + ";\x0C";
  printer.controlReplies.assign(kMaxSerialReplyBuffer / kReplyBufferStep + 1, endless);
  int length = 5;
  char buffer[64] = "keep";
  EXPECT_EQ(ReadSerialNumber(printer.Opener(), kPath, buffer, 64, &length, 0),
            MORVALIB_E_REPLY_FORM);
  EXPECT_EQ(printer.controlSent.size(), kMaxSerialReplyBuffer / kReplyBufferStep)
      << "1 KiB to 64 KiB";
  EXPECT_EQ(printer.receiveSizeAsked, static_cast<int>(kMaxSerialReplyBuffer));
  EXPECT_EQ(length, 5);
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(Live(), LiveObjects{});

  // One byte less than the ceiling still fits, and is read.
  ScriptedPrinter fits;
  const std::string longest = "tp:01F0:" + std::string(kMaxSerialReplyBuffer - 10, '4') + ";\x0C";
  fits.controlReplies.assign(kMaxSerialReplyBuffer / kReplyBufferStep, longest);
  EXPECT_EQ(ReadSerialNumber(fits.Opener(), kPath, nullptr, 0, &length, 0), MORVALIB_E_BUFFER);
  EXPECT_EQ(fits.controlSent.size(), kMaxSerialReplyBuffer / kReplyBufferStep);
}

// The lock exists from before the port is opened until after it is
// destroyed, and every call ends with no lock, port or buffer alive.
TEST(LibraryLiveObjects, EveryOutcomeEndsWithNothingAlive) {
  struct Case {
    const char* name;
    void (*script)(ScriptedPrinter&);
  } const cases[] = {
      {"success", [](ScriptedPrinter&) {}},
      {"no D4", [](ScriptedPrinter& p) { p.deviceId = "CMD:ESC;"; }},
      {"send fails", [](ScriptedPrinter& p) { p.sendFails = true; }},
      {"receive fails", [](ScriptedPrinter& p) { p.receiveFails = true; }},
      {"long reply",
       [](ScriptedPrinter& p) {
         p.controlReplies = {std::string(1500, 'x'), kSerialReply};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPrinter printer;
    printer.controlReplies = {kSerialReply};
    c.script(printer);
    std::vector<LiveObjects> atOpen;
    const PortOpener opener = [&](const char* path, std::unique_ptr<TRKCCC>* port) {
      atOpen.push_back(Live());
      return printer.Opener()(path, port);
    };
    int length = 0;
    char buffer[64];
    ReadSerialNumber(opener, kPath, buffer, 64, &length, 0);
    ASSERT_FALSE(atOpen.empty());
    for (const LiveObjects& live : atOpen) {
      EXPECT_EQ(live.locks, 1);
      EXPECT_EQ(live.ports, 0);
      EXPECT_EQ(live.buffers, 1) << "the serial read's reply buffer";
    }
    EXPECT_EQ(Live(), LiveObjects{});
    EXPECT_EQ(printer.destroyed, printer.opens);
  }
}

}  // namespace
}  // namespace nolpa::morvalib
