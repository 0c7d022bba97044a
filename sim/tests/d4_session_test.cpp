// A printer-class printer as the serial-number library's direct port meets
// it: the entry string, the 1284.4 transactions, the control-channel
// commands in data packets, and the status on the plain data path.
#include "sim/tests/d4_peripheral_test_support.h"

namespace nolpa::sim {
namespace {

using namespace testing;

struct ModelCase {
  const char* deviceId;
  Bytes read;
  Bytes otherModelRead;
};

class SimPeripheralSessionTest : public SimPeripheralTest,
                                 public ::testing::WithParamInterface<ModelCase> {};

TEST_P(SimPeripheralSessionTest, ReadsTheSerialNumberInAWholeSession) {
  printer->SetDeviceId(GetParam().deviceId);
  OpenControl();
  // 18 serial bytes as 36 hexadecimal digits.
  const Bytes answer = Text("tp:01F0:344534433530343130303030303041303031;\x0C");
  EXPECT_EQ(Send(DataPacket(0x02, GetParam().read)), DataPacket(0x02, answer));
  // Another model's bytes are refused; the reply waits for the next credit.
  EXPECT_EQ(Send(kCreditRequest), kCreditRequestOk);
  EXPECT_EQ(Send(DataPacket(0x02, GetParam().otherModelRead)), Bytes{});
  EXPECT_EQ(Send(kCreditOne), Cat({kCreditOk, DataPacket(0x02, Text("tp:01F0:NA;\x0C"))}));
  CloseAndExit();
  EXPECT_FALSE(printer->Peripheral().InPacketMode());
  // Back in plain mode: bytes are print data again.
  EXPECT_EQ(Send(Text("AB")), Bytes{});
  EXPECT_EQ(printer->Peripheral().Printed(), Text("AB"));
}

INSTANTIATE_TEST_SUITE_P(
    BothModels, SimPeripheralSessionTest,
    ::testing::Values(ModelCase{"MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;", kReadL5200, kReadL880},
                      ModelCase{"MFG:Nolpa;CMD:D4,NLP;MDL:RK-L880;", kReadL880, kReadL5200}));

TEST_F(SimPeripheralTest, KeepsAWrittenSerialNumberPendingUntilAPowerCycle) {
  OpenControl();
  const Bytes write = SerialWrite({0x27, 0x03, 0xF0}, "4E4C50410000001234");
  EXPECT_EQ(Send(DataPacket(0x02, write)), DataPacket(0x02, Text("tp:00F0:OK;\x0C")));
  EXPECT_EQ(printer->Serial(), "4E4C5041000000A001");
  EXPECT_EQ(Send(Cat({kCreditOne, kCreditRequest})), Cat({kCreditOk, kCreditRequestOk}));
  EXPECT_EQ(Send(DataPacket(0x02, kReadL5200)),
            DataPacket(0x02, Text("tp:01F0:344534433530343130303030303041303031;\x0C")));
  CloseAndExit();
  printer->PowerCycle();
  EXPECT_EQ(printer->Serial(), "4E4C50410000001234");
  EXPECT_FALSE(printer->Peripheral().Commands().PendingSerial());
}

TEST_F(SimPeripheralTest, UnpluggingCutsThePowerAndAppliesAPendingSerialNumber) {
  OpenControl();
  const Bytes write = SerialWrite({0x27, 0x03, 0xF0}, "4E4C50410000005678");
  EXPECT_EQ(Send(DataPacket(0x02, write)), DataPacket(0x02, Text("tp:00F0:OK;\x0C")));
  printer->Unplug();
  EXPECT_FALSE(printer->Peripheral().InPacketMode());
  EXPECT_EQ(printer->Serial(), "4E4C50410000005678");
}

// The same bytes whether the replies come as a stream or in USB transfers
// of either speed's packet size, read into buffers of a transfer or more.
TEST_F(SimPeripheralTest, TakesASessionWrittenInOneGoAndInSingleBytes) {
  const Bytes session = Cat({kEntry, kInit, kOpenControl, kCreditOne, kCreditRequest,
                             DataPacket(0x02, kStatus), kCloseControl, kExit});
  const Bytes expected =
      Cat({kInitOk, kOpenControlOk, kCreditOk, kCreditRequestOk,
           DataPacket(0x02, Text("@BDC ST\r\nST:04;RV:5.10;\x0C")), kCloseControlOk, kExitOk});
  for (const std::uint16_t packetSize : {0, 64, 512}) {
    SCOPED_TRACE(packetSize);
    printer->Faults().peripheral.usbPacketSize = packetSize;
    EXPECT_EQ(Send(session), expected);
    Bytes got;
    for (std::uint8_t b : session) {
      const Bytes part = Send({b});
      got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(got, expected);
  }
}

struct StatusCase {
  bool fieldList;
  Bytes reply;
};
const StatusCase kStatusCases[] = {
    {false, Text("@BDC ST\r\nST:04;RV:5.10;\x0C")},
    // Length 9: a status field (type 1) and the version field (type 8).
    {true,
     Cat({Text("@BDC ST2\r\n"), {0x09, 0x00, 0x01, 0x01, 0x04, 0x08, 0x04}, Text("5.10\x0C")})},
};

TEST_F(SimPeripheralTest, AnswersTheStatusOnTheControlChannelAndTheDataPath) {
  for (const auto& c : kStatusCases) {
    SCOPED_TRACE(c.fieldList ? "field list" : "text");
    printer->Faults().peripheral.statusFieldList = c.fieldList;
    // Plain mode: print data around the request stays print data.
    EXPECT_EQ(Send(Cat({Text("x"), kRemoteStatus, Text("y")})), c.reply);
    OpenControl();
    EXPECT_EQ(Send(DataPacket(0x02, kStatus)), DataPacket(0x02, c.reply));
    CloseAndExit();
  }
  EXPECT_EQ(printer->Peripheral().Printed(), Text("xyxy"));
}

TEST_F(SimPeripheralTest, WithoutD4TakesTheEntryAsPrintDataButStillAnswersTheStatus) {
  printer->SetDeviceId("MFG:Nolpa;CMD:NLP;MDL:RK-L880;");
  world.Departures().Expect(departure::kEntryWithoutD4);
  world.Departures().Expect(departure::kPacketBeforeEntry);
  EXPECT_EQ(Send(Cat({kEntry, kInit})), Bytes{});
  EXPECT_FALSE(printer->Peripheral().InPacketMode());
  EXPECT_EQ(printer->Peripheral().Printed(), Cat({kEntry, kInit}));
  EXPECT_EQ(world.Departures().Count(departure::kPacketBeforeEntry), 1u);
  EXPECT_EQ(Send(kRemoteStatus), Text("@BDC ST\r\nST:04;RV:5.10;\x0C"));
}

TEST_F(SimPeripheralTest, ReportsTheLptStatusBitAsConfigured) {
  for (const bool error : {false, true}) {
    printer->Faults().peripheral.lptError = error;
    const auto status = Ioctl(world, handle, kIoctlUsbPrintLptStatus, 64);
    ASSERT_TRUE(status.ok);
    ASSERT_EQ(status.out.size(), 1u);
    EXPECT_EQ(status.out[0] & 0x08, error ? 0 : 0x08);
  }
}

struct AnswerCase {
  const char* what;
  Bytes command;
  WriteAnswer writeAnswer;
  Bytes reply;
};
const AnswerCase kAnswerCases[] = {
    {"write refused", SerialWrite({0x27, 0x03, 0xF0}, "4E4C50410000001234"),
     WriteAnswer::NotAvailable, Text("tp:00F0:NA;\x0C")},
    {"write busy", SerialWrite({0x27, 0x03, 0xF0}, "4E4C50410000001234"), WriteAnswer::Busy,
     Text("tp:00F0:BUSY;\x0C")},
    {"write for another model", SerialWrite({0x0A, 0x43, 0xF0}, "4E4C50410000001234"),
     WriteAnswer::Ok, Text("tp:00F0:NA;\x0C")},
    {"unprintable serial", SerialWrite({0x27, 0x03, 0xF0}, std::string(17, 'A') + '\x01'),
     WriteAnswer::Ok, Text("tp:00F0:NA;\x0C")},
};

TEST_F(SimPeripheralTest, RefusesWritesItCannotOrMustNotApply) {
  OpenControl();
  for (const auto& c : kAnswerCases) {
    SCOPED_TRACE(c.what);
    printer->Faults().peripheral.writeAnswer = c.writeAnswer;
    EXPECT_EQ(Send(Cat({kCreditOne, kCreditRequest})), Cat({kCreditOk, kCreditRequestOk}));
    EXPECT_EQ(Send(DataPacket(0x02, c.command)), DataPacket(0x02, c.reply));
    EXPECT_FALSE(printer->Peripheral().Commands().PendingSerial());
  }
  CloseAndExit();
}

}  // namespace
}  // namespace nolpa::sim
