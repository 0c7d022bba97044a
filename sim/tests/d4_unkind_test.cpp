// The switches that make a printer-class printer as unkind as IEEE 1284.4
// allows: what it sends for each host packet, and a property over random
// combinations of them.
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "sim/tests/d4_peripheral_test_support.h"

namespace nolpa::sim {
namespace {

using namespace testing;

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

TEST_F(SimPeripheralFaultTest, IsAsUnkindAsThePacketProtocolAllows) { RunCases(UnkindCases()); }

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
