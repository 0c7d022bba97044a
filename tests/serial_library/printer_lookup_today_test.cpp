// The exports on today's machines: printers that share a root hub run by
// "USBHUB3", printers the trace cannot tell apart (two functions of one
// composite device, a hub nothing names a hub), and an enumeration with an
// interface that cannot be read. Every call reads and writes the printer
// the caller named and no other; where the location does not say which
// printer that is, the direct port opens the caller's own device and the
// channel API of a spooler printer there is not used.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "serial_library/morvalib.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/printer_at_location.h"
#include "serial_library/process_lock.h"
#include "serial_library/usb_location.h"
#include "sim/usb/usb_topology.h"
#include "tests/serial_library/channel_api_harness.h"
#include "tests/support/library_entry_points.h"

namespace nolpa::morvalib {
namespace {

using sim::UsbNodeId;
using testing::kGetSerial;
using testing::kSetSerial;

struct TodayBench {
  TodayBench() {
    DropHubTable();
    h.services.deviceTree = &usb.Tree();
    h.services.hubFiles = &usb.HubFiles();
    h.services.interfaces = &usb.Interfaces();
    EXPECT_TRUE(InstallServices(h.services));
  }
  ~TodayBench() {
    EXPECT_EQ(usb.OpenHandles(), 0u);
    EXPECT_EQ(usb.OpenSets(), 0u);
    EXPECT_EQ(h.world.OpenHandles(), 0u);
    DropHubTable();
  }
  // A printer with the packet protocol; `spooled`: behind spooler printer
  // "Line <n>" on port USB00<n>, whose driver names the channel API.
  sim::ClassPrinter& AddPrinter(const std::string& name, int n, bool spooled) {
    if (spooled) return h.AddPrinter(name, "Line " + std::to_string(n), n, "");
    return h.world.AddClassPrinter({.name = name,
                                    .deviceId = testing::kDeviceIdD4,
                                    .serial = "4E4C5041000000C0" + std::to_string(10 + n),
                                    .firmware = "1.30"});
  }

  testing::ChannelApiHarness h;
  sim::UsbTopology usb{h.world};
  UsbNodeId root = usb.AddHostController(0, 8, sim::kXhciDrivers);
};

std::string Serial(const std::string& path) {
  char text[64] = {};
  int length = 0;
  const int result = kGetSerial(path.c_str(), text, sizeof text, &length, 0);
  return result == MORVALIB_OK ? std::string(text) : "error " + std::to_string(result);
}

struct SharedCase {
  const char* name;
  // Plugs the two printers; the first sits behind a spooler printer.
  std::function<void(TodayBench&, sim::ClassPrinter&, sim::ClassPrinter&)> plug;
  bool sameLocation;
};

const SharedCase kSharedCases[] = {
    {"two printers on one USBHUB3 root hub",
     [](TodayBench& b, sim::ClassPrinter& first, sim::ClassPrinter& second) {
       b.usb.PlugPrinter(b.root, 1, first);
       b.usb.PlugPrinter(b.root, 2, second);
     },
     false},
    {"two printer functions of one composite device",
     [](TodayBench& b, sim::ClassPrinter& first, sim::ClassPrinter& second) {
       const UsbNodeId composite = b.usb.AddDevice(b.root, 3, "usbccgp");
       b.usb.PlugPrinter(composite, 0, first);
       b.usb.PlugPrinter(composite, 0, second);
     },
     true},
    // Ports above 35 are all written "-".
    {"two printers on ports 36 and 37 of one hub",
     [](TodayBench& b, sim::ClassPrinter& first, sim::ClassPrinter& second) {
       const UsbNodeId hub = b.usb.AddHub(b.root, 6, 40);
       b.usb.PlugPrinter(hub, 36, first);
       b.usb.PlugPrinter(hub, 37, second);
     },
     true},
    {"a hub that neither a hub driver nor a hub interface shows",
     [](TodayBench& b, sim::ClassPrinter& first, sim::ClassPrinter& second) {
       const UsbNodeId hub = b.usb.AddHub(b.root, 4, 4, "acmehub");
       b.usb.Node(hub).interfacePath.clear();
       b.usb.PlugPrinter(hub, 1, first);
       b.usb.PlugPrinter(hub, 2, second);
     },
     true},
};

TEST(TodaysLookup, PrintersSharingAHubOrALocationAreEachReadAndWrittenAsThemselves) {
  for (const SharedCase& c : kSharedCases) {
    SCOPED_TRACE(c.name);
    TodayBench b;
    sim::ClassPrinter& first = b.AddPrinter("first", 1, true);
    sim::ClassPrinter& second = b.AddPrinter("second", 2, false);
    c.plug(b, first, second);
    const std::string firstPath = first.InterfacePath();
    const std::string secondPath = second.InterfacePath();
    EXPECT_EQ(DevicePathLocation(firstPath) == DevicePathLocation(secondPath), c.sameLocation)
        << DevicePathLocation(firstPath);

    EXPECT_EQ(Serial(secondPath), second.Serial());
    EXPECT_EQ(Serial(firstPath), first.Serial());
    ASSERT_EQ(kSetSerial(secondPath.c_str(), "0123456789ABCDEF02", 0), MORVALIB_OK);
    EXPECT_EQ(second.Peripheral().Commands().PendingSerial().value_or(""), "0123456789ABCDEF02");
    EXPECT_FALSE(first.Peripheral().Commands().PendingSerial()) << "written into the other printer";
    ASSERT_EQ(kSetSerial(firstPath.c_str(), "0123456789ABCDEF01", 0), MORVALIB_OK);
    EXPECT_EQ(first.Peripheral().Commands().PendingSerial().value_or(""), "0123456789ABCDEF01");
    EXPECT_EQ(second.Peripheral().Commands().PendingSerial().value_or(""), "0123456789ABCDEF02");

    // The spooler printer's channel API reaches "first"; on a shared
    // location it might be either printer, so it is not used at all.
    EXPECT_EQ(b.h.api.LoadsTotal(), c.sameLocation ? 0u : 2u);
  }
}

// The caller names a device that is none of the printers at its location
// (the composite device itself): no printer is found, however many printer
// functions share the socket.
TEST(TodaysLookup, ACallerWhoseDeviceIsNoneOfThePrintersAtItsLocationFindsNone) {
  for (const int functions : {1, 2}) {
    SCOPED_TRACE(functions);
    TodayBench b;
    const UsbNodeId composite = b.usb.AddDevice(b.root, 2, "usbccgp");
    for (int n = 1; n <= functions; ++n)
      b.usb.PlugPrinter(composite, 0, b.AddPrinter("f" + std::to_string(n), n, false));
    std::string parent =
        "\\\\?\\" + b.usb.Node(composite).instanceId + "#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
    for (char& ch : parent)
      if (ch == '\\' && &ch > &parent[3]) ch = '#';
    char text[64] = {};
    int length = 0;
    EXPECT_EQ(kGetSerial(parent.c_str(), text, sizeof text, &length, 0), MORVALIB_E_NO_PRINTER)
        << parent;
  }
}

// The first printer-class interface cannot be read while the interfaces are
// walked (its device went): the printers after it are still found. Since
// the unread one may share the socket, a spooler printer's channel API is
// not used: the printer is read through its own device file.
TEST(TodaysLookup, AnInterfaceThatCannotBeReadIsPassedOver) {
  for (const bool spooled : {false, true}) {
    SCOPED_TRACE(spooled ? "behind a spooler printer" : "by its device file");
    TodayBench b;
    sim::ClassPrinter& gone = b.AddPrinter("gone", 3, false);
    gone.Faults().failInterfaceDetail = true;
    sim::ClassPrinter& printer = b.AddPrinter("p", 1, spooled);
    b.usb.PlugPrinter(b.root, 1, gone);
    b.usb.PlugPrinter(b.root, 2, printer);
    EXPECT_EQ(Serial(printer.InterfacePath()), printer.Serial());
    EXPECT_EQ(b.h.api.LoadsTotal(), 0u);
  }
}

// The spooler printer's channel API exists but cannot be used: the printer
// is still reached, by its device file.
TEST(TodaysLookup, AChannelApiThatDoesNotLoadOrStartLeavesThePrinterToTheDirectPort) {
  const struct {
    const char* name;
    bool loads;
    int initializeResult;
  } cases[] = {{"a 64-bit file", false, 0}, {"ZQInitialize fails", true, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TodayBench b;
    sim::ChannelApiBehaviour& api =
        b.h.api.AddLibrary(std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL");
    api.loads = c.loads;
    api.initializeResult = c.initializeResult;
    sim::ClassPrinter& printer = b.AddPrinter("p", 1, true);
    b.usb.PlugPrinter(b.root, 1, printer);
    std::unique_ptr<TRKCCC> port;
    {
      const ProcessLockScope call;
      ASSERT_EQ(OpenPrinterPort(printer.InterfacePath().c_str(), &port), MORVALIB_OK);
      EXPECT_EQ(port->PortKind(), kDirectPortKind);
      port.reset();
    }
    EXPECT_EQ(Serial(printer.InterfacePath()), printer.Serial());
    EXPECT_EQ(b.h.api.ReleaseCalls(), 0);
  }
}

}  // namespace
}  // namespace nolpa::morvalib
