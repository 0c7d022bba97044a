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

// One host packet and everything the printer sends back at once.
using Step = std::pair<Bytes, Bytes>;
using Steps = std::vector<Step>;

Steps Join(std::initializer_list<Steps> parts) {
  Steps all;
  for (const Steps& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Steps kEnterAndInit = {{kEntry, {}}, {kInit, kInitOk}};
const Steps kOpenWithCredit = Join({kEnterAndInit,
                                    {{kOpenControl, kOpenControlOk},
                                     {kCreditOne, kCreditOk},
                                     {kCreditRequest, kCreditRequestOk}}});
const Bytes kReadReply = Text("tp:01F0:344534433530343130303030303041303031;\x0C");

Bytes ErrorPacket(std::uint8_t socket, std::uint8_t code) {
  return {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x7F, socket, socket, code};
}

class SimPeripheralFaultTest : public SimPeripheralTest {
 protected:
  void Run(const Steps& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i)
      EXPECT_EQ(Send(steps[i].first), steps[i].second) << "step " << i;
    printer->PowerCycle();  // back to plain mode without a word to the host
  }
};

struct SwitchCase {
  std::string name;
  std::function<void(PeripheralFaults&)> set;
  Steps steps;
};

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

TEST_F(SimPeripheralFaultTest, MisbehavesAsSwitched) {
  for (const auto& c : SwitchCases()) {
    SCOPED_TRACE(c.name);
    printer->Faults().peripheral = {};
    c.set(printer->Faults().peripheral);
    Run(c.steps);
  }
}

// Transactions the printer starts, and the host's replies to them.
const Bytes kPrinterCredit = {0x00, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x03, 0x02, 0x02, 0x00, 0x01};
const Bytes kHostCreditOk = kCreditOk;  // the same bytes either way
const Bytes kPrinterCreditRequest = {0x00, 0x00, 0x00, 0x0D, 0x01, 0x00, 0x04,
                                     0x02, 0x02, 0x00, 0x01, 0x00, 0x08};
const Bytes kHostGrantsOne = {0x00, 0x00, 0x00, 0x0C, 0x01, 0x00,
                              0x84, 0x00, 0x02, 0x02, 0x00, 0x01};
const Bytes kPrinterUnknown = {0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x20, 0x02, 0x02};
const Bytes kHostRefuses = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xA0, 0x01};
const Bytes kStatusReply = Text("@BDC ST\r\nST:04;RV:5.10;\x0C");

PrinterTransactions Started(PrinterTransactions::Kind kind, std::optional<std::uint8_t> on,
                            std::uint32_t count = 1, bool flood = false) {
  return {.kind = kind, .on = on, .count = count, .flood = flood};
}

std::vector<SwitchCase> UnkindCases() {
  using Kind = PrinterTransactions::Kind;
  const Bytes write = DataPacket(0x02, SerialWrite({0x27, 0x03, 0xF0}, "4E4C50410000001234"));
  Bytes creditInHeader = DataPacket(0x02, kStatusReply);
  creditInHeader[4] = 0x02;
  return {
      {"an earlier answer sent on the host's credit, the real one on the next",
       [](PeripheralFaults& f) {
         f.staleAnswer = Text("tp:00F0:OK;\x0C");
         f.writeAnswer = WriteAnswer::NotAvailable;
       },
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {kCreditOne, Cat({kCreditOk, DataPacket(0x02, Text("tp:00F0:OK;\x0C"))})},
              {kCreditRequest, kCreditRequestOk},
              {write, {}},
              {kCreditOne, Cat({kCreditOk, DataPacket(0x02, Text("tp:00F0:NA;\x0C"))})}}})},
      {"answers dropped at CloseChannel", [](PeripheralFaults&) {},
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {kCreditRequest, kCreditRequestOk},
              {DataPacket(0x02, kStatus), {}},
              {kCloseControl, kCloseControlOk},
              {kOpenControl, kOpenControlOk},
              {kCreditOne, kCreditOk}}})},
      {"answers kept over CloseChannel", [](PeripheralFaults& f) { f.keepAnswers = true; },
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {kCreditRequest, kCreditRequestOk},
              {DataPacket(0x02, kStatus), {}},
              {kCloseControl, kCloseControlOk},
              {kOpenControl, kOpenControlOk},
              {kCreditOne, Cat({kCreditOk, DataPacket(0x02, kStatusReply)})}}})},
      {"answers kept over a new start", [](PeripheralFaults& f) { f.keepAnswers = true; },
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {kCreditRequest, kCreditRequestOk},
              {DataPacket(0x02, kStatus), {}},
              {kEntry, {}},
              {kInit, kInitOk},
              {kOpenControl, kOpenControlOk},
              {kCreditOne, Cat({kCreditOk, DataPacket(0x02, kStatusReply)})},
              {kCloseControl, kCloseControlOk}}})},
      {"credit 0, then a Credit of the printer's own",
       [](PeripheralFaults& f) { f.lateCreditMs = 0; },
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {kCreditOne, kCreditOk},
              {kCreditRequest,
               Cat({{0x00, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x84, 0x00, 0x02, 0x02, 0x00, 0x00},
                    kPrinterCredit})},
              {kHostCreditOk, {}},
              {DataPacket(0x02, kStatus), DataPacket(0x02, kStatusReply)}}})},
      {"a CreditRequest of the printer's, granted",
       [=](PeripheralFaults& f) { f.printerTransactions = Started(Kind::CreditRequest, 0x01); },
       Join({kEnterAndInit,
             {{kOpenControl, Cat({kOpenControlOk, kPrinterCreditRequest})},
              {kHostGrantsOne, {}},
              {kCreditRequest, kCreditRequestOk},
              {DataPacket(0x02, kStatus), DataPacket(0x02, kStatusReply)}}})},
      {"an unknown command of the printer's, refused",
       [=](PeripheralFaults& f) { f.printerTransactions = Started(Kind::Unknown, 0x03); },
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {kCreditOne, Cat({kCreditOk, kPrinterUnknown})},
              {kHostRefuses, {}},
              {kCreditOne, Cat({kCreditOk, kPrinterUnknown})},
              {kHostRefuses, {}}}})},
      {"three Credits at once",
       [=](PeripheralFaults& f) { f.printerTransactions = Started(Kind::Credit, 0x01, 3); },
       Join({kEnterAndInit,
             {{kOpenControl, Cat({kOpenControlOk, kPrinterCredit, kPrinterCredit, kPrinterCredit})},
              {Cat({kHostCreditOk, kHostCreditOk, kHostCreditOk}), {}},
              {DataPacket(0x02, kStatus), {}}}})},
      {"a Credit for every reply to one",
       [=](PeripheralFaults& f) { f.printerTransactions = Started(Kind::Credit, 0x01, 1, true); },
       Join({kEnterAndInit,
             {{kOpenControl, Cat({kOpenControlOk, kPrinterCredit})},
              {kHostCreditOk, kPrinterCredit},
              {kHostCreditOk, kPrinterCredit},
              {kHostCreditOk, kPrinterCredit}}})},
      {"Exit answered once the host answered the printer's Credit",
       [=](PeripheralFaults& f) { f.printerTransactions = Started(Kind::Credit, 0x08); },
       Join({kEnterAndInit, {{kExit, kPrinterCredit}, {kHostCreditOk, kExitOk}}})},
      {"CreditRequests started with a command's answer",
       [=](PeripheralFaults& f) {
         f.printerTransactions = Started(Kind::CreditRequest, std::nullopt, 2);
       },
       Join({kOpenWithCredit,
             {{DataPacket(0x02, kStatus),
               Cat({DataPacket(0x02, kStatusReply), kPrinterCreditRequest, kPrinterCreditRequest})},
              {Cat({kHostGrantsOne, kHostGrantsOne}), {}}}})},
      {"an Error packet unasked, once",
       [](PeripheralFaults& f) { f.unaskedError = UnaskedError{.code = 0x84, .on = 0x03}; },
       Join({kEnterAndInit,
             {{kOpenControl, kOpenControlOk},
              {kCreditOne, Cat({kCreditOk, ErrorPacket(0x02, 0x84)})},
              {kCreditOne, kCreditOk}}})},
      {"credit in the answers' headers", [](PeripheralFaults& f) { f.headerCredit = 2; },
       Join({kOpenWithCredit,
             {{DataPacket(0x02, kStatus), creditInHeader},
              {kCreditOne, kCreditOk},
              {DataPacket(0x02, kStatus), creditInHeader},
              {kCreditOne, kCreditOk},
              {DataPacket(0x02, kStatus), creditInHeader}}})},
  };
}

TEST_F(SimPeripheralFaultTest, IsAsUnkindAsThePacketProtocolAllows) {
  for (const auto& c : UnkindCases()) {
    SCOPED_TRACE(c.name);
    printer->Faults().peripheral = {};
    c.set(printer->Faults().peripheral);
    Run(c.steps);
  }
}

TEST_F(SimPeripheralFaultTest, GrantsTheCreditItRefusedLater) {
  printer->Faults().peripheral.lateCreditMs = 50;
  EXPECT_EQ(Send(Cat({kEntry, kInit, kOpenControl})), Cat({kInitOk, kOpenControlOk}));
  EXPECT_EQ(Send(kCreditRequest),
            Bytes({0x00, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x84, 0x00, 0x02, 0x02, 0x00, 0x00}));
  clock.Advance(49);
  EXPECT_EQ(ReadDue(world, handle), Bytes{});
  clock.Advance(1);
  EXPECT_EQ(ReadDue(world, handle), kPrinterCredit);
  EXPECT_EQ(Send(kHostCreditOk), Bytes{});
  CloseAndExit();
}

// In packet mode the entry string is a malformed transaction: the printer
// answers it with an Error packet, keeps its channel open and needs Exit.
TEST_F(SimPeripheralFaultTest, ReadsTheEntryStringAsAPacketWhereMadeTo) {
  world.Departures().Expect(departure::kTransactionHeader);
  world.Departures().Expect(departure::kUnknownTransaction);
  printer->Faults().peripheral.entryAsPacket = true;
  OpenControl();
  EXPECT_EQ(Send(kEntry), ErrorPacket(0x00, 0x80));
  EXPECT_EQ(world.Departures().Count(departure::kTransactionHeader), 1u);   // control byte 0x40
  EXPECT_EQ(world.Departures().Count(departure::kUnknownTransaction), 1u);  // command 0x51
  EXPECT_TRUE(printer->Peripheral().ChannelOpen(0x02));
  EXPECT_EQ(Send(kEntry), ErrorPacket(0x00, 0x80));
  CloseAndExit();
  EXPECT_EQ(Send(kEntry), Bytes{});  // out of packet mode it starts packet mode again
  EXPECT_TRUE(printer->Peripheral().InPacketMode());
  EXPECT_EQ(Send(kExit), kExitOk);
}

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

// Switches of an unkind printer drawn from `next`.
PeripheralFaults UnkindFaults(const std::function<std::uint32_t()>& next) {
  using Kind = PrinterTransactions::Kind;
  const std::optional<std::uint8_t> triggers[] = {std::nullopt, 0x01, 0x02, 0x03, 0x04, 0x08};
  PeripheralFaults f;
  if (next() % 2) f.staleAnswer = Text("tp:00F0:OK;\x0C");
  f.keepAnswers = next() % 2;
  if (next() % 2) f.lateCreditMs = 0;
  if (next() % 2)
    f.printerTransactions = PrinterTransactions{.kind = static_cast<Kind>(next() % 3),
                                                .on = triggers[next() % 6],
                                                .count = next() % 3,
                                                .flood = next() % 2 == 0};
  if (next() % 2)
    f.unaskedError = UnaskedError{.code = 0x80, .on = triggers[next() % 6], .count = 0};
  f.headerCredit = static_cast<std::uint8_t>(next() % 3);
  f.entryAsPacket = next() % 2;
  return f;
}

// Whatever a hostile host sends, and however unkind the printer is made,
// its output in packet mode is a run of whole packets, each at least a
// header and a command or data byte.
TEST(SimPeripheralFuzzTest, AnswersGarbageWithWholePackets) {
  std::uint32_t seed = 12345;
  const std::function<std::uint32_t()> next = [&seed] {
    return (seed = seed * 1103515245u + 12345u) >> 16;
  };
  const Bytes pieces[] = {kEntry,        kInit,          kOpenControl,
                          kCreditOne,    kCreditRequest, kExit,
                          kCloseControl, kHostCreditOk,  DataPacket(0x02, kStatus)};
  for (int round = 0; round < 400; ++round) {
    const PeripheralFaults faults = round % 2 ? UnkindFaults(next) : PeripheralFaults{};
    D4Peripheral peripheral(true,
                            ClassPrinterCommands("4E4C5041000000A001", "5.10", kModelBytesL5200));
    Bytes out;
    peripheral.Receive(Cat({kEntry, kInit, kOpenControl, kCreditOne, kCreditRequest}), faults, out);
    Bytes noise;
    for (std::uint32_t n = next() % 8; n > 0; --n) {
      const Bytes& piece = pieces[next() % std::size(pieces)];
      noise.insert(noise.end(), piece.begin(), piece.end());
    }
    for (std::uint32_t n = next() % 64; n > 0; --n)
      noise.push_back(static_cast<std::uint8_t>(next() % 5 == 0 ? next() : next() % 0x12));
    peripheral.Receive(noise, faults, out);
    std::size_t at = 0;
    while (at + 6 <= out.size()) {
      const std::size_t length = out[at + 2] << 8 | out[at + 3];
      ASSERT_GE(length, 7u) << "round " << round;
      at += length;
    }
    EXPECT_EQ(at, out.size()) << "round " << round;
  }
}

}  // namespace
}  // namespace nolpa::sim
