// The library's pure pieces: the device path's instance identifier, the
// decoding of serial-number and status replies, and the firmware query's
// choice of path, over bytes and a scripted port.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "serial_library/firmware_version.h"
#include "serial_library/morvalib.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/printer_commands.h"
#include "serial_library/services.h"
#include "sim/core/virtual_clock.h"
#include "sim/world.h"
#include "tests/serial_library/serial_library_scripted_port.h"

namespace nolpa::morvalib {
namespace {

using testing::ScriptedPort;
using testing::ScriptedPrinter;

std::span<const std::uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(LibraryDevicePath, InstanceIdentifierJoinsThreePartsInUpperCase) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"\\\\?\\usb#vid_0f1a&pid_0520#a1b2#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}",
       "USB\\VID_0F1A&PID_0520\\A1B2"},
      {"\\\\?\\usb#vid_0f1a&pid_0520#7&\xe9z#",
       "USB\\VID_0F1A&PID_0520\\7&\xe9Z"},  // ASCII letters only
      {"\\\\?\\usb#vid_0f1a#a1", std::nullopt},
      {"\\\\.\\usb#vid_0f1a#a1#", std::nullopt},
      {"\\\\?\\#vid#a1#", std::nullopt},
      {"\\\\?\\usb#" + std::string(250, 'v') + "#" + std::string(4, 'a') + "#",
       "USB\\" + std::string(250, 'V') + "\\AAAA"},
      {"\\\\?\\usb#" + std::string(250, 'v') + "#" + std::string(5, 'a') + "#",
       std::nullopt},  // 260 characters
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(InstanceIdentifier(path), expected) << path;
}

TEST(LibraryReplies, SerialReplyForms) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"tp:01F0:344534433530343130303030303041303031;\x0C", "4E4C5041000000A001"},
      {"tp:01F0:4e4c;\x0C", "NL"},          // lower-case digits
      {"tp:01F0:4E4C5;\x0Cmore", "NL"},     // odd digit dropped, bytes after the 0x0C ignored
      {"tp:01F0:4E004C;\x0C", "N"},         // a 0 pair ends the text
      {"tp:01F0:;\x0C", ""},                // no digits
      {"tp:01F0:4E4G;\x0C", std::nullopt},  // not a digit
      {"tp:01F0:4E4C;", std::nullopt},      // ";" is the last byte
      {"tp:01F0:4E4C;\x0D", std::nullopt},  // no 0x0C after it
      {"tp:01F0:4E4C\x0C", std::nullopt},   // no ";"
      {"tp:00F0:4E4C;\x0C", std::nullopt},  // a write reply
      {"tp:01F", std::nullopt},
  };
  for (const auto& [reply, expected] : cases)
    EXPECT_EQ(DecodeSerialReply(AsBytes(reply)), expected) << reply;
}

// A status is taken only whole: with its closing 0x0C, after the whole field
// list its length announces (which may itself hold 0x0C bytes).
TEST(LibraryReplies, StatusReplyForms) {
  const std::string fields =
      std::string("@BDC ST2\r\n\x0B\x00", 12) + "\x01\x02xy" + "\x08\x05" + "2.01a";
  // A version field holding 0x0C, then another field: 12 bytes of list.
  const std::string formFeedInside =
      std::string("@BDC ST2\r\n\x0C\x00", 12) + "\x08\x04" + "1.0\x0C" + "\x01\x04xxxx";
  const struct {
    std::string reply;
    std::optional<std::string> version;
    bool whole;
  } cases[] = {
      {"@BDC ST\r\nST:00;RV:1.20;\x0C", "1.20", true},
      {"@BDC ST\r\nST:00;\x0C", "", true},  // no version field
      {"@BDC ST\r\nRV:" + std::string(31, '9') + ";\x0C", std::string(31, '9'), true},
      {"@BDC ST\r\nRV:" + std::string(32, '9') + ";\x0C", "", true},  // too long: not copied
      {"@BDC ST\r\nRV:1.20\x0C", "", true},                           // never ended
      {"@BDC ST\r\nRV:1.20;", std::nullopt, false},                   // no closing byte
      {"@BDC ST\r\nST:04;RV:2.1", std::nullopt, false},               // cut short
      {fields + "\x0C", "2.01a", true},
      {fields, std::nullopt, false},
      {std::string("@BDC ST2\r\n\x04\x00", 12) + "\x01\x02xy" + "\x08\x05" + "2.01a\x0C", "",
       true},  // beyond the length
      {std::string("@BDC ST2\r\n\x2A\x00\x08\x28", 14) + std::string(40, 'v') + "\x0C",
       std::string(31, 'v'), true},
      {std::string("@BDC ST2\r\n\x10\x00\x08\x09", 14) + "1.0\x0C", std::nullopt,
       false},                                              // list cut short
      {formFeedInside.substr(0, 18), std::nullopt, false},  // ends at the 0x0C inside
      {formFeedInside + "\x0C", "1.0\x0C", true},
      {std::string("@BDC ST2\r\n\x0C", 11), std::nullopt, false},  // half a length
      {"@BDC XX\r\nRV:1.20;\x0C", std::nullopt, true},
      {"", std::nullopt, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeStatusReply(AsBytes(c.reply)), c.version) << c.reply;
    EXPECT_EQ(ReplyIsWhole(AsBytes(c.reply)), c.whole) << c.reply;
  }
}

class LibraryFirmware : public ::testing::Test {
 protected:
  LibraryFirmware() { InstallServices({.files = &world_.Files(), .clock = &clock_}); }
  ~LibraryFirmware() override { RemoveServices(); }

  int Read(ScriptedPrinter& printer, char* buffer, int size, int* length) {
    return ReadFirmwareVersion(printer.Opener(), "\\\\?\\usb#vid_0f1a&pid_0520#a1#", buffer, size,
                               length);
  }

  sim::VirtualClock clock_;
  sim::World world_{clock_};
};

TEST_F(LibraryFirmware, PacketPrintersAnswerTheStatusOnTheControlChannel) {
  ScriptedPrinter direct;
  direct.controlReplies = {"@BDC ST\r\nRV:1.20;\x0C"};
  char buffer[128] = {};
  int length = 0;
  ASSERT_EQ(Read(direct, buffer, 128, &length), MORVALIB_OK);
  EXPECT_STREQ(buffer, "1.20");
  EXPECT_EQ(length, 5);
  EXPECT_EQ(direct.controlSent, std::vector<std::string>{std::string("st\x01\x00\x01", 5)});

  ScriptedPrinter channelApi;  // reads the status itself
  channelApi.portKind = kChannelApiPortKind;
  channelApi.controlReplies = {"@BDC ST\r\nRV:2.0;\x0C"};
  ASSERT_EQ(Read(channelApi, nullptr, 0, &length), MORVALIB_E_BUFFER);
  EXPECT_EQ(length, 4);
  EXPECT_TRUE(channelApi.controlSent.empty());
}

TEST_F(LibraryFirmware, QueryFailures) {
  struct Case {
    const char* name;
    void (*script)(ScriptedPrinter&);
  } cases[] = {
      {"unknown port kind", [](ScriptedPrinter& p) { p.portKind = 5; }},
      {"empty status", [](ScriptedPrinter& p) { p.controlReplies = {""}; }},
      {"status of no known form", [](ScriptedPrinter& p) { p.controlReplies = {"@BDC XX\r\n"}; }},
      {"receive fails", [](ScriptedPrinter& p) { p.receiveFails = true; }},
      // A direct port without the packet protocol asks the device file for
      // its port status; a handle the world does not know is refused.
      {"no packet protocol, port status refused",
       [](ScriptedPrinter& p) { p.deviceId = "CMD:ESC;"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPrinter printer;
    printer.controlReplies = {"@BDC ST\r\nRV:1.20;\x0C"};
    c.script(printer);
    int length = 42;
    EXPECT_EQ(Read(printer, nullptr, 0, &length), MORVALIB_E_FIRMWARE);
    EXPECT_EQ(length, 42);
    EXPECT_EQ(printer.destroyed, 1);
  }
}

TEST_F(LibraryFirmware, DataPathReplyIsReadUpToItsFormFeedWithinTheByteWait) {
  ScriptedPrinter printer;
  ScriptedPort port(printer);
  printer.dataChunks = {"@BDC ", "", "", "ST\r\nRV:1;\x0C", "after"};
  EXPECT_EQ(ReadDataPathReply(port), "@BDC ST\r\nRV:1;\x0C");
  EXPECT_EQ(printer.dataChunks.front(), "after") << "read no further than needed";

  const std::uint64_t start = clock_.NowMs();
  printer.dataChunks = {"@BDC ST"};  // then silence
  EXPECT_EQ(ReadDataPathReply(port), "");
  EXPECT_GE(clock_.NowMs() - start, kStatusByteWaitMs);
  EXPECT_LT(clock_.NowMs() - start, kStatusByteWaitMs + 10);

  printer.dataChunks = {std::string(1020, 'x'),
                        std::string(10, 'x') + "\x0C"};  // 1,024 bytes and no 0x0C
  EXPECT_EQ(ReadDataPathReply(port), "");
}

// The reply ends at its 1,024th byte at the latest, and the reader pauses
// 1 ms whenever nothing is there.
TEST_F(LibraryFirmware, DataPathReplyIsBoundedAndPolledEveryMillisecond) {
  ScriptedPrinter printer;
  ScriptedPort port(printer);
  const std::string head = "@BDC ST\r\nRV:1;";
  for (const std::size_t closingAt : {1024u, 1025u}) {
    const std::string reply = head + std::string(closingAt - 1 - head.size(), ' ') + "\x0C";
    printer.dataChunks = {reply.substr(0, 1020), reply.substr(1020)};
    EXPECT_EQ(ReadDataPathReply(port), closingAt <= 1024 ? reply : "")
        << "0x0C as byte " << closingAt;
  }
  printer.dataChunks = {"", "", "", "", "", "@BDC ST\r\nRV:1;\x0C"};
  const std::uint64_t start = clock_.NowMs();
  const std::uint64_t sleeps = clock_.SleepCalls();
  EXPECT_EQ(ReadDataPathReply(port), "@BDC ST\r\nRV:1;\x0C");
  EXPECT_EQ(clock_.NowMs() - start, 5u) << "five empty reads, 1 ms after each";
  EXPECT_EQ(clock_.SleepCalls() - sleeps, 5u);
  const std::string list = std::string("@BDC ST2\r\n\x04\x00\x08\x02", 14) + "1\x0C";
  printer.dataChunks = {list, "\x0C", "after"};
  EXPECT_EQ(ReadDataPathReply(port), list + "\x0C")
      << "a 0x0C inside the field list does not end it";
}

}  // namespace
}  // namespace nolpa::morvalib
