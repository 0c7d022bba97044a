// The run without the window against simulated fleets: which device the
// command line chooses, the check and the set with its rescans, every exit
// code, the boxes that still appear, and the clean-up after the run.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "app/command_line.h"
#include "app/run_command_line.h"
#include "discovery/standard_routes.h"
#include "ident/spooler_control.h"
#include "platform/posix/posix_console.h"
#include "resources/messages.h"
#include "serial_library/services.h"
#include "tests/support/form_harness.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/sim_harness.h"
#include "tests/support/usb_bus.h"

namespace nolpa {
namespace {

using platform::MessageIcon;
using testing::SimHarness;

// The virtual clock, with a hook on every wait of the rescan's length.
class RescanClock : public platform::Clock {
 public:
  explicit RescanClock(sim::VirtualClock& clock) : clock_(clock) {}
  std::function<void(int wait)> onRescanWait;
  int rescanWaits = 0;

  std::uint64_t NowMs() override { return clock_.NowMs(); }
  void SleepMs(std::uint32_t ms) override {
    if (ms == app::kRescanWaitMs) {
      ++rescanWaits;
      if (onRescanWait) onRescanWait(rescanWaits);
    }
    clock_.SleepMs(ms);
  }
  platform::LocalTime LocalNow() override { return clock_.LocalNow(); }

 private:
  sim::VirtualClock& clock_;
};

struct BatchRun {
  SimHarness h;
  RescanClock clock{h.clock};
  std::vector<std::string> reported;
  platform::posix::Windows1252Encoding encoding;

  BatchRun() {
    h.AddVendor("a", u"CODE-A", u"name a");
    h.AddVendor("b", u"CODE-B", u"name b");
  }

  // The form with the spooler control the program gives it.
  ui::TMainForm& Make(discovery::Routes routes) {
    platform::Platform p = h.Platform();
    p.clock = &clock;
    ui::FormServices services{p, std::move(routes)};
    services.controlSpooler = [p](int mode) { return ident::ControlSpooler(p, mode); };
    h.form = std::make_unique<ui::TMainForm>(std::move(services));
    h.form->SetObserver(&h.observer);
    return *h.form;
  }
  ui::TMainForm& Make() {
    platform::Platform p = h.Platform();
    p.clock = &clock;
    return Make(discovery::StandardRoutes(p, [this] { return h.form->SerialLibrary(); }));
  }

  // As the program reads it: UTF-8 from the wide command line, then into
  // the code page.
  int Carry(const char* commandLine) {
    if (!h.form) Make();
    const app::CommandLineValues values =
        app::InAnsiCodePage(app::ParseCommandLine(commandLine), encoding);
    return app::CarryOutCommandLineRun(
        *h.form, values,
        [this] {
          try {
            throw;
          } catch (const std::exception& e) {
            reported.push_back(e.what());
          }
        },
        &encoding);
  }

  std::size_t WritesTo(const char* printer) const {
    std::size_t writes = 0;
    for (const auto& r : h.world.Recorder().RequestsOf(printer))
      writes += r.kind == sim::RequestKind::Write ? 1 : 0;
    return writes;
  }
};

struct ExitCase {
  const char* commandLine;
  int exitCode;
  const char* codeOfA;  // what printer "a" holds afterwards
  const char* codeOfB;
  int rescanWaits;
  const char* errorBox;  // the one box shown, or none
};

const ExitCase kExitCases[] = {
    // Check: the first device, or the one of that product; case ignored.
    {"/c CODE-A", 0, "CODE-A", "CODE-B", 0, nullptr},
    {"/c code-a", 0, "CODE-A", "CODE-B", 0, nullptr},
    {"/c CODE-B", 3, "CODE-A", "CODE-B", 0, nullptr},
    {"/c CODE-B vx B", 0, "CODE-A", "CODE-B", 0, nullptr},
    {"/c CODE-A VX b", 3, "CODE-A", "CODE-B", 0, nullptr},
    {"/c CODE-A VX", 1, "CODE-A", "CODE-B", 0, nullptr},
    {"/c CODE-A VX a ", 1, "CODE-A", "CODE-B", 0, nullptr},
    // Set: written, read back after one wait, no information box.
    {"/s NEW-CODE", 0, "NEW-CODE", "CODE-B", 1, nullptr},
    {"/s NEW-CODE vx b", 0, "CODE-A", "NEW-CODE", 1, nullptr},
    // Write sees another code in another case and writes it.
    {"/s code-a", 0, "code-a", "CODE-B", 1, nullptr},
    // A refused write shows its error box and the old code is read back.
    {"/s BAD/CODE", 3, "CODE-A", "CODE-B", 1, "Invalid character in ID code."},
    // Two spaces: an empty code, which clears the chosen printer's code.
    {"/s  VX a", 0, "", "CODE-B", 1, nullptr},
    // The "/c " after the cut is part of the product name.
    {"/s NEW-CODE /c CODE-A", 1, "CODE-A", "CODE-B", 0, nullptr},
    // A look-alike never stands in for what the code page lacks.
    {"/s ＣＯＤＥ-Ｘ", 3, "CODE-A", "CODE-B", 1, "Invalid character in ID code."},
    {"/c ＣＯＤＥ-A", 3, "CODE-A", "CODE-B", 0, nullptr},
    {"/c CODE-B ＶＸ b", 1, "CODE-A", "CODE-B", 0, nullptr},
    // Longer than the box takes: refused, not sent to a printer that would
    // keep its old code.
    {"/s 12345678901234567890123456789012345678901234567890123456789012345678901234567890X", 3,
     "CODE-A", "CODE-B", 1, "The ID code is longer than 80 characters."},
    {"/s 12345678901234567890123456789012345678901234567890123456789012345678901234567890", 0,
     "12345678901234567890123456789012345678901234567890123456789012345678901234567890", "CODE-B",
     1, nullptr},
};

TEST(CommandLineRun, ExitCodesOnTwoPrinters) {
  for (const ExitCase& c : kExitCases) {
    SCOPED_TRACE(c.commandLine);
    BatchRun run;
    EXPECT_EQ(run.Carry(c.commandLine), c.exitCode);
    EXPECT_EQ(run.h.form->BatchExitCode, c.exitCode);
    EXPECT_EQ(run.h.world.Vendor("a").Identity().serial, c.codeOfA);
    EXPECT_EQ(run.h.world.Vendor("b").Identity().serial, c.codeOfB);
    EXPECT_EQ(run.clock.rescanWaits, c.rescanWaits);
    if (c.errorBox == nullptr) {
      EXPECT_TRUE(run.h.boxes.shown.empty()) << run.h.boxes.shown[0].text;
    } else {
      ASSERT_EQ(run.h.boxes.shown.size(), 1u);
      EXPECT_EQ(run.h.boxes.shown[0].text, c.errorBox);
      EXPECT_EQ(run.h.boxes.shown[0].icon, MessageIcon::Error);
    }
    if (c.exitCode == 1 || std::string(c.commandLine).starts_with("/c")) {
      EXPECT_EQ(run.WritesTo("a") + run.WritesTo("b"), 0u) << "written when it must not be";
    }
    EXPECT_TRUE(run.reported.empty());
    EXPECT_EQ(run.h.world.OpenHandles(), 0u);
    EXPECT_EQ(run.h.services.Spooler().State(), sim::ServiceState::Running);
  }
}

TEST(CommandLineRun, UnchangedCodeIsNotWritten) {
  BatchRun run;
  EXPECT_EQ(run.Carry("/s CODE-B VX b"), 0);
  EXPECT_EQ(run.WritesTo("b"), 0u);
  EXPECT_TRUE(run.h.boxes.shown.empty());
}

TEST(CommandLineRun, NoDeviceAtAllEndsWithOne) {
  for (const char* commandLine : {"/c CODE-A", "/s CODE-A"}) {
    SCOPED_TRACE(commandLine);
    BatchRun run;
    run.h.world.Vendor("a").Unplug();
    run.h.world.Vendor("b").Unplug();
    EXPECT_EQ(run.Carry(commandLine), 1);
    EXPECT_TRUE(run.h.boxes.shown.empty());
    EXPECT_EQ(run.clock.rescanWaits, 0);
    EXPECT_TRUE(run.reported.empty());
  }
}

// The written printer "a" goes away after the write; `back` is the rescan
// wait before which it is plugged in again (0: never).
struct GoneCase {
  const char* productName;
  int back;
  int exitCode;
  int rescanWaits;
};

TEST(CommandLineRun, DeviceGoneAfterTheWriteIsLookedForThreeTimes) {
  const GoneCase cases[] = {
      {"VX a", 0, 2, 3},
      {"VX a", 3, 0, 3},
      {"VX a", 2, 0, 2},
      // Without a product name the first device listed is read back, and
      // that is now the other printer.
      {"", 0, 3, 1},
  };
  for (const GoneCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "[" << c.productName << "] back " << c.back);
    BatchRun run;
    run.clock.onRescanWait = [&](int wait) {
      if (wait == 1) run.h.world.Vendor("a").Unplug();
      if (wait == c.back) run.h.world.Vendor("a").Plug();
    };
    auto& form = run.Make();
    form.BatchIdCode = "NEW-CODE";
    form.BatchProductName = c.productName;  // "VX a": printer "b" is no match
    form.BatchMode = app::kSetMode;
    EXPECT_EQ(app::RunCommandLine(form), -1);
    const std::uint64_t writtenAt = run.h.world.Recorder().RequestsOf("a").back().timeMs;
    EXPECT_EQ(form.BatchExitCode, c.exitCode);
    EXPECT_EQ(run.clock.rescanWaits, c.rescanWaits);
    EXPECT_EQ(run.h.world.Vendor("a").Identity().serial, "NEW-CODE");
    if (c.exitCode == app::kDeviceGone) {
      // Three waits of 5 s with a Find after each, and nothing after them.
      EXPECT_GE(run.h.clock.NowMs() - writtenAt, 15000u);
      EXPECT_LT(run.h.clock.NowMs() - writtenAt, 15500u);
    }
    EXPECT_TRUE(run.h.boxes.shown.empty());
  }
}

TEST(CommandLineRun, ProductNameMustBeTheWholeTextWithItsPortSuffix) {
  struct {
    const char* productName;
    int exitCode;
  } const cases[] = {{"vx-300 (com3)", 0}, {"VX-300 (COM3)", 0}, {"VX-300", 1}, {"(COM3)", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.productName);
    BatchRun run;
    platform::Platform p = run.h.Platform();
    discovery::Routes routes = discovery::StandardRoutes(p, {});
    routes.virtualCom = testing::ProbeListing(
        {{2, {"COM3", "VX-300 (COM3)", "C3", "", "", "VX-300 Ver.1.0 COM3"}}});
    run.Make(std::move(routes));
    EXPECT_EQ(run.Carry((std::string("/c C3 ") + c.productName).c_str()), c.exitCode);
  }
}

TEST(CommandLineRun, EmptyProductNameTakesTheFirstDeviceOfAnyRoute) {
  BatchRun run;
  discovery::Routes routes;
  routes.printerClass = testing::ProbeListing({{5, testing::PrinterClassRecord("RK-L5200", "C5")}});
  run.Make(std::move(routes));
  EXPECT_EQ(run.Carry("/c c5"), 0);
}

// An exception in the run (here at the Nth Find: the first is PrepareWork's,
// the second a set's first rescan) ends it with 4, and is reported only
// once the machine is as the run found it: the spooler running again, the
// library unloaded, its file and folder gone. A line that kills a program
// waiting at the box must not be left unable to print.
TEST(CommandLineRun, ExceptionIsReportedWithFourOnlyAfterTheCleanUp) {
  struct Case {
    const char* commandLine;
    int throwingFind;
  } const cases[] = {{"/c CODE-A", 1}, {"/s NEW-CODE", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.commandLine);
    BatchRun run;
    int finds = 0;
    discovery::Routes routes = discovery::StandardRoutes(run.h.Platform(), {});
    routes.printerClass = [&](int index, discovery::DeviceList&) -> bool {
      if (index == 0 && ++finds == c.throwingFind) throw std::runtime_error("Cannot create file");
      return false;
    };
    auto& form = run.Make(std::move(routes));
    struct AtReport {
      sim::ServiceState spooler;
      bool folder;
      std::size_t modules;
    };
    std::vector<AtReport> seen;
    const int exitCode =
        app::CarryOutCommandLineRun(form, app::ParseCommandLine(c.commandLine), [&] {
          try {
            throw;
          } catch (const std::exception& e) {
            run.reported.push_back(e.what());
          }
          seen.push_back({run.h.services.Spooler().State(),
                          run.h.host.FolderExists(run.h.host.TempPathText() + "NOLPAID"),
                          run.h.host.LoadedModules()});
        });
    EXPECT_EQ(exitCode, app::kRunFailed);
    EXPECT_EQ(form.BatchExitCode, app::kRunFailed);
    EXPECT_EQ(finds, c.throwingFind);
    EXPECT_EQ(run.reported, (std::vector<std::string>{"Cannot create file"}));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].spooler, sim::ServiceState::Running)
        << "the box came with the spooler stopped";
    EXPECT_FALSE(seen[0].folder) << "the box came with the library's folder still there";
    EXPECT_EQ(seen[0].modules, 0u) << "the box came with the library loaded";
    EXPECT_EQ(form.DeviceList, nullptr) << "the clean-up did not run";
  }
}

TEST(CommandLineRun, CleanUpRunsAfterTheRunAndKeepsItsExitCode) {
  const std::pair<const char*, int> cases[] = {
      {"/c CODE-A", 0}, {"/c OTHER", 3}, {"/c CODE-A none", 1}};
  for (const auto& [commandLine, exitCode] : cases) {
    SCOPED_TRACE(commandLine);
    BatchRun run;
    auto& form = run.Make();
    EXPECT_EQ(run.Carry(commandLine), exitCode);
    EXPECT_EQ(form.BatchExitCode, exitCode);
    EXPECT_EQ(form.DeviceList, nullptr) << "the clean-up did not run";
  }
}

// The run on a printer-class printer, through the real library on a
// simulated bus, beside the two vendor-driver printers.
struct PrinterClassBatchRun : BatchRun {
  static constexpr char kSerial[] = "4E4C5041000000A001";
  PrinterClassBatchRun() {
    h.world.AddClassPrinter({.name = "k",
                             .deviceId = "MFG:M;CMD:D4;MDL:RK-L5200;",
                             .serial = kSerial,
                             .firmware = "5.10"});
    bus.PlugAll();
    morvalib::InstallServices(bus.Services(h.world, h.clock));
    testing::BindLibraryExports(h.host.Library());
  }
  ~PrinterClassBatchRun() { morvalib::RemoveServices(); }
  sim::ClassPrinter& Printer() { return h.world.PrinterClass("k"); }
  testing::UsbBus bus{h.world};
};

// The printer takes a new serial number only at its next restart, so a set
// reads back the old one and ends with 3 although the printer acknowledged
// it, and shows no box; once the printer has restarted a check finds the
// new number. The code goes to the printer as given: a 17-character one is
// refused with the length message, never padded to 18.
TEST(CommandLineRun, SetOnAPrinterClassPrinterTakesEffectAtItsRestart) {
  const std::string length = resources::Message(resources::MessageId::IdCodeLength18).english;
  struct Case {
    const char* code;
    const char* errorBox;  // the one box shown, or none
    const char* pending;   // what the printer holds for its restart, or nothing
  } const cases[] = {
      {"0123456789ABCDEF02", nullptr, "0123456789ABCDEF02"},
      {"0123456789ABCDEF0", length.c_str(), nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    PrinterClassBatchRun run;
    EXPECT_EQ(run.Carry((std::string("/s ") + c.code + " rk-l5200").c_str()), app::kCodeDiffers);
    EXPECT_EQ(run.clock.rescanWaits, 1);
    if (c.errorBox == nullptr) {
      EXPECT_TRUE(run.h.boxes.shown.empty()) << run.h.boxes.shown[0].text;
    } else {
      ASSERT_EQ(run.h.boxes.shown.size(), 1u);
      EXPECT_EQ(run.h.boxes.shown[0].text, c.errorBox);
    }
    const auto& pending = run.Printer().Peripheral().Commands().PendingSerial();
    EXPECT_EQ(pending.value_or("(none)"), c.pending != nullptr ? c.pending : "(none)");
    EXPECT_EQ(run.Printer().Serial(), PrinterClassBatchRun::kSerial);

    run.Printer().PowerCycle();
    run.h.form.reset();
    run.h.boxes.shown.clear();
    const std::string now = c.pending != nullptr ? c.pending : PrinterClassBatchRun::kSerial;
    EXPECT_EQ(run.Carry(("/c " + now + " RK-L5200").c_str()), app::kCodeMatches);
    EXPECT_TRUE(run.h.boxes.shown.empty());
    EXPECT_EQ(run.h.services.Spooler().State(), sim::ServiceState::Running);
  }
}

}  // namespace
}  // namespace nolpa
