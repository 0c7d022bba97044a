// The open step of every export on a simulated USB bus: the device traced to
// its socket, the channel-API port when a spooler printer with the channel
// API sits on that socket, the direct port otherwise, the same answers
// through both, and nothing left open, loaded, locked or allocated.
#include <gtest/gtest.h>

#include <string>

#include "serial_library/channel_api.h"
#include "serial_library/live_objects.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/process_lock.h"
#include "serial_library/usb_location.h"
#include "sim/usb/usb_topology.h"
#include "tests/serial_library/channel_api_harness.h"
#include "tests/support/library_entry_points.h"

namespace nolpa::morvalib {
namespace {

using testing::kGetFirmware;
using testing::kGetSerial;
using testing::kSetSerial;

// The spooler and channel API of the harness, with the printers plugged into
// a hub the library traces them through.
struct LookupBench {
  LookupBench() {
    DropHubTable();
    h.services.deviceTree = &usb.Tree();
    h.services.hubFiles = &usb.HubFiles();
    h.services.interfaces = &usb.Interfaces();
    EXPECT_TRUE(InstallServices(h.services));
  }
  ~LookupBench() {
    EXPECT_EQ(usb.OpenHandles(), 0u);
    EXPECT_EQ(usb.OpenSets(), 0u);
    DropHubTable();
  }
  // After every call: no device file, lock, port, buffer or channel API.
  void ExpectNothingLeft() {
    EXPECT_EQ(h.world.OpenHandles(), 0u);
    EXPECT_EQ(Live(), LiveObjects{});
    EXPECT_FALSE(ProcessLockScope::LockExists());
    EXPECT_FALSE(channel_api::Loaded());
    EXPECT_EQ(h.api.OpenChannels(), 0u);
  }

  testing::ChannelApiHarness h;
  sim::UsbTopology usb{h.world};
  sim::UsbNodeId hub = usb.AddHub(usb.AddHostController(0, 2), 1, 8);
};

struct Route {
  const char* name;
  bool spoolerPrinter;    // the printer sits behind spooler printer "Line 1"
  const char* apiFile;    // the file the driver names for its channel API
  std::int32_t portKind;  // the port the open step must choose
};

const Route kRoutes[] = {
    {"not registered with the spooler", false, "ZQAPI2.DLL", kDirectPortKind},
    {"behind a spooler printer with the channel API", true, "ZQAPI2.DLL", kChannelApiPortKind},
    {"behind a spooler printer whose channel API is missing", true, "NOSUCHAPI.DLL",
     kDirectPortKind},
};

TEST(PrinterLookup, EachRouteReadsWritesAndAsksTheSamePrinter) {
  for (const Route& r : kRoutes) {
    SCOPED_TRACE(r.name);
    LookupBench b;
    b.h.spooler.SetMachineString(testing::kChannelApiKey, "ZQAPI32", r.apiFile);
    // A spooler printer with the channel API on the neighbouring socket must
    // not be taken for this one.
    b.usb.PlugPrinter(b.hub, 2, b.h.AddPrinter("neighbour", "Neighbour", 2, ""));
    sim::ClassPrinter& printer = r.spoolerPrinter
                                     ? b.h.AddPrinter("cp", "Line 1", 1, "")
                                     : b.h.world.AddClassPrinter({.name = "cp",
                                                                  .deviceId = testing::kDeviceIdD4,
                                                                  .serial = "4E4C5041000000A011",
                                                                  .firmware = "1.21"});
    b.usb.PlugPrinter(b.hub, 5, printer);
    const std::string path = printer.InterfacePath();

    std::unique_ptr<TRKCCC> port;
    {
      const ProcessLockScope call;
      ASSERT_EQ(OpenPrinterPort(path.c_str(), &port), MORVALIB_OK);
      EXPECT_EQ(port->PortKind(), r.portKind);
      port.reset();
    }
    b.ExpectNothingLeft();

    char text[64] = {};
    int length = 0;
    EXPECT_EQ(kGetSerial(path.c_str(), text, 64, &length, 0), MORVALIB_OK);
    EXPECT_STREQ(text, "4E4C5041000000A011");
    b.ExpectNothingLeft();
    EXPECT_EQ(kSetSerial(path.c_str(), "0123456789ABCDEF02", 0), MORVALIB_OK);
    EXPECT_EQ(printer.Peripheral().Commands().PendingSerial().value_or(""), "0123456789ABCDEF02");
    b.ExpectNothingLeft();
    EXPECT_EQ(kGetFirmware(path.c_str(), text, 64, &length), MORVALIB_OK);
    EXPECT_STREQ(text, "1.21");
    b.ExpectNothingLeft();

    // Loaded and released once for each of the four opens that chose it.
    const int calls = r.portKind == kChannelApiPortKind ? 4 : 0;
    EXPECT_EQ(b.h.api.LoadsTotal(), static_cast<std::size_t>(calls));
    EXPECT_EQ(b.h.api.ReleaseCalls(), calls);
    EXPECT_FALSE(printer.Peripheral().InPacketMode());
  }
}

TEST(PrinterLookup, ADeviceThatCannotBeTracedIsNotFound) {
  struct Case {
    const char* name;
    void (*arrange)(LookupBench&, sim::ClassPrinter&);
  } const cases[] = {
      {"not on the bus", [](LookupBench&, sim::ClassPrinter&) {}},
      {"unplugged",
       [](LookupBench& b, sim::ClassPrinter& p) {
         b.usb.PlugPrinter(b.hub, 1, p);
         p.Unplug();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LookupBench b;
    sim::ClassPrinter& printer = b.h.AddPrinter("cp", "Line 1", 1, "");
    c.arrange(b, printer);
    std::unique_ptr<TRKCCC> port;
    EXPECT_EQ(OpenPrinterPort(printer.InterfacePath().c_str(), &port), MORVALIB_E_NO_PRINTER);
    EXPECT_EQ(port, nullptr);
    int length = 0;
    EXPECT_EQ(kGetSerial(printer.InterfacePath().c_str(), nullptr, 0, &length, 0),
              MORVALIB_E_NO_PRINTER);
    EXPECT_EQ(b.h.clock.NowMs(), 0u) << "no open was retried";
    EXPECT_EQ(b.h.api.LoadsTotal(), 0u);
    b.ExpectNothingLeft();
  }
}

// The open step's record holds a printer name of up to 127 bytes: a longer
// one, cut short, would name another printer, so that device is reached by
// its device file instead.
TEST(PrinterLookup, SpoolerPrinterNameLongerThanTheRecordHoldsIsPassedOver) {
  for (const auto& [length, kind] : {std::pair{127, kChannelApiPortKind}, {128, kDirectPortKind}}) {
    SCOPED_TRACE(length);
    LookupBench b;
    sim::ClassPrinter& printer = b.h.AddPrinter("cp", std::string(length, 'L'), 1, "");
    b.usb.PlugPrinter(b.hub, 1, printer);
    std::unique_ptr<TRKCCC> port;
    {
      const ProcessLockScope call;
      ASSERT_EQ(OpenPrinterPort(printer.InterfacePath().c_str(), &port), MORVALIB_OK);
      EXPECT_EQ(port->PortKind(), kind);
      port.reset();
    }
    b.ExpectNothingLeft();
  }
}

}  // namespace
}  // namespace nolpa::morvalib
