// The four exports, through the pointer types a program binds, against
// simulated printer-class printers that run the IEEE 1284.4 protocol: both
// model selectors, a printer without "D4", every misbehaviour of the
// printer ending in its result code, and nothing of the library or of the
// device left open after any call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "sim/core/departures.h"
#include "sim/core/virtual_clock.h"
#include "sim/printers/d4_peripheral.h"
#include "sim/world.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/usb_bus.h"

namespace nolpa::morvalib {
namespace {

using testing::kGetFirmware;
using testing::kGetSerial;
using testing::kSendReceive;
using testing::kSetSerial;

constexpr char kL5200Id[] = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;";
constexpr char kL880Id[] = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L880;CLS:PRINTER;";
constexpr char kPlainId[] = "MFG:Nolpa;CMD:NLP;MDL:RK-L880;CLS:PRINTER;";

class LibraryOnPrinters : public ::testing::Test {
 protected:
  LibraryOnPrinters() { EXPECT_TRUE(InstallServices(bus_.Services(world_, clock_))); }
  ~LibraryOnPrinters() override { RemoveServices(); }

  sim::ClassPrinter& Add(const std::string& name, const std::string& deviceId,
                         const std::string& serial, const std::string& firmware = "1.20") {
    sim::ClassPrinter& printer = world_.AddClassPrinter(
        {.name = name, .deviceId = deviceId, .serial = serial, .firmware = firmware});
    bus_.PlugAll();
    return printer;
  }
  // After every call: no handle, no port, lock or buffer of the library, and
  // the printer out of packet mode.
  void ExpectNothingLeft(const sim::ClassPrinter& printer) {
    EXPECT_EQ(world_.OpenHandles(), 0u);
    EXPECT_EQ(Live(), LiveObjects{});
    EXPECT_FALSE(printer.Peripheral().InPacketMode());
  }
  int ReadSerial(const sim::ClassPrinter& printer, int model, std::string* serial = nullptr) {
    char buffer[64] = {};
    int length = 0;
    const int result = kGetSerial(printer.InterfacePath().c_str(), buffer, 64, &length, model);
    if (serial) *serial = buffer;
    return result;
  }
  int ReadFirmware(const sim::ClassPrinter& printer, std::string* version = nullptr) {
    char buffer[128] = {};
    int length = 0;
    const int result = kGetFirmware(printer.InterfacePath().c_str(), buffer, 128, &length);
    if (version) *version = buffer;
    return result;
  }

  sim::VirtualClock clock_;
  sim::World world_{clock_};
  testing::UsbBus bus_{world_};
};

TEST_F(LibraryOnPrinters, BothModelsAreReadWrittenAndAskedForTheirFirmware) {
  struct Case {
    const char* deviceId;
    int model;
    const char* serial;
  } const cases[] = {{kL5200Id, 0, "4E4C5041000000A001"}, {kL880Id, 1, "4E4C5041000000B002"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deviceId);
    sim::ClassPrinter& printer =
        Add(std::string("p") + std::to_string(c.model), c.deviceId, c.serial, "3.41");
    std::string text;
    EXPECT_EQ(ReadSerial(printer, c.model, &text), MORVALIB_OK);
    EXPECT_EQ(text, c.serial);
    ExpectNothingLeft(printer);

    EXPECT_EQ(kSetSerial(printer.InterfacePath().c_str(), "0123456789ABCDEF02", c.model),
              MORVALIB_OK);
    ExpectNothingLeft(printer);
    EXPECT_EQ(printer.Serial(), c.serial) << "taken into use only at the next restart";
    printer.PowerCycle();
    EXPECT_EQ(ReadSerial(printer, c.model, &text), MORVALIB_OK);
    EXPECT_EQ(text, "0123456789ABCDEF02");

    EXPECT_EQ(ReadFirmware(printer, &text), MORVALIB_OK);
    EXPECT_EQ(text, "3.41");
    ExpectNothingLeft(printer);

    const unsigned char status[] = {'s', 't', 0x01, 0x00, 0x01};
    unsigned char reply[256] = {};
    int replyLength = 0;
    EXPECT_EQ(kSendReceive(printer.InterfacePath().c_str(), status, 5, reply, 256, &replyLength),
              MORVALIB_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), replyLength),
              "@BDC ST\r\nST:04;RV:3.41;\x0C");
    ExpectNothingLeft(printer);
  }
}

TEST_F(LibraryOnPrinters, OneSerialReadOnAPromptPrinterTakesLessThan60Ms) {
  sim::ClassPrinter& printer = Add("rk", kL5200Id, "4E4C5041000000A001");
  const std::uint64_t sleepsBefore = clock_.SleepCalls();
  EXPECT_EQ(ReadSerial(printer, 0), MORVALIB_OK);
  const std::uint64_t spent = clock_.NowMs();
  EXPECT_LT(spent, 60u);
  // Every pause is an empty raw read of the engine (10 ms each).
  EXPECT_EQ(spent, (clock_.SleepCalls() - sleepsBefore) * 10);
  std::printf("[ measured ] GetUSBSerialNumber: %llu ms virtual, %llu empty reads\n",
              static_cast<unsigned long long>(spent),
              static_cast<unsigned long long>(clock_.SleepCalls() - sleepsBefore));
}

TEST_F(LibraryOnPrinters, APrinterWithoutD4HasNoSerialNumberButReportsItsFirmware) {
  for (const bool fieldList : {false, true}) {
    SCOPED_TRACE(fieldList ? "field-list status" : "text status");
    sim::ClassPrinter& printer =
        Add(fieldList ? "list" : "text", kPlainId, "4E4C5041000000C003", "3.20");
    printer.Faults().peripheral.statusFieldList = fieldList;
    EXPECT_EQ(ReadSerial(printer, 1), MORVALIB_E_NO_PACKET);
    EXPECT_EQ(kSetSerial(printer.InterfacePath().c_str(), "0123456789ABCDEF02", 1),
              MORVALIB_E_NO_PACKET);
    std::string version;
    const std::uint64_t start = clock_.NowMs();
    EXPECT_EQ(ReadFirmware(printer, &version), MORVALIB_OK);
    EXPECT_EQ(version, "3.20");
    EXPECT_GE(clock_.NowMs() - start, 2000u) << "the data path waits before it reads";
    ExpectNothingLeft(printer);
    EXPECT_FALSE(printer.Peripheral().Commands().PendingSerial());
  }
}

using PrinterKind = sim::PrinterTransactions::Kind;

std::vector<std::uint8_t> Text(std::string_view text) { return {text.begin(), text.end()}; }

struct Misbehaviour {
  const char* name;
  std::function<void(sim::ClassPrinter&)> arrange;
  int readResult;
  int writeResult;
  std::vector<const char*> departures{};  // what the printer notes of the host's forced moves
};

// Whatever the printer does, the library ends the call with Exit and every
// channel closed: the printer notes no departure of the host.
TEST_F(LibraryOnPrinters, EachMisbehaviourEndsInItsCodeWithNothingLeftOpen) {
  const Misbehaviour cases[] = {
      {"Init refused", [](auto& p) { p.Faults().peripheral.refuseRevision = true; },
       MORVALIB_E_NO_PACKET, MORVALIB_E_NO_PACKET},
      {"Error packet for Init",
       [](auto& p) {
         p.Faults().peripheral.errorCode = 0x80;
         p.Faults().peripheral.errorOn = 0x00;
       },
       MORVALIB_E_NO_PACKET, MORVALIB_E_NO_PACKET},
      {"replies on the wrong sockets", [](auto& p) { p.Faults().peripheral.wrongSockets = true; },
       MORVALIB_E_NO_PACKET, MORVALIB_E_NO_PACKET},
      {"Error packet for OpenChannel",
       [](auto& p) {
         p.Faults().peripheral.errorCode = 0x84;
         p.Faults().peripheral.errorOn = 0x01;
       },
       MORVALIB_E_SEND, MORVALIB_E_SEND},
      {"no credit", [](auto& p) { p.Faults().peripheral.noCredit = true; }, MORVALIB_E_SEND,
       MORVALIB_E_SEND},
      {"packets too small for the command",
       [](auto& p) { p.Faults().peripheral.packetSizeLimit = 12; }, MORVALIB_E_SEND,
       MORVALIB_E_SEND},
      {"commands never answered", [](auto& p) { p.Faults().peripheral.silentCommands = true; },
       MORVALIB_E_SEND, MORVALIB_E_SEND},
      {"silent from OpenChannel on", [](auto& p) { p.Faults().peripheral.silentFrom = 0x01; },
       MORVALIB_E_SEND, MORVALIB_E_SEND},
      // The number is written once the printer acknowledged it; the channel
      // the printer would not close is left to the Exit.
      {"Error packet for CloseChannel",
       [](auto& p) {
         p.Faults().peripheral.errorCode = 0x84;
         p.Faults().peripheral.errorOn = 0x02;
       },
       MORVALIB_OK,
       MORVALIB_OK,
       {sim::departure::kChannelOpenAtExit}},
      {"write busy", [](auto& p) { p.Faults().peripheral.writeAnswer = sim::WriteAnswer::Busy; },
       MORVALIB_OK, MORVALIB_E_NOT_ACKED},
      {"write not available",
       [](auto& p) { p.Faults().peripheral.writeAnswer = sim::WriteAnswer::NotAvailable; },
       MORVALIB_OK, MORVALIB_E_NOT_ACKED},
      {"another model's printer", [](auto& p) { p.SetDeviceId(kL880Id); }, MORVALIB_E_REPLY_FORM,
       MORVALIB_E_NOT_ACKED},
      // As unkind as IEEE 1284.4 and USB allow: an earlier answer sent on
      // the first credit, before the command, is never taken for its answer.
      {"an earlier OK held, this write refused",
       [](auto& p) {
         p.Faults().peripheral.staleAnswer = Text("tp:00F0:OK;\x0C");
         p.Faults().peripheral.writeAnswer = sim::WriteAnswer::NotAvailable;
       },
       MORVALIB_OK, MORVALIB_E_NOT_ACKED},
      {"an earlier serial number held",
       [](auto& p) { p.Faults().peripheral.staleAnswer = Text("tp:01F0:4F4C44;\x0C"); },
       MORVALIB_OK, MORVALIB_OK},
      {"credit 0, then a Credit of its own",
       [](auto& p) { p.Faults().peripheral.lateCreditMs = 3000; }, MORVALIB_OK, MORVALIB_OK},
      {"credit in every data packet's header",
       [](auto& p) { p.Faults().peripheral.headerCredit = 2; }, MORVALIB_OK, MORVALIB_OK},
      {"CreditRequests of its own",
       [](auto& p) {
         p.Faults().peripheral.printerTransactions = {.kind = PrinterKind::CreditRequest,
                                                      .count = 3};
       },
       MORVALIB_OK, MORVALIB_OK},
      {"unknown commands of its own, also before Exit's reply",
       [](auto& p) {
         p.Faults().peripheral.printerTransactions = {.kind = PrinterKind::Unknown, .on = 0x08};
       },
       MORVALIB_OK, MORVALIB_OK},
      {"a Credit for every Credit answered",
       [](auto& p) { p.Faults().peripheral.printerTransactions = {.flood = true}; },
       MORVALIB_E_SEND,
       MORVALIB_E_SEND,
       {sim::departure::kPrinterTransactionUnanswered}},
      {"an Error packet nothing asked for",
       [](auto& p) { p.Faults().peripheral.unaskedError = sim::UnaskedError{}; }, MORVALIB_E_SEND,
       MORVALIB_OK},
      {"answers in transfers of 64 bytes",
       [](auto& p) { p.Faults().peripheral.usbPacketSize = 64; }, MORVALIB_OK, MORVALIB_OK},
      {"answers in transfers of 512 bytes",
       [](auto& p) { p.Faults().peripheral.usbPacketSize = 512; }, MORVALIB_OK, MORVALIB_OK},
  };
  for (const Misbehaviour& c : cases) {
    SCOPED_TRACE(c.name);
    sim::VirtualClock clock;
    sim::World world(clock);
    testing::UsbBus bus(world);
    ASSERT_TRUE(InstallServices(bus.Services(world, clock)));
    sim::ClassPrinter& printer =
        world.AddClassPrinter({.name = "rk", .deviceId = kL5200Id, .serial = "4E4C5041000000A001"});
    bus.PlugAll();
    c.arrange(printer);
    for (const char* kind : c.departures) world.Departures().Expect(kind);
    char buffer[64] = {};
    int length = 0;
    EXPECT_EQ(kGetSerial(printer.InterfacePath().c_str(), buffer, 64, &length, 0), c.readResult);
    EXPECT_EQ(Live(), LiveObjects{});
    EXPECT_EQ(kSetSerial(printer.InterfacePath().c_str(), "0123456789ABCDEF02", 0), c.writeResult);
    EXPECT_EQ(Live(), LiveObjects{});
    EXPECT_EQ(world.OpenHandles(), 0u);
    EXPECT_FALSE(printer.Peripheral().InPacketMode());
    // A printer that takes the write but never answers has the new number
    // all the same; the caller is told the exchange failed.
    EXPECT_EQ(printer.Peripheral().Commands().PendingSerial().has_value(),
              c.writeResult == MORVALIB_OK || std::string(c.name) == "commands never answered");
    for (const auto& d : world.Departures().Unexpected())
      ADD_FAILURE() << sim::DescribeDeparture(d);
    world.Departures().Clear();
  }
}

// A printer keeps its state across handles, may answer late, split its
// replies, answer the entry string or start a transaction of its own. After
// at most one call that meets it (and may fail), every call of every export
// gets the right answer, and leaves the printer out of packet mode.
TEST_F(LibraryOnPrinters, PrintersThatKeepTheirStateAreServedCallAfterCall) {
  struct Case {
    const char* name;
    std::function<void(sim::World&, sim::ClassPrinter&)> arrange;
    bool firstMayFail = false;
    std::vector<const char*> departures{};
  };
  auto peripheral = [](const std::function<void(sim::PeripheralFaults&)>& set) {
    return [set](sim::World&, sim::ClassPrinter& p) { set(p.Faults().peripheral); };
  };
  auto late = [&](std::optional<std::uint8_t> transaction) {
    return peripheral([transaction](auto& f) {
      f.lateReply = sim::LateReply{transaction, 6000, 1};
    });
  };
  const std::string id = std::string(kL5200Id);
  const Case cases[] = {
      {"a command's answer late once", late(std::nullopt), true},
      {"Init's reply late once", late(0x00), true},
      {"OpenChannel's reply late once", late(0x01), true},
      {"Exit's reply late once", late(0x08), true},
      {"left in packet mode by another host",
       [](sim::World& w, sim::ClassPrinter& p) {
         const platform::DeviceHandle h = w.Files().Open(p.InterfacePath());
         std::vector<std::uint8_t> start(std::begin(sim::kEntryString),
                                         std::end(sim::kEntryString));
         start.insert(start.end(), {0, 0, 0, 8, 1, 0, 0x00, 0x10});
         std::uint32_t done = 0;
         w.Files().Write(h, start.data(), static_cast<std::uint32_t>(start.size()), &done);
         w.Files().Close(h);
       },
       false,
       {sim::departure::kClosedInPacketMode}},
      {"an answer to the entry string",
       peripheral([](auto& f) { f.entryAnswer = {0, 0, 0, 8, 1, 0, 0xD1, 0}; })},
      {"24-byte packets to the host", peripheral([](auto& f) { f.toHostPacketLimit = 24; })},
      {"24-byte packets, the end flagged", peripheral([](auto& f) {
         f.toHostPacketLimit = 24;
         f.endOfMessage = true;
       })},
      {"7-byte packets to the host, field-list status", peripheral([](auto& f) {
         f.toHostPacketLimit = 7;
         f.statusFieldList = true;
       })},
      {"credit granted unasked", peripheral([](auto& f) { f.unaskedCredit = true; })},
      {"a device ID whose length field is wrong",
       [id](sim::World&, sim::ClassPrinter& p) {
         std::vector<std::uint8_t> answer{0x00, 0x01};
         answer.insert(answer.end(), id.begin(), id.end());
         p.Faults().ioctl.push_back(
             {.code = 0x220034, .action = sim::IoctlFault::Action::Raw, .bytes = answer});
       }},
  };
  const unsigned char status[] = {'s', 't', 0x01, 0x00, 0x01};
  unsigned index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char serial[19];
    std::snprintf(serial, sizeof serial, "4E4C5041000000B0%02u",
                  index++ % 100);  // a path of its own
    sim::ClassPrinter& printer = Add(c.name, kL5200Id, serial, "3.41");
    const std::string path = printer.InterfacePath();
    for (const char* kind : c.departures) world_.Departures().Expect(kind);
    c.arrange(world_, printer);
    const int first = ReadSerial(printer, 0);
    if (!c.firstMayFail) {
      EXPECT_EQ(first, MORVALIB_OK);
    }
    ExpectNothingLeft(printer);
    for (int round = 0; round < 5; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      std::string text;
      EXPECT_EQ(ReadSerial(printer, 0, &text), MORVALIB_OK);
      EXPECT_EQ(text, serial);
      EXPECT_EQ(ReadFirmware(printer, &text), MORVALIB_OK);
      EXPECT_EQ(text, "3.41");
      unsigned char reply[256] = {};
      int replyLength = 0;
      EXPECT_EQ(kSendReceive(path.c_str(), status, 5, reply, 256, &replyLength), MORVALIB_OK);
      EXPECT_EQ(std::vector<std::uint8_t>(reply, reply + replyLength),
                printer.Peripheral().Commands().StatusReply(printer.Faults().peripheral));
      EXPECT_EQ(kSetSerial(path.c_str(), "0123456789ABCDEF02", 0), MORVALIB_OK);
      ExpectNothingLeft(printer);
    }
  }
}

// The firmware query on a printer without the packet protocol, its answer
// read in pieces of 1 to 7 bytes: each query gives the version, the request
// is written twice, and what an earlier query (or anything before) left in
// the printer is read away, so nothing piles up.
TEST_F(LibraryOnPrinters, RepeatedFirmwareQueriesOnAPlainPrinterNeverPileUp) {
  const std::vector<std::uint8_t> request = {0x1B, '(',  'R',  0x08, 0x00, 0x00, 'R', 'E',
                                             'M',  'O',  'T',  'E',  '1',  'S',  'T', 0x02,
                                             0x00, 0x00, 0x01, 0x1B, 0x00, 0x00, 0x00};
  for (const bool fieldList : {false, true}) {
    SCOPED_TRACE(fieldList ? "field-list status" : "text status");
    sim::ClassPrinter& printer =
        Add(fieldList ? "list" : "text", kPlainId,
            fieldList ? "4E4C5041000000C004" : "4E4C5041000000C005", "3.20");
    printer.Faults().peripheral.readPieces = 7;
    printer.Faults().peripheral.statusFieldList = fieldList;
    const std::string stale = "@BDC ST\r\nST:04;RV:2.1";  // an answer cut short long ago
    printer.Channel().QueueReply({stale.begin(), stale.end()}, clock_.NowMs(), {});
    std::size_t pendingAfterFirst = 0;
    for (int query = 1; query <= 5; ++query) {
      std::string version;
      EXPECT_EQ(ReadFirmware(printer, &version), MORVALIB_OK) << "query " << query;
      EXPECT_EQ(version, "3.20") << "query " << query;
      const auto& received = printer.Received();
      std::size_t requests = 0;
      for (auto at = received.begin();
           (at = std::search(at, received.end(), request.begin(), request.end())) != received.end();
           ++at)
        ++requests;
      EXPECT_EQ(requests, 2u * query) << "the request goes out a second time after the answer";
      if (query == 1) pendingAfterFirst = printer.Channel().Pending();
      EXPECT_EQ(printer.Channel().Pending(), pendingAfterFirst) << "query " << query;
      ExpectNothingLeft(printer);
    }
    EXPECT_GT(pendingAfterFirst, 0u) << "the answer to the second request";
  }
}

TEST_F(LibraryOnPrinters, FirmwareFailsWhenThePlainPrinterReportsAnError) {
  sim::ClassPrinter& printer = Add("plain", kPlainId, "4E4C5041000000C003");
  printer.Faults().peripheral.lptError = true;
  EXPECT_EQ(ReadFirmware(printer), MORVALIB_E_FIRMWARE);
  ExpectNothingLeft(printer);
  EXPECT_TRUE(printer.Peripheral().Printed().empty())
      << "no status request after the port status said no";
}

TEST_F(LibraryOnPrinters, AbsentOrUnpluggedPrintersAreNotFound) {
  sim::ClassPrinter& printer = Add("rk", kL5200Id, "4E4C5041000000A001");
  const std::string path = printer.InterfacePath();
  printer.Unplug();
  EXPECT_EQ(ReadSerial(printer, 0), MORVALIB_E_NO_PRINTER);
  EXPECT_EQ(clock_.NowMs(), 0u) << "an unplugged printer has no socket to trace";
  printer.Plug();
  const std::string otherPath =
      "\\\\?\\usb#vid_0f1a&pid_0520#zz#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  int length = 0;
  EXPECT_EQ(kGetSerial(otherPath.c_str(), nullptr, 0, &length, 0), MORVALIB_E_NO_PRINTER);
  EXPECT_EQ(Live(), LiveObjects{});
}

TEST_F(LibraryOnPrinters, TheLibraryOpensBesideTheProgramsHandleButNotBesideTwo) {
  sim::ClassPrinter& printer = Add("rk", kL5200Id, "4E4C5041000000A001");
  const platform::DeviceHandle program = world_.Files().Open(printer.InterfacePath());
  ASSERT_NE(program, platform::kInvalidDeviceHandle);
  std::string serial;
  EXPECT_EQ(ReadSerial(printer, 0, &serial), MORVALIB_OK);
  EXPECT_EQ(serial, "4E4C5041000000A001");
  EXPECT_EQ(world_.OpenHandles(), 1u) << "the program's handle stays; the library's is closed";

  const platform::DeviceHandle second = world_.Files().Open(printer.InterfacePath());
  ASSERT_NE(second, platform::kInvalidDeviceHandle);
  const std::uint64_t start = clock_.NowMs();
  EXPECT_EQ(ReadSerial(printer, 0), MORVALIB_E_NO_PRINTER) << "a third open is refused";
  EXPECT_EQ(clock_.NowMs() - start, 1500u) << "after the whole open wait";
  EXPECT_EQ(Live(), LiveObjects{});

  world_.Departures().Expect(sim::departure::kOverlappedHandleUsed);
  std::uint32_t done = 0;
  std::uint8_t byte = 0;
  world_.Files().Read(program, &byte, 1, &done);
  EXPECT_EQ(world_.Departures().Count(sim::departure::kOverlappedHandleUsed), 1u)
      << "the first handle used while a later one is open";
  world_.Files().Close(second);
  world_.Files().Read(program, &byte, 1, &done);
  EXPECT_EQ(world_.Departures().Count(sim::departure::kOverlappedHandleUsed), 1u);
  world_.Files().Close(program);
}

}  // namespace
}  // namespace nolpa::morvalib
