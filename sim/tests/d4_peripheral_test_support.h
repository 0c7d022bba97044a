#pragma once
// Host byte vectors for talking to a printer-class printer's packet-protocol
// side, written out from the packet layouts, and a fixture that sends them
// through the simulated device file.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "sim/core/virtual_clock.h"
#include "sim/tests/sim_test_support.h"
#include "sim/world.h"

namespace nolpa::sim::testing {

inline const Bytes kEntry = {0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Q', 'X',  'V',
                             ' ',  '1',  '2',  '8',  '4',  '.', '4', 0x0A, '@',
                             'Q',  'X',  'V',  0x0A, '@',  'Q', 'X', 'V',  0x0A};
inline const Bytes kInit = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x10};
inline const Bytes kInitOk = {0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x80, 0x00, 0x10};
// OpenChannel 0x02/0x02, 64 bytes to the printer, 512 back, four zero bytes.
inline const Bytes kOpenControl = {0x00, 0x00, 0x00, 0x11, 0x01, 0x00, 0x01, 0x02, 0x02,
                                   0x00, 0x40, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00};
inline const Bytes kOpenControlOk = {0x00, 0x00, 0x00, 0x10, 0x01, 0x00, 0x81, 0x00,
                                     0x02, 0x02, 0x00, 0x40, 0x02, 0x00, 0x00, 0x00};
inline const Bytes kCreditOne = {0x00, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x03, 0x02, 0x02, 0x00, 0x01};
inline const Bytes kCreditOk = {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x83, 0x00, 0x02, 0x02};
// CreditRequest: one credit, at most 30 outstanding.
inline const Bytes kCreditRequest = {0x00, 0x00, 0x00, 0x0D, 0x01, 0x00, 0x04,
                                     0x02, 0x02, 0x00, 0x01, 0x00, 0x1E};
inline const Bytes kCreditRequestOk = {0x00, 0x00, 0x00, 0x0C, 0x01, 0x00,
                                       0x84, 0x00, 0x02, 0x02, 0x00, 0x01};
inline const Bytes kCloseControl = {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x02, 0x02, 0x02, 0x00};
inline const Bytes kCloseControlOk = {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x82, 0x00, 0x02, 0x02};
inline const Bytes kExit = {0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x08};
inline const Bytes kExitOk = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x88, 0x00};

inline const Bytes kReadL5200 = {'t', 'p', 0x04, 0x00, 0x01, 0x27, 0x03, 0xF0};
inline const Bytes kReadL880 = {'t', 'p', 0x04, 0x00, 0x01, 0x0A, 0x43, 0xF0};
inline const Bytes kStatus = {'s', 't', 0x01, 0x00, 0x01};
inline const Bytes kRemoteStatus = {0x1B, '(',  'R',  0x08, 0x00, 0x00, 'R', 'E',
                                    'M',  'O',  'T',  'E',  '1',  'S',  'T', 0x02,
                                    0x00, 0x00, 0x01, 0x1B, 0x00, 0x00, 0x00};

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

// A data packet on socket `socket` (both sides) with header credit 0.
inline Bytes DataPacket(std::uint8_t socket, const Bytes& payload) {
  const std::size_t length = payload.size() + 6;
  Bytes p = {socket,
             socket,
             static_cast<std::uint8_t>(length >> 8),
             static_cast<std::uint8_t>(length & 0xFF),
             0x00,
             0x00};
  p.insert(p.end(), payload.begin(), payload.end());
  return p;
}

inline Bytes SerialWrite(const Bytes& model, std::string_view serial) {
  return Cat({{'t', 'p', 0x16, 0x00, 0x00}, model, Text(serial)});
}

// A printer-class printer opened through its device file.
class SimPeripheralTest : public ::testing::Test {
 protected:
  static constexpr char kD4Id[] = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;";

  ClassPrinter& Add(const std::string& deviceId, const std::string& serial = "4E4C5041000000A001") {
    printer = &world.AddClassPrinter(
        {.name = "rk", .deviceId = deviceId, .serial = serial, .firmware = "5.10"});
    handle = world.Files().Open(printer->InterfacePath());
    return *printer;
  }
  void SetUp() override { Add(kD4Id); }

  // Writes `bytes` and returns what the printer has sent back by now.
  Bytes Send(const Bytes& bytes) {
    WriteAll(world, handle, bytes);
    return ReadDue(world, handle);
  }
  // Enters packet mode, initialises and opens the control channel with
  // credit both ways.
  void OpenControl() {
    ASSERT_EQ(Send(kEntry), Bytes{});
    ASSERT_EQ(Send(kInit), kInitOk);
    ASSERT_EQ(Send(kOpenControl), kOpenControlOk);
    ASSERT_EQ(Send(kCreditOne), kCreditOk);
    ASSERT_EQ(Send(kCreditRequest), kCreditRequestOk);
  }
  void CloseAndExit() {
    EXPECT_EQ(Send(kCloseControl), kCloseControlOk);
    EXPECT_EQ(Send(kExit), kExitOk);
  }
  void TearDown() override {
    EXPECT_FALSE(printer->Peripheral().InPacketMode());
    world.Files().Close(handle);
  }

  VirtualClock clock;
  World world{clock};
  ClassPrinter* printer = nullptr;
  platform::DeviceHandle handle = platform::kInvalidDeviceHandle;
};

// One host packet and everything the printer sends back at once.
using Step = std::pair<Bytes, Bytes>;
using Steps = std::vector<Step>;

inline Steps Join(std::initializer_list<Steps> parts) {
  Steps all;
  for (const Steps& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline const Steps kEnterAndInit = {{kEntry, {}}, {kInit, kInitOk}};
inline const Steps kOpenWithCredit = Join({kEnterAndInit,
                                           {{kOpenControl, kOpenControlOk},
                                            {kCreditOne, kCreditOk},
                                            {kCreditRequest, kCreditRequestOk}}});
inline Bytes ErrorPacket(std::uint8_t socket, std::uint8_t code) {
  return {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x7F, socket, socket, code};
}

// A printer made to misbehave, and the host packets that show it.
struct SwitchCase {
  std::string name;
  std::function<void(PeripheralFaults&)> set;
  Steps steps;
};

// Runs host packets against the printer, each with what it must answer.
class SimPeripheralFaultTest : public SimPeripheralTest {
 protected:
  void Run(const Steps& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i)
      EXPECT_EQ(Send(steps[i].first), steps[i].second) << "step " << i;
    printer->PowerCycle();  // back to plain mode without a word to the host
  }
  void RunCases(const std::vector<SwitchCase>& cases) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      printer->Faults().peripheral = {};
      c.set(printer->Faults().peripheral);
      Run(c.steps);
    }
  }
};

// Transactions the printer starts, and the host's replies to them.
inline const Bytes kPrinterCredit = {0x00, 0x00, 0x00, 0x0B, 0x01, 0x00,
                                     0x03, 0x02, 0x02, 0x00, 0x01};
inline const Bytes kHostCreditOk = kCreditOk;  // the same bytes either way
inline const Bytes kPrinterCreditRequest = {0x00, 0x00, 0x00, 0x0D, 0x01, 0x00, 0x04,
                                            0x02, 0x02, 0x00, 0x01, 0x00, 0x08};
inline const Bytes kHostGrantsOne = {0x00, 0x00, 0x00, 0x0C, 0x01, 0x00,
                                     0x84, 0x00, 0x02, 0x02, 0x00, 0x01};
inline const Bytes kPrinterUnknown = {0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x20, 0x02, 0x02};
inline const Bytes kHostRefuses = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xA0, 0x01};
inline const Bytes kStatusReply = Text("@BDC ST\r\nST:04;RV:5.10;\x0C");

}  // namespace nolpa::sim::testing
