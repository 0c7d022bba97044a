// The direct port on a scripted printer-class device: the open retried on
// virtual time, the device ID taken out of the driver's answer, packet mode
// started (or dropped again), the held control reply handed out, and the
// device closed with nothing of the library left behind.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "serial_library/direct_port.h"
#include "serial_library/exchange.h"
#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/printer_commands.h"
#include "serial_library/serial_number.h"
#include "sim/core/virtual_clock.h"
#include "tests/support/d4_packets.h"
#include "tests/support/packet_peer.h"

namespace nolpa::morvalib {
namespace {

using namespace testing::d4;

constexpr char kFile[] = "\\\\?\\usb#vid_0f1a&pid_0520#a1#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
constexpr platform::DeviceHandle kHandle = 7;

// A printer-class device file: opens that fail until a given time, the
// class driver's device-ID answer, and a count of opens and closes.
class ScriptedPrinterFile : public testing::PacketPeer {
 public:
  explicit ScriptedPrinterFile(platform::Clock& clock) : PacketPeer(clock), clock_(clock) {}

  std::optional<std::uint64_t> opensFrom = 0;  // none: never opens
  Bytes idAnswer;                              // what the driver returns for 0x220034
  int openAttempts = 0;
  int opens = 0;
  int closes = 0;
  std::string openedPath;
  std::uint32_t idBufferSize = 0;

  platform::DeviceHandle Open(const std::string& path) override {
    ++openAttempts;
    openedPath = path;
    if (!opensFrom || clock_.NowMs() < *opensFrom) return platform::kInvalidDeviceHandle;
    ++opens;
    return kHandle;
  }
  void Close(platform::DeviceHandle handle) override {
    if (handle == kHandle) ++closes;
  }
  bool IoControl(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                 std::uint32_t* returned) override {
    if (!PacketPeer::IoControl(handle, code, in, inSize, out, outSize, returned)) return false;
    if (code != kIoctlGet1284Id) return false;
    idBufferSize = outSize;
    *returned = static_cast<std::uint32_t>(std::min<std::size_t>(idAnswer.size(), outSize));
    std::memcpy(out, idAnswer.data(), *returned);
    return true;
  }

 private:
  platform::Clock& clock_;
};

struct Rig {
  sim::VirtualClock clock;
  ScriptedPrinterFile device{clock};
  std::optional<TRKPRN> port{std::in_place, device, clock, kFile};

  // Destroys the port; afterwards the device must be closed as often as it
  // was opened, and nothing of the library may be left.
  void Destroy() {
    port.reset();
    EXPECT_EQ(device.closes, device.opens);
    EXPECT_EQ(Live(), LiveObjects{});
  }
  void Answer(const Bytes& request, const Bytes& reply) { device.AnswerWrite(request, reply); }
  void ScriptStart() {
    Answer(kInit, InitReply());
    Answer(kExit, ExitReply());
  }
};

TEST(DirectPort, OpenIsRetriedEvery10MsUntil1500MsHavePassed) {
  struct Case {
    const char* name;
    std::optional<std::uint64_t> opensFrom;
    int result;
    std::uint64_t endMs;
    int attempts;
  } const cases[] = {
      {"free at once", 0, 1, 0, 1},
      {"free after 35 ms", 35, 1, 40, 5},
      {"free at the last attempt", 1500, 1, 1500, 151},
      {"free just too late", 1501, 0, 1500, 151},
      {"never free", std::nullopt, 0, 1500, 151},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.device.opensFrom = c.opensFrom;
    EXPECT_EQ(r.port->Open(), c.result);
    EXPECT_EQ(r.clock.NowMs(), c.endMs);
    EXPECT_EQ(r.device.openAttempts, c.attempts);
    EXPECT_EQ(r.device.openedPath, kFile);
    EXPECT_EQ(r.port->IsOpen(), c.result);
    EXPECT_EQ(r.port->GetHandle(), c.result == 1 ? kHandle : platform::kInvalidDeviceHandle);
    if (c.result == 1) {
      EXPECT_EQ(r.port->Open(), 1) << "open already: no second open";
    }
    EXPECT_LE(r.device.opens, 1);
    r.Destroy();
  }
}

Bytes Cat(const Bytes& a, const Bytes& b) {
  Bytes all = a;
  all.insert(all.end(), b.begin(), b.end());
  return all;
}

Bytes Prefixed(std::uint16_t announced, const std::string& text) {
  Bytes answer{std::uint8_t(announced >> 8), std::uint8_t(announced)};
  answer.insert(answer.end(), text.begin(), text.end());
  return answer;
}

// The two length bytes are skipped, not believed: the text is what the
// driver returned after them, as the program's own route reads it.
TEST(DirectPort, DeviceIdDropsTheLengthBytesAndStopsAtTheReturnedCount) {
  const std::string id = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;";
  const std::string longId = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;DES:" + std::string(600, 'd') + ";";
  struct Case {
    const char* name;
    Bytes answer;
    int result;
    std::string text;
  } const cases[] = {
      {"short ID: the length begins with 0", Prefixed(id.size() + 2, id + '\0'), 0, id},
      {"long ID: the length begins with 2", Prefixed(longId.size() + 2, longId), 0,
       longId.substr(0, 510)},
      {"no NUL within the returned bytes", Prefixed(14, "MDL:RK-L5200"), 0, "MDL:RK-L5200"},
      {"length shorter than the bytes returned", Prefixed(6, "CMD:D4;MDL:X;"), 0, "CMD:D4;MDL:X;"},
      {"length longer than the bytes returned", Prefixed(400, "CMD:D4;MDL:X;"), 0, "CMD:D4;MDL:X;"},
      {"length below its own size", Prefixed(1, "CMD:D4;"), 0, "CMD:D4;"},
      {"only the length", Prefixed(2, ""), 0, ""},
      {"one byte", {0x00}, MORVALIB_E_BUFFER, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.device.idAnswer = c.answer;
    ASSERT_EQ(r.port->Open(), 1);
    char buffer[512];
    std::memset(buffer, 'X', sizeof buffer);
    std::memcpy(buffer, "unchanged", 10);
    EXPECT_EQ(r.port->GetDeviceId(512, buffer), c.result);
    EXPECT_EQ(std::string(buffer), c.text) << "ended by a NUL within the returned bytes";
    EXPECT_EQ(r.device.idBufferSize, 512u) << "the caller's buffer size";
    ASSERT_EQ(r.device.requests.size(), 1u);
    EXPECT_EQ(r.device.requests[0].code, 0x220034u);
    r.Destroy();
  }
  Rig refused;
  refused.device.FailIoControl(0);
  char buffer[64] = {};
  ASSERT_EQ(refused.port->Open(), 1);
  EXPECT_EQ(refused.port->GetDeviceId(64, buffer), MORVALIB_E_BUFFER);
  refused.Destroy();
  Rig closed;
  EXPECT_EQ(closed.port->GetDeviceId(64, buffer), MORVALIB_E_BUFFER) << "not open";
  EXPECT_TRUE(closed.device.requests.empty());
}

// A start that fails still ends with Exit once the entry string went out,
// so the printer is in its plain mode for the data path.
TEST(DirectPort, FailedStartEndsWithExitAndDropsTheEngine) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> script;
    std::vector<Bytes> written;
  } const cases[] = {
      {"Init refused", [](Rig& r) { r.Answer(kInit, InitReply(0x01)); }, {kEntry, kInit, kExit}},
      {"Error packet for Init",
       [](Rig& r) { r.Answer(kInit, ErrorPacket(0x80)); },
       {kEntry, kInit, kExit}},
      {"no answer to Init", [](Rig&) {}, {kEntry, kInit, kExit}},
      {"entry string not taken", [](Rig& r) { r.device.FailWrite(0); }, {kEntry}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.Answer(kExit, ExitReply());
    c.script(r);
    ASSERT_EQ(r.port->Open(), 1);
    EXPECT_EQ(r.port->StartPacketMode(), -1);
    EXPECT_EQ(r.port->IsPacketMode(), 0);
    int sent = 9;
    EXPECT_EQ(r.port->SendControl(0, kCommand.data(), static_cast<int>(kCommand.size()), &sent), 0);
    EXPECT_EQ(sent, 0);
    std::uint8_t reply[16];
    int count = 9;
    EXPECT_EQ(r.port->ReceiveControl(reply, 16, &count), 0) << "no engine";
    r.Destroy();
    EXPECT_EQ(r.device.writes, c.written);
  }
}

TEST(DirectPort, ControlReplyIsHeldAndHandedOutInPieces) {
  const Bytes answer{'t', 'p', ':', '0', '1', 'F', '0', ':', ';', 0x0C};
  Rig r;
  r.ScriptStart();
  r.Answer(kOpenControl, OpenReply(2, 64, 512));
  r.Answer(kCredit, SocketReply(0x83));
  r.Answer(kCreditRequest, CreditGrant(1));
  r.Answer(kCommandPacket, DataPacket(0x02, answer));
  r.Answer(kClose, SocketReply(0x82));
  ASSERT_EQ(r.port->Open(), 1);
  ASSERT_EQ(r.port->StartPacketMode(), 0);
  EXPECT_EQ(r.port->IsPacketMode(), 1);
  EXPECT_EQ(r.port->StartPacketMode(), 0) << "already running: nothing sent";
  int sent = 0;
  ASSERT_EQ(r.port->SendControl(0, kCommand.data(), static_cast<int>(kCommand.size()), &sent), 1);
  EXPECT_EQ(sent, 8);

  std::uint8_t part[4];
  int count = 0;
  ASSERT_EQ(r.port->ReceiveControl(part, 4, &count), 1);
  EXPECT_EQ(count, 10) << "the whole length";
  EXPECT_EQ(Bytes(part, part + 4), Bytes(answer.begin(), answer.begin() + 4));
  std::uint8_t rest[64];
  ASSERT_EQ(r.port->ReceiveControl(rest, 64, &count), 1);
  EXPECT_EQ(Bytes(rest, rest + count), Bytes(answer.begin() + 4, answer.end()));
  ASSERT_EQ(r.port->ReceiveControl(rest, 64, &count), 1);
  EXPECT_EQ(count, 0) << "nothing held any more";

  int written = 9;
  EXPECT_EQ(r.port->WriteData(0, answer.data(), 4, &written), 0) << "no raw bytes in packet mode";
  EXPECT_EQ(written, 0);
  r.Destroy();
  const std::vector<Bytes> expected{kEntry,         kInit,          kOpenControl, kCredit,
                                    kCreditRequest, kCommandPacket, kClose,       kExit};
  EXPECT_EQ(r.device.writes, expected) << "destroying the port ends packet mode";
}

TEST(DirectPort, FailedExchangeHoldsNoReplyAndStillEndsPacketMode) {
  Rig r;
  r.ScriptStart();
  r.Answer(kOpenControl, OpenReply(2, 64, 512, 0x01));  // channel refused
  ASSERT_EQ(r.port->Open(), 1);
  ASSERT_EQ(r.port->StartPacketMode(), 0);
  int sent = 9;
  EXPECT_EQ(r.port->SendControl(0, kCommand.data(), static_cast<int>(kCommand.size()), &sent), 0);
  EXPECT_EQ(sent, 0);
  std::uint8_t reply[16];
  int count = 9;
  EXPECT_EQ(r.port->ReceiveControl(reply, 16, &count), 1);
  EXPECT_EQ(count, 0);
  r.Destroy();
  EXPECT_EQ(r.device.writes.back(), kExit);
}

TEST(DirectPort, DataPathWritesWholeAndReadsWhatWaits) {
  const Bytes request{0x1B, '(', 'R', 0x08, 0x00};
  Rig r;
  r.device.LimitWrite(1, 2);
  r.device.Arrive(0, {'@', 'B'});
  ASSERT_EQ(r.port->Open(), 1);
  int written = 0;
  EXPECT_EQ(r.port->WriteData(0, request.data(), 5, &written), 1);
  EXPECT_EQ(written, 5);
  EXPECT_EQ(r.port->WriteData(0, request.data(), 5, &written), 1) << "a short write is completed";
  EXPECT_EQ(written, 5);
  EXPECT_EQ(r.device.writes.back(), Bytes(request.begin() + 2, request.end()));
  std::uint8_t buffer[8];
  int count = 0;
  EXPECT_EQ(r.port->ReadData(buffer, 8, &count), 1);
  EXPECT_EQ(Bytes(buffer, buffer + count), (Bytes{'@', 'B'}));
  EXPECT_EQ(r.port->ReadData(buffer, 8, &count), 1);
  EXPECT_EQ(count, 0) << "nothing waits";
  r.device.FailReads(1);
  EXPECT_EQ(r.port->ReadData(buffer, 8, &count), 0);
  r.Destroy();
}

// Once a write went out in part and its rest could not follow, the printer
// holds the start of something it waits to complete: the firmware query's
// data-path request, or a second start of packet mode, would be read as
// its rest. Neither is written.
TEST(DirectPort, AfterAWriteWentOutInPartTheHandleIsNotWrittenAgain) {
  const Bytes request{0x1B, '(', 'R', 0x08, 0x00};
  struct Case {
    const char* name;
    std::function<void(Rig&)> cut;
    Bytes firstWrite;
  } const cases[] = {
      {"entry string cut",
       [](Rig& r) {
         r.device.LimitWrite(0, 5);
         EXPECT_EQ(r.port->StartPacketMode(), -1);
       },
       kEntry},
      {"data-path request cut",
       [&request](Rig& r) {
         r.device.LimitWrite(0, 2);
         int written = 0;
         EXPECT_EQ(r.port->WriteData(0, request.data(), 5, &written), 0);
         EXPECT_EQ(written, 2);
       },
       request},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.ScriptStart();
    for (std::size_t stall = 1; stall <= serial_library::kStalledWrites; ++stall)
      r.device.LimitWrite(stall, 0);
    ASSERT_EQ(r.port->Open(), 1);
    c.cut(r);
    int written = 9;
    EXPECT_EQ(r.port->WriteData(0, request.data(), 5, &written), 0);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(r.port->StartPacketMode(), -1);
    r.Destroy();
    EXPECT_EQ(r.device.writes.front(), c.firstWrite);
    EXPECT_EQ(r.device.writes.size(), 1 + serial_library::kStalledWrites)
        << "the rest tried, nothing after";
  }
}

// A reply longer than the caller's buffer is held whole, so that its length
// can be told: a write answered with more than 1,024 bytes gives -2, as the
// header says, and the exchange tells the whole length.
TEST(DirectPort, AReplyLongerThanTheBufferIsToldByItsLength) {
  Bytes answer = {'t', 'p', ':', '0', '0', 'F', '0', ':', 'O', 'K', ';'};
  answer.resize(1100, ' ');
  answer.push_back(0x0C);
  const auto command = SerialWriteCommand(0, "0123456789ABCDEF02");
  for (const bool write : {true, false}) {
    SCOPED_TRACE(write ? "SetUSBSerialNumber" : "the exchange with no buffer");
    Rig r;
    r.ScriptStart();
    r.device.idAnswer = Prefixed(15, "MFG:N;CMD:D4;");
    r.Answer(kOpenControl, OpenReply(2, 64, 512));
    r.Answer(kCreditRequest, CreditGrant(1));
    r.Answer(kClose, SocketReply(0x82));
    r.Answer(DataPacket(0x02, Bytes(command.begin(), command.end())),
             DataPacket(0x02, Bytes(answer.begin(), answer.begin() + 506)));
    r.device.AnswerInTurn(
        kCredit,
        {SocketReply(0x83),
         Cat(SocketReply(0x83),
             DataPacket(0x02, Bytes(answer.begin() + 506, answer.begin() + 1012))),
         Cat(SocketReply(0x83), DataPacket(0x02, Bytes(answer.begin() + 1012, answer.end())))});
    const PortOpener open = [&r](const char*, std::unique_ptr<TRKCCC>* port) {
      *port = std::make_unique<TRKPRN>(r.device, r.clock, kFile);
      return (*port)->Open() == 1 ? MORVALIB_OK : MORVALIB_E_NO_PRINTER;
    };
    if (write) {
      EXPECT_EQ(WriteSerialNumber(open, kFile, "0123456789ABCDEF02", 0), MORVALIB_E_BUFFER);
    } else {
      int length = 0;
      EXPECT_EQ(ExchangeControl(open, kFile, command.data(), 26, nullptr, 0, &length),
                MORVALIB_E_BUFFER);
      EXPECT_EQ(length, 1101);
    }
    r.Destroy();
  }
}

TEST(DirectPort, SetParamsTakesTheLocationAndTheWait) {
  Rig r;
  OpenParams params;
  params.usbLocation = "2310";
  EXPECT_EQ(r.port->SetParams(params), 1);
  EXPECT_EQ(r.port->UsbLocation(), "2310");
  EXPECT_EQ(r.port->WaitMs(), 2000u);
  EXPECT_EQ(r.port->PortKind(), 4);
  params.usbLocation = std::string(64, '1');
  EXPECT_EQ(r.port->SetParams(params), 0) << "longer than an OpenParams holds";
  r.Destroy();
}

TEST(DirectPort, OpenLooksForTheDeviceAtTheLocationItWasGiven) {
  for (const bool present : {true, false}) {
    SCOPED_TRACE(present ? "a printer at the location" : "none at the location");
    Rig r;
    std::vector<std::string> asked;
    r.port.emplace(r.device, r.clock, [&](const std::string& location) {
      asked.push_back(location);
      return present ? std::string(kFile) : std::string();
    });
    OpenParams params;
    params.usbLocation = "2350";
    EXPECT_EQ(r.port->SetParams(params), 1);
    EXPECT_EQ(r.port->Open(), present ? 1 : 0);
    EXPECT_EQ(asked, std::vector<std::string>{"2350"});
    EXPECT_EQ(r.device.openAttempts, present ? 1 : 0) << "nothing to retry when no device is there";
    EXPECT_EQ(r.clock.NowMs(), 0u);
    r.Destroy();
  }
}

}  // namespace
}  // namespace nolpa::morvalib
