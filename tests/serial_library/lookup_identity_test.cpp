// The printer a caller names is the printer every export reaches, whatever
// shares its socket and whatever arrives on the bus meanwhile: two printer
// functions A and B of one composite device, and a printer X behind a hub
// that is plugged in after the hub table was built, before the call or at
// any request the call makes of the device tree, while the printer-class
// interfaces are listed B, X, A (or A, X, B). Every export on A returns A's
// values, writes A alone, and leaves nothing open.
#include <gtest/gtest.h>

#include <string>

#include "serial_library/morvalib.h"
#include "serial_library/usb_location.h"
#include "sim/usb/usb_topology.h"
#include "tests/serial_library/channel_api_harness.h"
#include "tests/support/export_promises.h"
#include "tests/support/tree_with_change.h"

namespace nolpa::morvalib {
namespace {

using sim::UsbNodeId;
using testing::Export;

enum class Spooled { None, A, B, Both, AAlone };

struct Configuration {
  const char* name;
  bool bAfterA;           // interfaces listed A, X, B rather than B, X, A
  Spooled spooled;        // which printers sit behind a spooler printer
  const char* hubDriver;  // X's hub: empty, the root hub's driver
};

constexpr int kNever = -1;
constexpr int kBeforeTheCall = 0;

struct Machine {
  explicit Machine(const Configuration& c) {
    DropHubTable();
    h.services.deviceTree = &tree;
    h.services.hubFiles = &usb.HubFiles();
    h.services.interfaces = &usb.Interfaces();
    EXPECT_TRUE(InstallServices(h.services));
    const bool alone = c.spooled == Spooled::AAlone;
    const bool spoolA = c.spooled == Spooled::A || c.spooled == Spooled::Both || alone;
    const bool spoolB = c.spooled == Spooled::B || c.spooled == Spooled::Both;
    sim::ClassPrinter* b = nullptr;
    if (!c.bAfterA && !alone) b = &Add("b", 2, spoolB);
    x = &Add("x", 3, false);
    a = &Add("a", 1, spoolA);
    if (c.bAfterA && !alone) b = &Add("b", 2, spoolB);
    const UsbNodeId composite = usb.AddDevice(root, 3, "usbccgp");
    usb.PlugPrinter(composite, 0, *a);
    if (b) usb.PlugPrinter(composite, 0, *b);
    hubDriver = c.hubDriver;
  }
  ~Machine() { DropHubTable(); }

  sim::ClassPrinter& Add(const std::string& name, int n, bool spooled) {
    sim::ClassPrinter& p =
        spooled ? h.AddPrinter(name, "Line " + std::to_string(n), n, "")
                : h.world.AddClassPrinter({.name = name,
                                           .deviceId = testing::kDeviceIdD4,
                                           .serial = "4E4C5041000000C0" + std::to_string(10 + n),
                                           .firmware = "2." + std::to_string(n)});
    return p;
  }

  // X and its hub are not there until `arrival`.
  void Arrive(int arrival) {
    x->Unplug();
    const auto plug = [this] {
      usb.PlugPrinter(usb.AddHub(root, 5, 4, hubDriver), 2, *x);
      x->Plug();
    };
    if (arrival == kNever) return;
    HubTable();  // built before X's hub comes
    if (arrival == kBeforeTheCall)
      plug();
    else
      tree.ChangeAt(arrival, plug);
  }

  testing::ChannelApiHarness h;
  sim::UsbTopology usb{h.world};
  testing::TreeWithChange tree{usb.Tree()};
  UsbNodeId root = usb.AddHostController(0, 8, sim::kXhciDrivers);
  sim::ClassPrinter* a = nullptr;
  sim::ClassPrinter* x = nullptr;
  std::string hubDriver;
};

const Configuration kConfigurations[] = {
    {"B, X, A; no spooler printer", false, Spooled::None, ""},
    {"B, X, A; A spooled", false, Spooled::A, ""},
    {"B, X, A; B spooled", false, Spooled::B, ""},
    {"B, X, A; both spooled", false, Spooled::Both, ""},
    {"B, X, A; B spooled; X's hub of an unlisted driver", false, Spooled::B, "acmehub3"},
    {"A, X, B; A spooled", true, Spooled::A, ""},
    {"A, X, B; both spooled; X's hub of an unlisted driver", true, Spooled::Both, "acmehub3"},
    {"A alone on the composite device, spooled", false, Spooled::AAlone, ""},
    {"A alone, spooled; X's hub of an unlisted driver", false, Spooled::AAlone, "acmehub3"},
};

// Each arrival point is tried with one export, in turn: they share the
// lookup, and the four of them meet every point across the configurations.
TEST(LookupByIdentity, EveryExportReachesTheCallersOwnPrinterWhateverArrivesDuringTheCall) {
  int midCall = 0;
  for (const Configuration& c : kConfigurations) {
    for (int arrival = kNever;; ++arrival) {
      const Export which = testing::kExports[(arrival - kNever) % std::size(testing::kExports)];
      SCOPED_TRACE(std::string(c.name) + "; " + testing::ExportName(which) + "; X arrives " +
                   (arrival == kNever ? "never" : "at tree request " + std::to_string(arrival)));
      Machine m(c);
      m.Arrive(arrival);
      const testing::ExportCall call = testing::CallAndCheck(
          m.h.world, m.h.clock, which, m.a->InterfacePath(), *m.a, "0123456789ABCDEF0A", 0);
      EXPECT_EQ(call.broken, "");
      EXPECT_EQ(call.result, MORVALIB_OK) << "A is there all the time";
      EXPECT_EQ(testing::LeftOpen(m.h.world, m.usb, &m.h.spooler, &m.h.api), "");
      // Alone on its socket, A is reached through its spooler printer.
      if (c.spooled == Spooled::AAlone && arrival <= kBeforeTheCall) {
        EXPECT_EQ(m.h.api.LoadsTotal(), 1u);
      }
      if (arrival > kBeforeTheCall && !m.tree.Changed()) break;  // past the call's last request
      midCall += arrival > kBeforeTheCall ? 1 : 0;
    }
  }
  EXPECT_GT(midCall, 100) << "the arrival was swept through the calls";
}

}  // namespace
}  // namespace nolpa::morvalib
