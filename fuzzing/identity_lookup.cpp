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
//     names; bit 4: no "\\.\HCDn" name, only its interface; bit 5: no root
//     hub, but for the first) and its root hub's ports (2 + b % 25);
//   hubs: b % 7; each: the hub it hangs on (b, among those so far), its
//     port (b), its ports (b % 8: 7 gives 40, else 2 + it), its driver
//     (b % 4: its parent's, one no list names, no hub interface at all,
//     "usbhub") and whether it is plugged in at first (bit 7 clear); one
//     deeper than USB allows (five below a root hub) is left out;
//   printers: 1 + b % 6; each: where (b: bit 7 a further function of the
//     last composite device, if any; else bit 6 the first function of a new
//     composite device; the hub, b % hubs) and its port (b), then its
//     spooler printer (b % 4: none, its own port, a pool over its port and
//     the next printer's, its own port named twice);
//   events, until the input ends, at most kMaxEvents (b % 8, then a byte
//     naming a printer or a hub, then a byte for those that need one): a
//     printer unplugged, a printer plugged in, a hub unplugged (with the
//     printers below it), a hub plugged in, a hub plugged in at the n-th
//     device-tree request of the next calls, a hub dropping off after its
//     n-th request and coming back after m more, a hub (or, bit 7 of the
//     byte naming it, a host controller) failing its requests (or its port
//     requests) for a while and then answering again, the spooler stopped
//     or started.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzzing/support/fuzz_input.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/core/departures.h"
#include "sim/core/virtual_clock.h"
#include "sim/library_world.h"
#include "tests/support/export_promises.h"
#include "tests/support/library_world_services.h"
#include "tests/support/tree_with_change.h"

namespace {

namespace sim = nolpa::sim;
namespace morvalib = nolpa::morvalib;
namespace testing = nolpa::testing;
using nolpa::fuzz::FuzzInput;

constexpr int kMaxEvents = 8;
// Hubs below a root hub on the way to a device, as USB allows.
constexpr int kMaxHubDepth = 5;
// The longest a call may wait on printers that answer at once: the direct
// port's retried open and the firmware query's wait on the data path.
constexpr std::uint64_t kCallBoundMs = 1500 + 2000;
constexpr char kDeviceId[] = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;";

const sim::HostControllerDrivers kStacks[] = {
    {}, sim::kXhciDrivers, {"iusb3xhc", "iusb3hub", true}, {"acmexhci", "acmehub3", true}};

// A root hub or a hub of the layout being built.
struct HubPlace {
  std::string name;
  int depth;  // 0 for a root hub
  int ports;
  std::set<int> taken;
};

struct Layout {
  sim::MachineLayout machine;
  std::vector<HubPlace> hubs;     // root hubs first
  std::vector<std::string> bare;  // hubs that show no hub interface
  std::vector<sim::ClassPrinterConfig> printers;
};

// The first free port of `hub` from 1 + `choice` % its ports, taken; 0 when
// none is free.
int TakePort(HubPlace& hub, int choice) {
  for (int i = 0; i < hub.ports; ++i) {
    const int port = 1 + (choice + i) % hub.ports;
    if (hub.taken.insert(port).second) return port;
  }
  return 0;
}

void LayOutBus(Layout& l, FuzzInput& in) {
  const int controllers = 1 + in.Byte() % 3;
  for (int n = 0; n < controllers; ++n) {
    const std::string name = "hc" + std::to_string(n);
    const std::uint8_t kind = in.Byte();
    const int ports = 2 + in.Byte() % 25;
    // The first always has a root hub: printers without a socket go there.
    const bool rootHub = n == 0 || (kind & 0x20) == 0;
    l.machine.hostControllers.push_back({.name = name,
                                         .number = n,
                                         .ports = ports,
                                         .drivers = kStacks[kind % 4],
                                         .hcdName = (kind & 0x10) == 0,
                                         .rootHub = rootHub});
    if (rootHub) l.hubs.push_back({name, 0, ports, {}});
  }
  static const char* const kServices[] = {"", "acmehub", "acmehub", "usbhub"};
  const int hubs = in.Byte() % 7;
  for (int n = 0; n < hubs; ++n) {
    HubPlace& parent = l.hubs[in.Byte() % l.hubs.size()];
    const std::uint8_t portChoice = in.Byte();
    const int port = parent.depth < kMaxHubDepth ? TakePort(parent, portChoice) : 0;
    const std::string parentName = parent.name;
    const int depth = parent.depth + 1;
    const int shape = in.Byte() % 8;
    const std::uint8_t driver = in.Byte();
    if (port == 0) continue;
    const std::string name = "h" + std::to_string(n);
    const int ports = shape == 7 ? 40 : 2 + shape;
    l.machine.hubs.push_back({.name = name,
                              .hub = parentName,
                              .port = port,
                              .ports = ports,
                              .service = kServices[driver % 4],
                              .plugged = (driver & 0x80) == 0});
    if (driver % 4 == 2) l.bare.push_back(name);
    l.hubs.push_back({name, depth, ports, {}});
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

// Printers without a socket go on the first root hub's free ports, as a
// fleet's do.
void LayOutPrinters(Layout& l, FuzzInput& in) {
  const int printers = 1 + in.Byte() % 6;
  std::optional<sim::UsbSocket> composite;
  for (int n = 0; n < printers; ++n) {
    const std::uint8_t where = in.Byte();
    HubPlace& hub = l.hubs[where % l.hubs.size()];
    const std::uint8_t port = in.Byte();
    l.printers.push_back(PrinterConfig(n, in.Byte()));
    const std::string& name = l.printers.back().name;
    if ((where & 0x80) && composite) {
      l.machine.sockets[name] = *composite;
    } else if (const int free = TakePort(hub, port); free != 0) {
      l.machine.sockets[name] = {.hub = hub.name, .port = free, .composite = (where & 0x40) != 0};
      if (where & 0x40) composite = l.machine.sockets[name];
    }
  }
}

struct Machine {
  explicit Machine(const Layout& l) : world(clock) {
    world.Recorder().SetEnabled(false);  // thousands of requests nobody reads
    world.Machine() = l.machine;
    for (const sim::ClassPrinterConfig& config : l.printers)
      printers.push_back(&world.AddClassPrinter(config));
    for (const sim::UsbHubLayout& hub : l.machine.hubs) hubs.push_back(hub.name);
  }

  sim::VirtualClock clock;
  sim::World world;
  std::vector<sim::ClassPrinter*> printers;
  std::vector<std::string> hubs;  // the external ones, by name
  bool spoolerRunning = true;
  int written = 0;
};

// What the library reaches around the machine, once its bus is built.
struct Around {
  Around(Machine& m, const Layout& l) : library(m.world), tree(library.Usb().Tree()) {
    // A hub that shows no hub interface: nothing but its ports says what
    // it is.
    sim::UsbTopology& usb = library.Usb();
    for (std::size_t id = 1; id < kMaxNodes; ++id) {
      const sim::UsbNode* node = NodeOrNull(usb, id);
      if (node == nullptr) break;
      const sim::UsbHubLayout* hub = usb.LayoutHub(*node);
      if (hub && std::count(l.bare.begin(), l.bare.end(), hub->name))
        usb.Node(id).interfacePath.clear();
    }
    library.Spooler().FollowService([&m] { return m.spoolerRunning; });
  }
  static const sim::UsbNode* NodeOrNull(sim::UsbTopology& usb, std::size_t id) {
    try {
      return &usb.Node(id);
    } catch (const std::out_of_range&) {
      return nullptr;
    }
  }
  morvalib::LibraryServices Services(Machine& m) {
    morvalib::LibraryServices s = testing::LibraryWorldServices(m.world, m.clock, library);
    s.deviceTree = &tree;
    return s;
  }

  static constexpr std::size_t kMaxNodes = 4096;
  sim::LibraryWorld library;
  testing::TreeWithChange tree;
};

// Requests after + 1 to after + count fail, of one code or of any.
sim::HubFaults::Fail FailFor(std::uint8_t more) {
  sim::HubFaults::Fail fail{.after = more % 8u, .count = 1u + (more >> 3) % 16};
  if (more & 0x80) fail.code = sim::kIoctlUsbPortDriverKey;
  return fail;
}

void ApplyHubEvent(Machine& m, Around& a, int kind, const std::string& hub, std::uint8_t more) {
  switch (kind) {
    case 2: m.world.Unplug(hub); break;
    case 3: m.world.Plug(hub); break;
    case 4:
      m.world.Unplug(hub);
      a.tree.ChangeAt(1 + more % 48, [&m, hub] { m.world.Plug(hub); });
      break;
    case 5:
      m.world.Machine().FindHub(hub)->faults.drop =
          sim::HubFaults::Drop{.after = 1u + more % 8, .backAfterRequests = 1u + (more >> 3) % 32};
      break;
    default: m.world.Machine().FindHub(hub)->faults.fail = FailFor(more);
  }
}

void ApplyEvent(Machine& m, Around& a, FuzzInput& in) {
  const int kind = in.Byte() % 8;
  const std::uint8_t which = in.Byte();
  const std::string& printer = m.printers[which % m.printers.size()]->Name();
  if (kind == 0) {
    m.world.Unplug(printer);
  } else if (kind == 1) {
    m.world.Plug(printer);
  } else if (kind == 7) {
    m.spoolerRunning = (which & 1) != 0;
  } else if (kind == 6 && (which & 0x80)) {
    auto& controllers = m.world.Machine().hostControllers;
    controllers[which % controllers.size()].faults.fail = FailFor(in.Byte());
  } else if (!m.hubs.empty()) {
    ApplyHubEvent(m, a, kind, m.hubs[which % m.hubs.size()], in.Byte());
  }
}

void Broken(Machine& m, const std::string& what, const sim::ClassPrinter& printer) {
  std::fprintf(stderr, "%s, calling on %s at %llu ms\n", what.c_str(), printer.Name().c_str(),
               static_cast<unsigned long long>(m.clock.NowMs()));
}

// Every export on every printer's path, each call checked.
void CallEverything(Machine& m, Around& a) {
  for (sim::ClassPrinter* printer : m.printers) {
    for (const testing::Export which : testing::kExports) {
      char serial[24];
      std::snprintf(serial, sizeof serial, "5752%014X", static_cast<unsigned>(++m.written));
      const testing::ExportCall call = testing::CallAndCheck(
          m.world, m.clock, which, printer->InterfacePath(), *printer, serial, kCallBoundMs);
      const std::string left = testing::LeftOpen(m.world, a.library.Usb(), &a.library.Spooler(),
                                                 &a.library.ChannelApi());
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
  Layout layout;
  LayOutBus(layout, in);
  LayOutPrinters(layout, in);
  Machine m(layout);
  std::unique_ptr<Around> around;
  try {
    around = std::make_unique<Around>(m, layout);
  } catch (const std::invalid_argument&) {
    return 0;  // more printers without a socket than the first root hub has ports
  }
  // Each input is a machine of its own: the hub table of the last one names
  // other hubs.
  morvalib::DropHubTable();
  FUZZ_CHECK(morvalib::InstallServices(around->Services(m)));
  CallEverything(m, *around);
  for (int event = 0; event < kMaxEvents && !in.Empty(); ++event) {
    ApplyEvent(m, *around, in);
    CallEverything(m, *around);
  }
  morvalib::RemoveServices();
  morvalib::DropHubTable();
  return 0;
}
