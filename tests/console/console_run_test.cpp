// The console companion against simulated fleets: every exit code on the
// route where it arises, what the printers hold afterwards, and that the
// machine is left as the window program leaves it (spooler running, work
// folder removed, no handle open) on every way out.
#include <gtest/gtest.h>

#include <stdexcept>

#include "app/console/console_run.h"
#include "tests/console/console_harness.h"

namespace nolpa {
namespace {

using testing::ConsoleRig;

constexpr char kWorkFolder[] = "C:\\Users\\operator\\AppData\\Local\\Temp\\NOLPAID";

// Left as an interactive run of the window program leaves it.
void ExpectCleanedUp(ConsoleRig& rig) {
  EXPECT_EQ(rig.h.services.Spooler().State(), sim::ServiceState::Running) << "spooler left stopped";
  EXPECT_FALSE(rig.h.host.FolderExists(kWorkFolder)) << "work folder left behind";
  EXPECT_EQ(rig.h.host.LoadedModules(), 0u);
  EXPECT_EQ(rig.h.world.OpenHandles(), 0u);
}

std::string VendorSerial(ConsoleRig& rig, const char* name) {
  return rig.h.world.Vendor(name).Identity().serial;
}

struct ExitCase {
  const char* what;
  std::vector<std::string> arguments;
  int exitCode;
  const char* printer;  // whose ID code is checked afterwards; null: none
  const char* holds;    // what it holds then
  std::function<void(ConsoleRig&)> arrange = {};
};

const ExitCase kExitCases[] = {
    {"check, first printer", {"check", "VX410A000117"}, 0, "onboard-usb", "VX410A000117"},
    {"check ignores case", {"check", "vx410a000117"}, 0, nullptr, nullptr},
    {"check, another code", {"check", "VX410A000118"}, 3, "onboard-usb", "VX410A000117"},
    {"check, no such product", {"check", "X", "--product", "VX-999"}, 1, nullptr, nullptr},
    {"check, no such index", {"check", "X", "--index", "10"}, 1, nullptr, nullptr},
    {"check, by index", {"check", "VX300C000932", "--index", "4"}, 0, nullptr, nullptr},
    {"check, printer class",
     {"check", "4E4C5041000000A001", "--product", "rk-l5200"},
     0,
     nullptr,
     nullptr},
    {"set, onboard USB",
     {"set", "NEW-0001", "--product", "vx-410 receipt"},
     0,
     "onboard-usb",
     "NEW-0001"},
    {"set, NW-J board",
     {"set", "NEW-0002", "--product", "VX-520 Label"},
     0,
     "nwj-board",
     "NEW-0002"},
    {"set, virtual COM port",
     {"set", "NEW-0003", "--product", "VX-300 Kiosk   [COM3]"},
     0,
     "com3",
     "NEW-0003"},
    {"set, refused by the rules", {"set", "BAD/CODE"}, 3, "onboard-usb", "VX410A000117"},
    {"set, unchanged", {"set", "VX410A000117"}, 0, "onboard-usb", "VX410A000117"},
    {"set, no printer of that product",
     {"set", "NEW-0004", "--product", "VX-410"},
     1,
     "onboard-usb",
     "VX410A000117"},
    {"set, the write fails",
     {"set", "NEW-0005"},
     3,
     "onboard-usb",
     "VX410A000117",
     [](ConsoleRig& rig) {
       rig.h.world.Vendor("onboard-usb").Faults().writes.push_back({.nth = 0, .take = 0});
     }},
    {"set, not listed again",
     {"set", "NEW-0006", "--product", "VX-520 Label"},
     2,
     "nwj-board",
     "NEW-0006",
     [](ConsoleRig& rig) {
       rig.h.world.Vendor("nwj-board").Faults().unplug =
           sim::UnplugFault{.after = 1, .kind = sim::RequestKind::IoControl, .code = 0x2221FC};
     }},
    {"set, printer class: pending",
     {"set", "0123456789ABCDEF02", "--product", "RK-L5200"},
     5,
     nullptr,
     nullptr},
    {"set, printer class: refused length",
     {"set", "0123", "--product", "RK-L5200"},
     3,
     nullptr,
     nullptr},
};

TEST(ConsoleRun, ExitCodesOnEachRoute) {
  for (const ExitCase& c : kExitCases) {
    SCOPED_TRACE(c.what);
    ConsoleRig rig;
    if (c.arrange) c.arrange(rig);
    EXPECT_EQ(rig.Run(c.arguments), c.exitCode) << rig.streams.error;
    if (c.printer != nullptr) {
      EXPECT_EQ(VendorSerial(rig, c.printer), c.holds);
    }
    ExpectCleanedUp(rig);
  }
}

TEST(ConsoleRun, PrinterClassSetIsPendingUntilThePrinterRestarts) {
  ConsoleRig rig;
  const std::vector<std::string> check{"check", "0123456789ABCDEF02", "--product", "RK-L5200"};
  EXPECT_EQ(rig.Run({"set", "0123456789ABCDEF02", "--product", "RK-L5200", "--json"}), 5);
  EXPECT_NE(rig.streams.output.find(
                R"("readBack":{"idCode":"4E4C5041000000A001","idName":null},"pending":true)"),
            std::string::npos)
      << rig.streams.output;
  EXPECT_EQ(rig.Run(check), 3) << "applied before the restart";
  rig.h.world.PrinterClass("rk-l5200").PowerCycle();
  EXPECT_EQ(rig.Run(check), 0);
  ExpectCleanedUp(rig);
}

TEST(ConsoleRun, DuplicateGuardRefusesACodeAPrinterOfTheSameVendorAndProductHolds) {
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    const char* twinHolds;
  } const cases[] = {
      {{"set", "TWIN-1", "--index", "1"}, 6, "TWIN-2"},
      {{"set", "twin-1", "--index", "1"}, 6, "TWIN-2"},
      {{"set", "TWIN-1", "--index", "1", "--allow-duplicate"}, 0, "TWIN-1"},
      // Another product ID: Windows tells the two apart.
      {{"set", "ODD-1", "--index", "1"}, 0, "ODD-1"},
      // Without a serial number Windows names a device by its place.
      {{"set", "", "--index", "1"}, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[1]);
    ConsoleRig rig(R"({"version": 1, "devices": [
      {"name": "a", "kind": "vendor", "serial": "TWIN-1", "usb": {"vendorId": "0x0F1A", "productId": "0x0410", "product": "VX-410"}},
      {"name": "b", "kind": "vendor", "serial": "TWIN-2", "usb": {"vendorId": "0x0F1A", "productId": "0x0410", "product": "VX-410"}},
      {"name": "c", "kind": "com", "comPort": 4, "serial": "ODD-1", "usb": {"vendorId": "0x0F1A", "productId": "0x0300", "product": "VX-300"}}
    ]})");
    EXPECT_EQ(rig.Run(c.arguments), c.exitCode) << rig.streams.error;
    EXPECT_EQ(VendorSerial(rig, "b"), c.twinHolds);
    EXPECT_EQ(VendorSerial(rig, "a"), "TWIN-1");
    ExpectCleanedUp(rig);
  }
}

TEST(ConsoleRun, OutcomesBeforeThePrintersAreTouched) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    int exitCode;
    std::function<void(ConsoleRig&)> arrange;
  } const cases[] = {
      {"another copy runs", {"set", "NEW-1"}, -1, [](ConsoleRig& rig) { rig.anotherCopy = true; }},
      {"the log cannot be opened",
       {"set", "NEW-1", "--log", "X:\\no\\log"},
       4,
       [](ConsoleRig& rig) { rig.logs.unopenable.insert("X:\\no\\log"); }},
      {"--fleet in the production build",
       {"list", "--fleet", "f.json"},
       7,
       [](ConsoleRig& rig) { rig.simulatorBuild = false; }},
      {"a word the program does not know", {"sett", "NEW-1"}, 7, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRig rig;
    if (c.arrange) c.arrange(rig);
    rig.h.services.Spooler().SetState(sim::ServiceState::Running);
    EXPECT_EQ(rig.Run(c.arguments), c.exitCode);
    EXPECT_FALSE(rig.streams.error.empty()) << "no word of why";
    EXPECT_TRUE(rig.streams.output.empty());
    EXPECT_EQ(rig.h.services.Spooler().StopControls(), 0) << "the spooler was touched";
    EXPECT_EQ(VendorSerial(rig, "onboard-usb"), "VX410A000117");
    EXPECT_TRUE(rig.h.host.Calls().empty()) << "the work folder was touched";
  }
}

// A Find that fails at the virtual COM route: the exception ends the run
// with 4, and the clean-up still runs.
class ThrowingDosDevices final : public platform::DosDevices {
 public:
  bool QueryTarget(const std::string&, std::string*) override {
    throw std::runtime_error("device names gone");
  }
};

TEST(ConsoleRun, ExceptionEndsTheRunWithFourAfterTheCleanUp) {
  ConsoleRig rig;
  ThrowingDosDevices dos;
  rig.adjust = [&](platform::Platform& p) { p.dosDevices = &dos; };
  EXPECT_EQ(rig.Run({"set", "NEW-1"}), 4);
  EXPECT_NE(rig.streams.error.find("device names gone"), std::string::npos) << rig.streams.error;
  EXPECT_EQ(VendorSerial(rig, "onboard-usb"), "VX410A000117");
  ExpectCleanedUp(rig);
}

}  // namespace
}  // namespace nolpa
