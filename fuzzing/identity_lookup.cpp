// The serial-number library's promises over random machines. The input
// builds a machine, then a script of events; before the first event and
// after each one, every export is called on every printer's device path,
// and each call is checked (tests/support/export_promises.h): a serial
// number, firmware version or reply returned is the caller's printer's; a
// write that succeeds changed the caller's printer and no other; a failure
// changed nothing; no call waits past its bound on the virtual clock;
// nothing is left open; no device saw a departure from its protocol.
//
// The input, a byte at a time (a read past its end gives 0):
//   controllers: 1 + b % 3; each: its stack (b % 4: the older USB 2 stack,
//     an xHCI controller, a vendor's USB 3 stack, a hub driver no list
//     names) and its root hub's ports (2 + b % 25);
//   hubs: b % 7; each: the hub it hangs on (b, among those so far), its
//     port (b), its ports (b % 8: 7 gives 40, else 2 + it) and its driver
//     (b % 4: its parent's, one no list names, no hub interface at all,
//     "usbhub"); one deeper than USB allows (five below a root hub) is left
//     out;
//   the late hub: whether there is one (b % 2), its hub (b), its port (b)
//     and its driver (b); it and the printers on it are absent until it
//     arrives;
//   printers: 1 + b % 6; each: where (b: bit 7 a further function of the
//     last composite device, if any; else bit 5 on the late hub, if any;
//     else bit 6 the first function of a new composite device; the hub,
//     b % hubs) and its port (b), then its spooler printer (b % 4: none,
//     its own port, a pool over its port and the next printer's, its own
//     port named twice);
//   events, until the input ends, at most kMaxEvents (b % 8, then its
//     byte): a printer unplugged, a printer plugged in again, the late hub
//     arriving now, the late hub arriving at the n-th device-tree request of
//     the next calls, a hub refusing its node-information or port requests,
//     every hub answering again, the spooler stopped, the spooler started.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzzing/support/fuzz_input.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/core/departures.h"
#include "sim/core/virtual_clock.h"
#include "sim/host/spooler_seats.h"
#include "tests/support/export_promises.h"
#include "tests/support/tree_with_change.h"

namespace {

namespace sim = nolpa::sim;
namespace morvalib = nolpa::morvalib;
namespace testing = nolpa::testing;
using nolpa::fuzz::FuzzInput;
using sim::UsbNodeId;

constexpr int kMaxEvents = 8;
// Hubs below a root hub on the way to a device, as USB allows.
constexpr int kMaxHubDepth = 5;
// The longest a call may wait on printers that answer at once: the direct
// port's retried open and the firmware query's wait on the data path.
constexpr std::uint64_t kCallBoundMs = 1500 + 2000;
constexpr char kDeviceId[] = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;";

const sim::HostControllerDrivers kStacks[] = {
    {}, sim::kXhciDrivers, {"iusb3xhc", "iusb3hub", true}, {"acmexhci", "acmehub3", true}};

struct Hub {
  UsbNodeId node;
  int depth;  // 0 for a root hub
};

struct LateHub {
  bool wanted = false;
  UsbNodeId parent = 0;
  int port = 0;
  int driver = 0;
  std::vector<sim::ClassPrinter*> printers;
  bool arrived = false;
};

struct Machine {
  sim::VirtualClock clock;
  sim::World world{clock};
  sim::UsbTopology usb{world};
  sim::SpoolerWorld spooler{world};
  sim::ChannelApiStandIn api{world, spooler};
  testing::TreeWithChange tree{usb.Tree()};
  std::vector<Hub> hubs;
  std::vector<sim::ClassPrinter*> printers;
  std::vector<UsbNodeId> composites;
  LateHub late;
  bool spoolerRunning = true;
  int written = 0;
};

// The first free port of `hub` from 1 + `choice` % its ports; 0 when none is.
int FreePort(sim::UsbTopology& usb, UsbNodeId hub, int choice) {
  const int ports = usb.Node(hub).ports;
  for (int i = 0; i < ports; ++i) {
    const int port = 1 + (choice + i) % ports;
    if (!usb.Node(hub).onPort.count(port)) return port;
  }
  return 0;
}

// Plugs a hub of `driver` (as the input's hub byte says) on `port` of `parent`.
UsbNodeId PlugHub(Machine& m, UsbNodeId parent, int port, int ports, int driver) {
  static const char* const kServices[] = {"", "acmehub", "acmehub", "usbhub"};
  const UsbNodeId hub = m.usb.AddHub(parent, port, ports, kServices[driver % 4]);
  if (driver % 4 == 2) m.usb.Node(hub).interfacePath.clear();
  return hub;
}

void BuildBus(Machine& m, FuzzInput& in) {
  const int controllers = 1 + in.Byte() % 3;
  for (int n = 0; n < controllers; ++n) {
    const sim::HostControllerDrivers& stack = kStacks[in.Byte() % 4];
    m.hubs.push_back({m.usb.AddHostController(n, 2 + in.Byte() % 25, stack), 0});
  }
  const int hubs = in.Byte() % 7;
  for (int n = 0; n < hubs; ++n) {
    const Hub parent = m.hubs[in.Byte() % m.hubs.size()];
    const int port = FreePort(m.usb, parent.node, in.Byte());
    const int shape = in.Byte() % 8;
    const int driver = in.Byte();
    if (port == 0 || parent.depth >= kMaxHubDepth) continue;
    const int ports = shape == 7 ? 40 : 2 + shape;
    m.hubs.push_back({PlugHub(m, parent.node, port, ports, driver), parent.depth + 1});
  }
}

sim::ClassPrinterConfig PrinterConfig(int n, int spooled) {
  char serial[24];
  std::snprintf(serial, sizeof serial, "4E4C50%012X", static_cast<unsigned>(n + 1));
  sim::ClassPrinterConfig config{.name = "p" + std::to_string(n),
                                 .deviceId = kDeviceId,
                                 .serial = serial,
                                 .firmware = "1." + std::to_string(n)};
  if (spooled % 4 == 0) return config;
  char own[16], next[16];
  std::snprintf(own, sizeof own, "USB%03d", n + 1);
  std::snprintf(next, sizeof next, "USB%03d", n + 2);
  const std::string ports[] = {"", own, std::string(own) + "," + next,
                               std::string(own) + ", " + own};
  config.spoolerSeat =
      sim::SpoolerSeat{.printer = "Line " + std::to_string(n + 1),
                       .port = ports[spooled % 4],
                       .portNumber = static_cast<std::uint32_t>(n + 1),
                       .driver = "Nolpa Line",
                       .driverPath = "C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3\\NLLINE.DLL",
                       .zqapi32 = "ZQAPI2.DLL",
                       .channelApiFile = "ZQAPI2.DLL"};
  return config;
}

void PrepareLateHub(Machine& m, FuzzInput& in) {
  if (in.Byte() % 2 == 0) return;
  m.late.parent = m.hubs[in.Byte() % m.hubs.size()].node;
  m.late.port = FreePort(m.usb, m.late.parent, in.Byte());
  m.late.driver = in.Byte();
  m.late.wanted = m.late.port != 0;
}

// Plugs `printer` where the input's `where` and `port` bytes say.
void PlacePrinter(Machine& m, sim::ClassPrinter& printer, std::uint8_t where, std::uint8_t port) {
  const UsbNodeId hub = m.hubs[where % m.hubs.size()].node;
  const int free = FreePort(m.usb, hub, port);
  if ((where & 0x80) && !m.composites.empty()) {
    m.usb.PlugPrinter(m.composites.back(), 0, printer);
  } else if ((where & 0x20) && m.late.wanted && m.late.printers.size() < 4) {
    m.late.printers.push_back(&printer);
    printer.Unplug();
  } else if (free == 0) {
    printer.Unplug();  // nowhere to go: a printer that is not there
  } else if (where & 0x40) {
    m.composites.push_back(m.usb.AddDevice(hub, free, "usbccgp"));
    m.usb.PlugPrinter(m.composites.back(), 0, printer);
  } else {
    m.usb.PlugPrinter(hub, free, printer);
  }
}

void PlacePrinters(Machine& m, FuzzInput& in) {
  const int printers = 1 + in.Byte() % 6;
  for (int n = 0; n < printers; ++n) {
    const std::uint8_t where = in.Byte();
    const std::uint8_t port = in.Byte();
    sim::ClassPrinter& printer = m.world.AddClassPrinter(PrinterConfig(n, in.Byte()));
    m.printers.push_back(&printer);
    PlacePrinter(m, printer, where, port);
  }
}

void ArriveLateHub(Machine& m) {
  if (m.late.printers.empty() || m.late.arrived) return;
  m.late.arrived = true;
  // Its port, or the next one free: printers placed since may hold it.
  const int port = FreePort(m.usb, m.late.parent, m.late.port - 1);
  if (port == 0) return;
  const UsbNodeId hub = PlugHub(m, m.late.parent, port, 4, m.late.driver);
  int hubPort = 1;
  for (sim::ClassPrinter* printer : m.late.printers) {
    m.usb.PlugPrinter(hub, hubPort++, *printer);
    printer->Plug();
  }
}

void ApplyEvent(Machine& m, std::uint8_t kind, std::uint8_t detail) {
  sim::ClassPrinter& printer = *m.printers[detail % m.printers.size()];
  switch (kind % 8) {
    case 0: printer.Unplug(); break;
    case 1:
      // One that never had a socket (or whose hub has not come) is then
      // listed among the interfaces but cannot be traced.
      if (!printer.Plugged()) printer.Plug();
      break;
    case 2: ArriveLateHub(m); break;
    case 3: m.tree.ChangeAt(1 + detail % 48, [&m] { ArriveLateHub(m); }); break;
    case 4: {
      auto& refused = m.usb.Node(m.hubs[detail % m.hubs.size()].node).refusedCodes;
      refused.push_back(detail & 1 ? sim::kIoctlUsbNodeInformation : sim::kIoctlUsbPortDriverKey);
      break;
    }
    case 5:
      for (const Hub& hub : m.hubs) m.usb.Node(hub.node).refusedCodes.clear();
      break;
    default: m.spoolerRunning = kind % 8 == 7;
  }
}

morvalib::LibraryServices ServicesOf(Machine& m) {
  return {.files = &m.world.Files(),
          .clock = &m.clock,
          .deviceTree = &m.tree,
          .hubFiles = &m.usb.HubFiles(),
          .spooler = &m.spooler.Spooler(),
          .registry = &m.spooler.Registry(),
          .interfaces = &m.usb.Interfaces(),
          .system = &m.spooler.System(),
          .modules = &m.api.Modules()};
}

void Broken(Machine& m, const std::string& what, const sim::ClassPrinter& printer) {
  std::fprintf(stderr, "%s, calling on %s at %llu ms\n", what.c_str(), printer.Name().c_str(),
               static_cast<unsigned long long>(m.clock.NowMs()));
}

// Every export on every printer's path, each call checked.
void CallEverything(Machine& m) {
  for (sim::ClassPrinter* printer : m.printers) {
    for (const testing::Export which : testing::kExports) {
      char serial[24];
      std::snprintf(serial, sizeof serial, "5752%014X", static_cast<unsigned>(++m.written));
      const testing::ExportCall call = testing::CallAndCheck(
          m.world, m.clock, which, printer->InterfacePath(), *printer, serial, kCallBoundMs);
      const std::string left = testing::LeftOpen(m.world, m.usb, &m.spooler, &m.api);
      const auto departures = m.world.Departures().Unexpected();
      if (!call.broken.empty()) Broken(m, call.broken, *printer);
      if (!left.empty()) Broken(m, left, *printer);
      for (const sim::Departure& d : departures) Broken(m, sim::DescribeDeparture(d), *printer);
      FUZZ_CHECK(call.broken.empty());
      FUZZ_CHECK(left.empty());
      FUZZ_CHECK(departures.empty());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  Machine m;
  m.world.Recorder().SetEnabled(false);  // thousands of requests nobody reads
  BuildBus(m, in);
  PrepareLateHub(m, in);
  PlacePrinters(m, in);
  sim::SeatSpoolerPrinters(m.world, m.spooler, m.api);
  m.spooler.FollowService([&m] { return m.spoolerRunning; });
  // Each input is a machine of its own: the hub table of the last one names
  // other hubs.
  morvalib::DropHubTable();
  FUZZ_CHECK(morvalib::InstallServices(ServicesOf(m)));
  CallEverything(m);
  for (int event = 0; event < kMaxEvents && !in.Empty(); ++event) {
    const std::uint8_t kind = in.Byte();
    ApplyEvent(m, kind, in.Byte());
    CallEverything(m);
  }
  morvalib::RemoveServices();
  morvalib::DropHubTable();
  return 0;
}
