// The packet-protocol side's misbehaviour switches, and the departures it
// notes for everything a correct host would not send.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/tests/d4_peripheral_test_support.h"

namespace nolpa::sim {
namespace {

using namespace testing;

const Bytes kReadReply = Text("tp:01F0:344534433530343130303030303041303031;\x0C");

std::vector<SwitchCase> SwitchCases() {
  std::vector<SwitchCase> cases = {
      {"refuse revision",
       [](PeripheralFaults& f) { f.refuseRevision = true; },
       {{kEntry, {}}, {kInit, {0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x80, 0x02, 0x10}}}},
      {"other revision asked",
       [](PeripheralFaults&) {},
       {{kEntry, {}},
        {{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x20},
         {0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x80, 0x02, 0x10}}}},
      {"error instead of every reply",
       [](PeripheralFaults& f) { f.errorCode = 0x80; },
       {{kEntry, {}}, {kInit, ErrorPacket(0x00, 0x80)}}},
      {"wrong sockets",
       [](PeripheralFaults& f) { f.wrongSockets = true; },
       {{kEntry, {}},
        {kInit, {0x02, 0x02, 0x00, 0x09, 0x01, 0x00, 0x80, 0x00, 0x10}},
        {kOpenControl,
         {0x02, 0x02, 0x00, 0x10, 0x01, 0x00, 0x81, 0x00, 0x02, 0x02, 0x00, 0x40, 0x02, 0x00, 0x00,
          0x00}},
        {kCreditOne, {0x02, 0x02, 0x00, 0x0A, 0x01, 0x00, 0x83, 0x00, 0x02, 0x02}},
        {kCreditRequest, {0x02, 0x02, 0x00, 0x0C, 0x01, 0x00, 0x84, 0x00, 0x02, 0x02, 0x00, 0x01}},
        {DataPacket(0x02, kReadL5200), DataPacket(0x40, kReadReply)}}},
      {"no credit", [](PeripheralFaults& f) { f.noCredit = true; },
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {kCreditRequest,
               {0x00, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x84, 0x00, 0x02, 0x02, 0x00, 0x00}}}})},
      {"silent from OpenChannel", [](PeripheralFaults& f) { f.silentFrom = 0x01; },
       Join({kEnterAndInit, {{kOpenControl, {}}, {kCreditOne, {}}, {kCloseControl, {}}}})},
      {"silent commands", [](PeripheralFaults& f) { f.silentCommands = true; },
       Join({kOpenWithCredit, {{DataPacket(0x02, kReadL5200), {}}, {kRemoteStatus, {}}}})},
      {"smaller packets granted", [](PeripheralFaults& f) { f.packetSizeLimit = 32; },
       Join({kEnterAndInit,
             {{kOpenControl,
               {0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x81, 0x00, 0x02, 0x02, 0x00, 0x20, 0x00, 0x20,
                0x00, 0x00}},
              {kCreditOne, kCreditOk},
              {kCreditRequest, kCreditRequestOk},
              {DataPacket(0x02, kReadL5200),
               DataPacket(0x02, Bytes(kReadReply.begin(), kReadReply.begin() + 26))},
              {kCreditOne, Cat({kCreditOk, DataPacket(0x02, Bytes(kReadReply.begin() + 26,
                                                                  kReadReply.end()))})}}})},
  };
  const Bytes status = Text("@BDC ST\r\nST:04;RV:5.10;\x0C");  // 25 bytes
  Bytes lastStatusPacket = DataPacket(0x02, status);
  lastStatusPacket[5] = 0x02;  // end of message
  cases.push_back(
      {"18-byte payloads to the host", [](PeripheralFaults& f) { f.toHostPacketLimit = 24; },
       Join({kEnterAndInit,
             {{kOpenControl,
               {0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x81, 0x00, 0x02, 0x02, 0x00, 0x40, 0x00, 0x18,
                0x00, 0x00}},
              {kCreditOne, kCreditOk},
              {kCreditRequest, kCreditRequestOk},
              {DataPacket(0x02, kStatus),
               DataPacket(0x02, Bytes(status.begin(), status.begin() + 18))},
              {kCreditOne,
               Cat({kCreditOk, DataPacket(0x02, Bytes(status.begin() + 18, status.end()))})},
              {kCreditOne, kCreditOk}}})});
  cases.push_back({"end of message flagged", [](PeripheralFaults& f) { f.endOfMessage = true; },
                   Join({kOpenWithCredit, {{DataPacket(0x02, kStatus), lastStatusPacket}}})});
  cases.push_back({"entry string answered",
                   [](PeripheralFaults& f) {
                     f.entryAnswer = {0xAA, 0xBB};
                   },
                   {{kEntry, {0xAA, 0xBB}}, {kInit, kInitOk}}});
  cases.push_back({"credit granted unasked", [](PeripheralFaults& f) { f.unaskedCredit = true; },
                   Join({kEnterAndInit,
                         {{kOpenControl, Cat({kOpenControlOk,
                                              {0x00, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x03, 0x02, 0x02,
                                               0x00, 0x01}})},
                          {{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x83, 0x00, 0x02, 0x02}, {}},
                          {DataPacket(0x02, kStatus), {}},  // sent on the printer's credit
                          {kCloseControl, kCloseControlOk},
                          {kExit, kExitOk}}})});
  cases.push_back({"Exit before Init",
                   [](PeripheralFaults& f) { f.refuseRevision = true; },
                   {{kEntry, {}},
                    {kInit, {0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x80, 0x02, 0x10}},
                    {kExit, kExitOk},
                    {kRemoteStatus, status}}});
  cases.push_back({"entry string again in packet mode", [](PeripheralFaults&) {},
                   Join({kOpenWithCredit, {{kEntry, {}}, {kInit, kInitOk}, {kExit, kExitOk}}})});
  // An Error packet of each kind in place of the OpenChannel reply.
  for (const std::uint8_t code : {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x90}) {
    cases.push_back({"error " + std::to_string(code) + " on OpenChannel",
                     [code](PeripheralFaults& f) {
                       f.errorCode = code;
                       f.errorOn = 0x01;
                     },
                     Join({kEnterAndInit, {{kOpenControl, ErrorPacket(0x02, code)}}})});
  }
  return cases;
}

TEST_F(SimPeripheralFaultTest, MisbehavesAsSwitched) { RunCases(SwitchCases()); }

TEST_F(SimPeripheralFaultTest, ErrorOnExitStillEndsPacketMode) {
  printer->Faults().peripheral.errorCode = 0x87;
  printer->Faults().peripheral.errorOn = 0x08;
  EXPECT_EQ(Send(kEntry), Bytes{});
  EXPECT_EQ(Send(kInit), kInitOk);
  EXPECT_EQ(Send(kExit), ErrorPacket(0x00, 0x87));
  EXPECT_FALSE(printer->Peripheral().InPacketMode());
}

struct DepartureCase {
  const char* kind;
  Steps steps;
  std::function<void(PeripheralFaults&)> set = [](PeripheralFaults&) {};
};

std::vector<DepartureCase> DepartureCases() {
  const Bytes smallOpen = {0x00, 0x00, 0x00, 0x11, 0x01, 0x00, 0x01, 0x02, 0x02,
                           0x00, 0x10, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
  const Bytes smallOpenOk = {0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x81, 0x00,
                             0x02, 0x02, 0x00, 0x10, 0x02, 0x00, 0x00, 0x00};
  const Bytes refusedOpen = {0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x81, 0x01,
                             0x02, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  return {
      {departure::kPacketBeforeEntry, {{kInit, {}}}},
      {departure::kTransactionLength,
       {{kEntry, {}},
        {{0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x00, 0x10, 0x00}, ErrorPacket(0x00, 0x80)}}},
      {departure::kTransactionLength,
       {{kEntry, {}}, {{0x00, 0x00, 0x00, 0x03, 0x01, 0x00}, ErrorPacket(0x00, 0x80)}}},
      {departure::kTransactionHeader,
       {{kEntry, {}}, {{0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x10}, kInitOk}}},
      {departure::kTransactionHeader,
       Join({kEnterAndInit, {{{0x00, 0x00, 0x00, 0x07, 0x01, 0x01, 0x08}, kExitOk}}})},
      {departure::kTransactionBeforeInit, {{kEntry, {}}, {kOpenControl, ErrorPacket(0x00, 0x80)}}},
      {departure::kUnknownTransaction,
       Join({kEnterAndInit,
             {{{0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x09}, ErrorPacket(0x00, 0x80)}}})},
      {departure::kInitTwice, Join({kEnterAndInit, {{kInit, kInitOk}}})},
      {departure::kChannelOpenedTwice, Join({kOpenWithCredit, {{kOpenControl, refusedOpen}}})},
      {departure::kChannelNotOpen,
       Join({kEnterAndInit, {{DataPacket(0x40, Text("x")), ErrorPacket(0x40, 0x84)}}})},
      {departure::kChannelNotOpen,
       Join({kEnterAndInit,
             {{kCloseControl, {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x82, 0x01, 0x02, 0x02}}}})},
      {departure::kDataWithoutCredit,
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {DataPacket(0x02, kStatus), ErrorPacket(0x02, 0x81)}}})},
      {departure::kPacketTooLong,
       Join({kEnterAndInit,
             {{smallOpen, smallOpenOk},
              {kCreditRequest, kCreditRequestOk},
              {DataPacket(0x02, SerialWrite({0x27, 0x03, 0xF0}, "4E4C50410000001234")),
               ErrorPacket(0x02, 0x83)}}})},
      {departure::kChannelOpenAtExit, Join({kOpenWithCredit, {{kExit, kExitOk}}})},
      {departure::kMalformedCommand, Join({kOpenWithCredit,
                                           {{DataPacket(0x02, {'s', 't', 0x02, 0x00, 0x01, 0x00}),
                                             DataPacket(0x02, Text("st:NA;\x0C"))}}})},
      {departure::kMalformedCommand,
       Join({kOpenWithCredit,
             {{DataPacket(0x02, {'t', 'p', 0x03, 0x00, 0x01, 0x27, 0x03}),
               DataPacket(0x02, Text("tp:NA;\x0C"))}}})},
      {departure::kPrinterTransactionAnsweredWrongly,
       Join({kEnterAndInit,
             {{kOpenControl, Cat({kOpenControlOk, kPrinterCreditRequest})},
              {{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x84, 0x00, 0x02, 0x02}, {}}}}),  // no credit
       [](PeripheralFaults& f) {
         f.printerTransactions = {.kind = PrinterTransactions::Kind::CreditRequest};
       }},
      {departure::kPrinterTransactionAnsweredWrongly,
       Join({kEnterAndInit,
             {{kOpenControl, Cat({kOpenControlOk, kPrinterUnknown})},
              {{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xA0, 0x00}, {}}}}),  // success claimed
       [](PeripheralFaults& f) {
         f.printerTransactions = {.kind = PrinterTransactions::Kind::Unknown};
       }},
      {departure::kPrinterTransactionUnanswered,
       Join({kEnterAndInit,
             {{kOpenControl, Cat({kOpenControlOk, kPrinterCreditRequest})},
              {kCloseControl, kCloseControlOk},
              {kExit, kExitOk}}}),
       [](PeripheralFaults& f) {
         f.printerTransactions = {.kind = PrinterTransactions::Kind::CreditRequest};
       }},
  };
}

TEST_F(SimPeripheralFaultTest, NotesWhatACorrectHostWouldNotSend) {
  for (const auto& c : DepartureCases()) {
    SCOPED_TRACE(c.kind);
    const std::size_t before = world.Departures().Count(c.kind);
    const std::size_t allBefore = world.Departures().All().size();
    world.Departures().Expect(c.kind);
    printer->Faults().peripheral = {};
    c.set(printer->Faults().peripheral);
    Run(c.steps);
    EXPECT_EQ(world.Departures().Count(c.kind), before + 1);
    EXPECT_EQ(world.Departures().All().size(), allBefore + 1);  // that one and no other
  }
}

// A printer is told nothing when a handle closes: packet mode, the open
// channel and an answer nobody read are there for the next handle, until
// Exit. The close is noted: the host left the printer so.
TEST_F(SimPeripheralFaultTest, NotesADeviceClosedInPacketModeAndKeepsItsState) {
  world.Departures().Expect(departure::kClosedInPacketMode);
  world.Departures().Expect(departure::kChannelOpenAtClose);
  OpenControl();
  WriteAll(world, handle, DataPacket(0x02, kStatus));
  world.Files().Close(handle);
  EXPECT_EQ(world.Departures().Count(departure::kChannelOpenAtClose), 1u);
  EXPECT_EQ(world.Departures().Count(departure::kClosedInPacketMode), 1u);
  EXPECT_TRUE(printer->Peripheral().InPacketMode());
  handle = world.Files().Open(printer->InterfacePath());
  EXPECT_EQ(ReadDue(world, handle), DataPacket(0x02, Text("@BDC ST\r\nST:04;RV:5.10;\x0C")));
  CloseAndExit();
}

TEST_F(SimPeripheralFaultTest, NotesAnExitThatLeavesItsCreditUnanswered) {
  world.Departures().Expect(departure::kPrinterTransactionUnanswered);
  printer->Faults().peripheral.unaskedCredit = true;
  EXPECT_EQ(Send(Cat({kEntry, kInit})), kInitOk);
  EXPECT_EQ(
      Send(kOpenControl),
      Cat({kOpenControlOk, {0x00, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x03, 0x02, 0x02, 0x00, 0x01}}));
  EXPECT_EQ(Send(kCloseControl), kCloseControlOk);
  EXPECT_EQ(Send(kExit), kExitOk);
  EXPECT_EQ(world.Departures().Count(departure::kPrinterTransactionUnanswered), 1u);
}

}  // namespace
}  // namespace nolpa::sim
