// The four exports as a program binds them, against a simulated world with
// one printer-class printer: argument checks before any device is touched,
// the out-parameter rules on failure, and "no printer" for every path while
// no USB tracing services are installed (no device can be traced to its
// socket).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "sim/core/virtual_clock.h"
#include "sim/world.h"
#include "tests/support/allocation_failure.h"
#include "tests/support/library_entry_points.h"

namespace nolpa::morvalib {
namespace {

using testing::kGetFirmware;
using testing::kGetSerial;
using testing::kSendReceive;
using testing::kSetSerial;

constexpr int kUntouched = 12345;

class LibraryExports : public ::testing::Test {
 protected:
  LibraryExports() {
    printer_ = &world_.AddClassPrinter({.name = "rk",
                                        .deviceId = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;",
                                        .serial = "4E4C5041000000A001",
                                        .firmware = "1.20"});
    EXPECT_TRUE(InstallServices({.files = &world_.Files(), .clock = &clock_}));
  }
  ~LibraryExports() override { RemoveServices(); }

  std::string PrinterPath() const { return printer_->InterfacePath(); }
  // Nothing reached any device: no open, no request.
  void ExpectNothingTouched() const {
    EXPECT_TRUE(world_.Recorder().Requests().empty())
        << ::testing::PrintToString(world_.Recorder().Transcript());
    EXPECT_EQ(world_.OpenHandles(), 0u);
  }

  sim::VirtualClock clock_;
  sim::World world_{clock_};
  sim::ClassPrinter* printer_ = nullptr;
};

struct CallOutcome {
  int result;
  int length;  // the length out-parameter after the call
};
using ExportCall = std::function<CallOutcome(const char* path)>;

struct ArgumentCase {
  const char* name;
  ExportCall call;  // called with the printer's own path
};

const std::vector<ArgumentCase>& NullArgumentCases() {
  static const std::vector<ArgumentCase> cases = {
      {"GetUSBSerialNumber without path",
       [](const char*) {
         char b[64];
         int n = kUntouched;
         return CallOutcome{kGetSerial(nullptr, b, 64, &n, 0), n};
       }},
      {"GetUSBSerialNumber without length",
       [](const char* p) {
         char b[64];
         return CallOutcome{kGetSerial(p, b, 64, nullptr, 0), kUntouched};
       }},
      {"SetUSBSerialNumber without path",
       [](const char*) {
         return CallOutcome{kSetSerial(nullptr, "4E4C5041000000A002", 0), kUntouched};
       }},
      {"SetUSBSerialNumber without serial",
       [](const char* p) {
         return CallOutcome{kSetSerial(p, nullptr, 1), kUntouched};
       }},
      {"SetUSBSerialNumber with empty serial",
       [](const char* p) {
         return CallOutcome{kSetSerial(p, "", 0), kUntouched};
       }},
      {"SetUSBSerialNumber with 17 characters",
       [](const char* p) {
         return CallOutcome{kSetSerial(p, "4E4C5041000000A00", 0), kUntouched};
       }},
      {"GetPrinterFirmwareVersion without path",
       [](const char*) {
         char b[128];
         int n = kUntouched;
         return CallOutcome{kGetFirmware(nullptr, b, 128, &n), n};
       }},
      {"GetPrinterFirmwareVersion without length",
       [](const char* p) {
         char b[128];
         return CallOutcome{kGetFirmware(p, b, 128, nullptr), kUntouched};
       }},
      {"SendReceiveD4Command without path",
       [](const char*) {
         const unsigned char c[] = {'s', 't', 1, 0, 1};
         unsigned char r[64];
         int n = kUntouched;
         return CallOutcome{kSendReceive(nullptr, c, 5, r, 64, &n), n};
       }},
      {"SendReceiveD4Command without command",
       [](const char* p) {
         unsigned char r[64];
         int n = kUntouched;
         return CallOutcome{kSendReceive(p, nullptr, 5, r, 64, &n), n};
       }},
      {"SendReceiveD4Command without replyLength",
       [](const char* p) {
         const unsigned char c[] = {'s', 't', 1, 0, 1};
         unsigned char r[64];
         return CallOutcome{kSendReceive(p, c, 5, r, 64, nullptr), 0};
       }},
  };
  return cases;
}

TEST_F(LibraryExports, MissingArgumentsAreRefusedBeforeAnyDeviceIsTouched) {
  for (const ArgumentCase& c : NullArgumentCases()) {
    SCOPED_TRACE(c.name);
    const CallOutcome outcome = c.call(PrinterPath().c_str());
    EXPECT_EQ(outcome.result, MORVALIB_E_ARGUMENT);
    const bool isExchange = std::string(c.name).starts_with("SendReceive");
    // The exchange clears its reply length at entry; the text exports leave
    // theirs alone on failure.
    EXPECT_EQ(outcome.length, isExchange ? 0 : kUntouched);
  }
  ExpectNothingTouched();
}

TEST_F(LibraryExports, EveryPathFindsNoPrinterAndLeavesTheOutParametersAlone) {
  const std::string printerPath = PrinterPath();
  const std::vector<std::string> paths = {
      printerPath,                                     // well formed, and the printer is there
      "",                                              // empty
      "usb#vid_0f1a&pid_0520#a1#{x}",                  // no "\\?\"
      "\\\\.\\usb#vid_0f1a&pid_0520#a1#{x}",           // "\\.\" instead
      "\\\\?\\usb#vid_0f1a&pid_0520#a1",               // two "#"-ended parts only
      "\\\\?\\usb##a1#{x}",                            // an empty part
      "\\\\?\\usb#" + std::string(300, 'v') + "#a1#",  // identifier too long
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    char buffer[64] = "unchanged";
    int length = kUntouched;
    EXPECT_EQ(kGetSerial(path.c_str(), buffer, 64, &length, 1), MORVALIB_E_NO_PRINTER);
    EXPECT_EQ(length, kUntouched);
    EXPECT_STREQ(buffer, "unchanged");
    EXPECT_EQ(kGetFirmware(path.c_str(), buffer, 64, &length), MORVALIB_E_NO_PRINTER);
    EXPECT_EQ(length, kUntouched);
    EXPECT_STREQ(buffer, "unchanged");
    EXPECT_EQ(kSetSerial(path.c_str(), "4E4C5041000000A002", 0), MORVALIB_E_NO_PRINTER);

    const unsigned char command[] = {'s', 't', 1, 0, 1};
    unsigned char reply[4] = {7, 7, 7, 7};
    int replyLength = kUntouched;
    EXPECT_EQ(kSendReceive(path.c_str(), command, 5, reply, 4, &replyLength),
              MORVALIB_E_NO_PRINTER);
    EXPECT_EQ(replyLength, 0) << "cleared at entry, even when the call fails at once";
    EXPECT_EQ(reply[0], 7);
  }
  ExpectNothingTouched();
  EXPECT_EQ(printer_->Serial(), "4E4C5041000000A001");
}

TEST_F(LibraryExports, WithoutServicesNoPrinterIsFound) {
  RemoveServices();
  int length = kUntouched;
  EXPECT_EQ(kGetSerial(PrinterPath().c_str(), nullptr, 0, &length, 0), MORVALIB_E_NO_PRINTER);
  EXPECT_EQ(length, kUntouched);
}

// Memory running out as an export starts, when it makes the process-wide
// lock, ends the call with -8 as any shortage does: no exception may reach
// the C caller, nor any device be touched.
TEST_F(LibraryExports, MemoryRunningOutAsACallStartsGivesMinusEight) {
  const std::string path = PrinterPath();
  const std::vector<std::pair<const char*, std::function<int()>>> calls = {
      {"GetUSBSerialNumber",
       [&] {
         char b[64];
         int n = 0;
         return kGetSerial(path.c_str(), b, 64, &n, 0);
       }},
      {"SetUSBSerialNumber", [&] { return kSetSerial(path.c_str(), "4E4C5041000000A002", 0); }},
      {"GetPrinterFirmwareVersion",
       [&] {
         char b[128];
         int n = 0;
         return kGetFirmware(path.c_str(), b, 128, &n);
       }},
      {"SendReceiveD4Command",
       [&] {
         const unsigned char c[] = {'s', 't', 1, 0, 1};
         unsigned char r[64];
         int n = 0;
         return kSendReceive(path.c_str(), c, 5, r, 64, &n);
       }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    int result = 0;
    {
      const testing::AllocationFailure firstFails(1);
      EXPECT_NO_THROW(result = call());
      EXPECT_GE(testing::AllocationsSinceArmed(), 1u) << "the call allocated nothing";
    }
    EXPECT_EQ(result, MORVALIB_E_MEMORY);
    EXPECT_EQ(Live(), LiveObjects{});
  }
  ExpectNothingTouched();
}

TEST(LibraryServicesSeam, IncompleteOrForeignServicesAreRefused) {
  sim::VirtualClock clock;
  sim::World world(clock);
  EXPECT_FALSE(InstallServices({.files = &world.Files(), .clock = nullptr}));
  EXPECT_FALSE(InstallServices({.files = nullptr, .clock = &clock}));
  EXPECT_FALSE(InstallServices(
      {.structSize = sizeof(LibraryServices) + 4, .files = &world.Files(), .clock = &clock}));
  EXPECT_EQ(Services().files, nullptr) << "a refused record changes nothing";
  EXPECT_TRUE(InstallServices({.files = &world.Files(), .clock = &clock}));
  EXPECT_EQ(Services().clock, &clock);
  RemoveServices();
  EXPECT_EQ(Services().files, nullptr);
}

}  // namespace
}  // namespace nolpa::morvalib
