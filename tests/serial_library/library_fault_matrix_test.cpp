// The library's four exports under the fault matrix (fault_matrix_runner.h),
// called as a program calls them, on a printer-class printer reached three
// ways: by its device file, and through the channel API of a spooler printer
// whose driver names the API in the registry or in its INI data file; by
// its device file also when the printer holds an earlier call's replies and
// answers the entry string, and when it sends its replies in small packets
// and grants credit unasked. Every request of the lookup (device tree, hub
// files, interfaces, spooler, registry, system folders, module loading) and
// every channel-API operation fails in turn. A failure may make an export
// fail, or send it down the direct port instead; it never makes one report
// an answer the fault-free run would not give, nor leaves the printer in
// packet mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "tests/serial_library/channel_api_harness.h"
#include "tests/support/fault_matrix_runner.h"
#include "tests/support/library_entry_points.h"

namespace nolpa {
namespace {

using testing::FaultRig;
using testing::Path;

constexpr char kSerial[] = "0123456789ABCDEF01";
constexpr char kNewSerial[] = "0123456789ABCDEF02";
constexpr char kFirmware[] = "5.10";
using testing::kChannelApiKey;
using testing::kDriverFolder;
using testing::kSystemFolder;
constexpr const char* kDriver = testing::kDriverName;
// The serial-number read command for model 0.
constexpr unsigned char kReadSerial[] = {'t', 'p', 0x04, 0x00, 0x01, 0x27, 0x03, 0xF0};

enum class Route {
  DirectPort,
  ApiByRegistry,
  ApiByIni,
  DirectPortStalePrinter,
  DirectPortSmallPackets
};

const char* RouteName(Route route) {
  switch (route) {
    case Route::DirectPort: return "direct port";
    case Route::ApiByRegistry: return "channel API named in the registry";
    case Route::ApiByIni: return "channel API named in the driver INI";
    case Route::DirectPortStalePrinter: return "direct port, stale replies waiting";
    case Route::DirectPortSmallPackets: return "direct port, small packets";
  }
  return "";
}

bool Direct(Route route) {
  return route == Route::DirectPort || route == Route::DirectPortStalePrinter ||
         route == Route::DirectPortSmallPackets;
}

// An earlier call's late answer, close and Exit replies, still queued.
std::vector<std::uint8_t> StaleReplies() {
  return {0x02, 0x02, 0x00, 0x0B, 0x00, 0x00, 't',  'p',  ':',  ';',  0x0C, 0x00, 0x00, 0x00, 0x0A,
          0x01, 0x00, 0x82, 0x00, 0x02, 0x02, 0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x88, 0x00};
}

// The printer, plugged on the rig's bus, and what lets the library reach it
// by `route`; the library's services installed.
void Arrange(FaultRig& r, Route route) {
  sim::ClassPrinterConfig config;
  config.name = "k";
  config.deviceId = "MFG:M;MDL:RK-L5200;CMD:D4;";
  config.serial = kSerial;
  config.firmware = kFirmware;
  sim::ClassPrinter& printer = r.h.world.AddClassPrinter(config);
  sim::PeripheralFaults& faults = printer.Faults().peripheral;
  if (route == Route::DirectPortStalePrinter) {
    printer.Channel().QueueReply(StaleReplies(), r.h.clock.NowMs(), {});
    faults.entryAnswer = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xD1, 0x00};
  } else if (route == Route::DirectPortSmallPackets) {
    faults.toHostPacketLimit = 24;
    faults.unaskedCredit = true;
  }
  if (!Direct(route)) {
    r.spooler.SetSystemDirectory(kSystemFolder);
    r.spooler.AddDriver({.name = kDriver,
                         .driverPath = std::string(kDriverFolder) + "\\NLLINE.DLL",
                         .dataFile = "NLLINE.INI"});
    if (route == Route::ApiByRegistry) {
      r.spooler.SetMachineString(kChannelApiKey, "ZQAPI32", "ZQAPI2.DLL");
      r.AddChannelApi(std::string(kSystemFolder) + "\\ZQAPI2.DLL");
    } else {
      // A name of its own: the file sits beside the driver.
      r.spooler.SetIniFile(std::string(kDriverFolder) + "\\NLLINE.INI",
                           "[User Mode Printer Driver Information]\nZQAPII=NLAPI.DLL\n");
      r.AddChannelApi(std::string(kDriverFolder) + "\\NLAPI.DLL");
    }
    r.spooler.AddPrinter({.name = "Line 1", .port = "USB001", .driver = kDriver, .device = "k"});
    r.spooler.SetInterfaceValues("k", {.portNumber = 1u});
  }
  r.InstallLibraryServices();
}

std::string DevicePath(FaultRig& r) { return r.h.world.PrinterClass("k").InterfacePath(); }

// The printer's answer to kReadSerial: its serial number in hexadecimal.
std::string SerialReply() {
  std::string reply = "tp:01F0:";
  for (const char c : std::string(kSerial)) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
    reply += pair;
  }
  return reply + ";\x0C";
}

// What one export gave: its result and the text or bytes it handed back.
struct Answer {
  int result = 1;
  std::string text;
};

// An export's answer is a failure code, or the one the fault-free run gave;
// the fault-free run gives `truth`. `first` holds the fault-free answer.
void CheckAnswer(const Answer& got, const std::shared_ptr<std::string>& first,
                 const std::string& truth, bool clean) {
  EXPECT_LE(got.result, 0) << "a result that is no code";
  if (clean) {
    EXPECT_EQ(got.result, MORVALIB_OK);
    EXPECT_EQ(got.text, truth);
    *first = got.text;
  } else if (got.result == MORVALIB_OK) {
    EXPECT_EQ(got.text, *first) << "success with an answer the fault-free run did not give";
  }
}

Path ExportPath(const std::string& name, Route route,
                const std::function<Answer(FaultRig&, const char*)>& call,
                const std::string& truth) {
  auto answer = std::make_shared<Answer>();
  auto first = std::make_shared<std::string>();
  return {name + ", " + RouteName(route), [route](FaultRig& r) { Arrange(r, route); },
          [answer, call](FaultRig& r) { *answer = call(r, DevicePath(r).c_str()); },
          [answer, first, truth, route](FaultRig& r, bool clean) {
            CheckAnswer(*answer, first, truth, clean);
            // Without faults the route arranged is the one taken.
            if (clean) {
              EXPECT_EQ(r.api.ChannelsOpenedTotal() > 0, !Direct(route));
            }
            // Whatever failed, the call left the printer in its plain mode.
            EXPECT_FALSE(r.h.world.PrinterClass("k").Peripheral().InPacketMode());
            EXPECT_EQ(morvalib::Live(), morvalib::LiveObjects{});
          }};
}

std::vector<Path> ExportPaths() {
  std::vector<Path> paths;
  for (const Route route : {Route::DirectPort, Route::ApiByRegistry, Route::ApiByIni,
                            Route::DirectPortStalePrinter, Route::DirectPortSmallPackets}) {
    paths.push_back(ExportPath(
        "GetUSBSerialNumber", route,
        [](FaultRig&, const char* path) {
          char text[64] = {};
          int length = 0;
          const int result = testing::kGetSerial(path, text, sizeof text, &length, 0);
          return Answer{result, text};
        },
        kSerial));
    // The printer takes a new serial number at its next restart: what it
    // holds then is the answer of a write that reports success.
    paths.push_back(ExportPath(
        "SetUSBSerialNumber", route,
        [](FaultRig& r, const char* path) {
          const int result = testing::kSetSerial(path, kNewSerial, 0);
          sim::ClassPrinter& printer = r.h.world.PrinterClass("k");
          printer.PowerCycle();
          return Answer{result, printer.Serial()};
        },
        kNewSerial));
    paths.push_back(ExportPath(
        "GetPrinterFirmwareVersion", route,
        [](FaultRig&, const char* path) {
          char text[64] = {};
          int length = 0;
          const int result = testing::kGetFirmware(path, text, sizeof text, &length);
          return Answer{result, text};
        },
        kFirmware));
    paths.push_back(ExportPath(
        "SendReceiveD4Command", route,
        [](FaultRig&, const char* path) {
          unsigned char reply[1024] = {};
          int length = 0;
          const int result = testing::kSendReceive(path, kReadSerial, sizeof kReadSerial, reply,
                                                   sizeof reply, &length);
          return Answer{result, std::string(reinterpret_cast<const char*>(reply),
                                            static_cast<std::size_t>(std::clamp(length, 0, 1024)))};
        },
        SerialReply()));
  }
  return paths;
}

class LibraryFaultMatrix : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LibraryFaultMatrix, NoFailureIsReportedAsAnAnswerAndNothingIsHeld) {
  const Path path = ExportPaths().at(GetParam());
  const testing::Tally t = testing::RunPath(path);
  EXPECT_TRUE(t.failing.empty());
}

INSTANTIATE_TEST_SUITE_P(Exports, LibraryFaultMatrix,
                         ::testing::Range<std::size_t>(0, ExportPaths().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           return testing::PathTestName(ExportPaths().at(info.param).name);
                         });

}  // namespace
}  // namespace nolpa
