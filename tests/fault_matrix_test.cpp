// Every path of the program run once clean to count its outside requests,
// then once more for each of them with that request failing. After each run:
// nothing reported as success that did not happen, nothing held, the
// controls enabled again, and (by the suite itself) no departure from the
// protocols the simulator plays.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <functional>
#include <set>

#include "sim/fleet.h"
#include "tests/support/enabling.h"
#include "tests/support/fault_matrix.h"

namespace nolpa {
namespace {

using resources::MessageId;
using testing::FaultRig;

constexpr char kClassSerial[] = "0123456789ABCDEF01";
constexpr char kClassNewSerial[] = "0123456789ABCDEF02";
const std::string kTestLine = "VARDU NOLPAID Test Print\n";

sim::VendorPrinter& AddVendor(FaultRig& r, std::uint8_t board = sim::kOnboardUsb1) {
  auto& p = r.h.AddVendor("v", u"V-CODE", u"V-NAME", board);
  p.SetModel("MODEL");
  p.SetFirmware("FW");
  return p;
}
sim::VendorPrinter& AddCom(FaultRig& r) {
  auto& p = r.h.AddComPrinter("c", 3, u"C-CODE", u"C-NAME");
  p.SetModel("MODEL");
  p.SetFirmware("FW");
  return p;
}
sim::ClassPrinter& AddClass(FaultRig& r) {
  sim::ClassPrinterConfig config;
  config.name = "k";
  config.deviceId = "MFG:M;MDL:RK-L5200;CMD:D4;";
  config.serial = kClassSerial;
  config.firmware = "5.10";
  return r.h.world.AddClassPrinter(config);
}

// Every listed ID code is one a printer of the fleet holds, or empty: a
// failure may lose a printer's code, never list a wrong one.
void ExpectOnlyTrueCodes(const std::vector<std::string>& listed, const std::set<std::string>& truth) {
  for (const std::string& code : listed)
    EXPECT_TRUE(code.empty() || truth.count(code)) << "listed code " << code;
}

void TypeIdentity(FaultRig& r, const char* code, const char* name) {
  r.h.form->Edit1.TextFromUser(code);
  r.h.form->Edit1Exit();
  if (name) r.h.form->Edit2.TextFromUser(name);
}

// What the library's SetUSBSerialNumber last returned to the program.
int lastSetResult = -1;
int MORVALIB_CALL RecordingSetSerial(const char* path, const char* serial, int model) {
  return lastSetResult = ::SetUSBSerialNumber(path, serial, model);
}

struct Path {
  const char* name;
  std::function<void(FaultRig&)> setup;   // not counted
  std::function<void(FaultRig&)> action;  // counted; request N of it fails
  // Asserts that what the run reported is true; `clean`: nothing failed, so
  // it must also have succeeded.
  std::function<void(FaultRig&, bool clean)> check;
  bool restores = false;  // the action ends with the controls' enabled state restored
  bool printerClass = false;
};

// Write through the form: a success shown means the printer holds the values.
Path WritePath(const char* name, std::uint8_t board) {
  return {name,
          [board](FaultRig& r) {
            AddVendor(r, board);
            r.Make().FormShow();
            TypeIdentity(r, "NEW-CODE", "NEW-NAME");
          },
          [](FaultRig& r) { r.h.form->Button3Click(); },
          [](FaultRig& r, bool clean) {
            const auto& id = r.h.world.Vendor("v").Identity();
            const bool written = id.serial == "NEW-CODE" && id.idName == "NEW-NAME";
            if (r.Shown(MessageId::WriteSucceeded)) { EXPECT_TRUE(written) << "success shown, not written"; }
            if (clean) { EXPECT_TRUE(r.Shown(MessageId::WriteSucceeded)); }
          },
          true};
}

Path CommTestPath(const char* name, bool onCom) {
  return {name,
          [onCom](FaultRig& r) {
            onCom ? AddCom(r) : AddVendor(r);
            r.Make().FormShow();
          },
          [](FaultRig& r) { r.h.form->Button6Click(); },
          [onCom](FaultRig& r, bool clean) {
            const std::string line = std::string("MODEL FW  ") + (onCom ? "C-CODE" : "V-CODE");
            if (r.Shown(MessageId::CommTestSucceeded)) { EXPECT_EQ(r.h.form->Label5.Text(), line); }
            if (clean) { EXPECT_TRUE(r.Shown(MessageId::CommTestSucceeded)); }
          },
          true};
}

// The printer-class route, through the real library.
void AddLibraryPaths(std::vector<Path>& paths) {
  paths.push_back({"Write by the library",
                   [](FaultRig& r) {
                     AddClass(r);
                     lastSetResult = -1;
                     r.h.host.Library().setUSBSerialNumber = &RecordingSetSerial;
                     r.Make().FormShow();
                     r.SelectCode(kClassSerial);
                     TypeIdentity(r, kClassNewSerial, nullptr);
                   },
                   [](FaultRig& r) { r.h.form->Button3Click(); },
                   [](FaultRig& r, bool clean) {
                     auto& printer = r.h.world.PrinterClass("k");
                     printer.PowerCycle();
                     // The library's 0 and the form's message both claim the write.
                     if (lastSetResult == 0) {
                       EXPECT_EQ(printer.Serial(), kClassNewSerial) << "library returned 0, not written";
                     }
                     if (r.Shown(MessageId::LibraryWriteSucceeded)) {
                       EXPECT_EQ(printer.Serial(), kClassNewSerial) << "success shown, not written";
                     }
                     if (clean) {
                       EXPECT_EQ(lastSetResult, 0);
                       EXPECT_TRUE(r.Shown(MessageId::LibraryWriteSucceeded));
                     }
                   },
                   true, true});
  paths.push_back({"Test Comm, printer class",
                   [](FaultRig& r) {
                     AddClass(r);
                     r.Make().FormShow();
                     r.SelectCode(kClassSerial);
                   },
                   [](FaultRig& r) { r.h.form->Button6Click(); },
                   [](FaultRig& r, bool clean) {
                     if (r.Shown(MessageId::CommTestSucceeded)) {
                       EXPECT_EQ(r.h.form->Label5.Text(), "RK-L5200 5.10"); }
                     if (clean) { EXPECT_TRUE(r.Shown(MessageId::CommTestSucceeded)); }
                   },
                   true, true});
}

// Paths that report nothing: Test Print, and the start and end of work.
void AddQuietPaths(std::vector<Path>& paths) {
  for (const bool onCom : {false, true}) {
    paths.push_back({onCom ? "Test Print, virtual COM port" : "Test Print, vendor driver",
                     [onCom](FaultRig& r) {
                       onCom ? AddCom(r) : AddVendor(r);
                       r.Make().FormShow();
                       r.h.boxes.shown.clear();
                     },
                     [](FaultRig& r) { r.h.form->Button5Click(); },
                     [onCom](FaultRig& r, bool clean) {
                       // Silent either way; what was printed is the whole line or nothing.
                       EXPECT_TRUE(r.h.boxes.shown.empty());
                       const std::string& printed = r.h.world.Vendor(onCom ? "c" : "v").Printed();
                       EXPECT_TRUE(printed.empty() || printed == kTestLine) << printed;
                       if (clean) {
                         EXPECT_EQ(printed, kTestLine);
                       }
                     }});
  }
  paths.push_back({"PrepareWork + FormClose",
                   [](FaultRig& r) {
                     AddVendor(r);
                     AddClass(r);
                     r.Make();
                   },
                   [](FaultRig& r) {
                     try {
                       r.h.form->FormShow();
                     } catch (const std::exception&) {
                       // The library could not be written out: the window stays usable.
                     }
                     r.listedAtClose = r.ListedCodes();
                     r.h.form->FormClose();
                     r.closed = true;
                   },
                   [](FaultRig& r, bool clean) {
                     ExpectOnlyTrueCodes(r.listedAtClose, {"V-CODE", kClassSerial});
                     EXPECT_EQ(r.h.host.LoadedModules(), 0u);
                     if (clean) {
                       EXPECT_EQ(r.listedAtClose.size(), 2u);
                       EXPECT_EQ(r.h.services.Spooler().State(), sim::ServiceState::Running);
                     }
                   }});
}

std::vector<Path> FormPaths() {
  std::vector<Path> paths;
  paths.push_back({"Find",
                   [](FaultRig& r) {
                     AddVendor(r);
                     AddCom(r);
                     AddClass(r);
                     r.Make().FormShow();
                   },
                   [](FaultRig& r) { r.h.form->Button1Click(); },
                   [](FaultRig& r, bool clean) {
                     ExpectOnlyTrueCodes(r.ListedCodes(), {"V-CODE", "C-CODE", kClassSerial});
                     if (clean) { EXPECT_EQ(r.h.form->ComboBox1.Items().size(), 3u); }
                   }});
  paths.push_back(WritePath("Write by board (NW-J)", sim::kNwjBoard));
  paths.push_back(WritePath("Write by printer commands", sim::kOnboardUsb1));
  paths.push_back(CommTestPath("Test Comm, vendor driver", false));
  paths.push_back(CommTestPath("Test Comm, virtual COM port", true));
  AddLibraryPaths(paths);
  AddQuietPaths(paths);
  return paths;
}

struct Tally {
  std::size_t runs = 0;
  std::size_t injected = 0;
  std::size_t tolerated = 0;  // departures of sessions cut short by the failure
  std::vector<std::size_t> failing{};  // the requests whose failure a check caught
};

int FailuresSoFar() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// One run from scratch with request `failAt` failing (0: none); returns the
// number of requests counted.
// A session whose own reads or writes fail cannot be ended in order: the
// printer is left in its session (or packet mode) when the handle closes.
// Those departures follow from the failure injected, not from the program.
bool SessionCutShort(const sim::Departure& d, const std::string& injected) {
  if (injected != "DeviceFiles::Read" && injected != "DeviceFiles::Write") return false;
  for (const char* kind : {sim::departure::kSessionOpenAtClose, sim::departure::kChannelOpenAtExit,
                           sim::departure::kChannelOpenAtClose, sim::departure::kClosedInPacketMode})
    if (d.kind == kind) return true;
  return false;
}

// The enabled state after an action: restored, unless the Find that ended
// it listed nothing, which leaves only Find and Exit usable.
void ExpectEnabling(FaultRig& r, const Path& path) {
  ui::TMainForm& form = *r.h.form;
  if (!form.ComboBox1.Items().empty()) {
    testing::ExpectRestored(form, path.printerClass);
    return;
  }
  EXPECT_TRUE(form.Button1.Enabled());
  EXPECT_TRUE(form.Button4.Enabled());
  for (ui::Control* c : {&form.Button2, &form.Button3, &form.Button5, &form.Button6, &form.Edit1,
                         &form.Edit2})
    EXPECT_FALSE(c->Enabled()) << ui::LayoutOf(c->Id()).name;
}

// One run from scratch with request `failAt` failing (0: none); returns the
// number of requests counted and adds the departures it tolerated.
std::size_t RunOnce(const Path& path, std::size_t failAt, std::size_t* tolerated) {
  FaultRig r;
  path.setup(r);
  const FaultRig::Held before = r.Holding();
  r.h.boxes.shown.clear();
  r.fp.counter.Arm(failAt);
  path.action(r);
  r.fp.counter.Disarm();
  const std::size_t counted = r.fp.counter.Count();
  const std::string injected = r.fp.counter.Injected();
  SCOPED_TRACE(failAt == 0 ? std::string("clean run")
                           : "request " + std::to_string(failAt) + " failing: " + injected);
  if (failAt != 0) {
    EXPECT_FALSE(injected.empty());
  }
  path.check(r, failAt == 0);
  if (r.closed) {
    EXPECT_EQ(r.Holding(), FaultRig::Held{});
  } else {
    EXPECT_EQ(r.Holding(), before);
    if (path.restores) ExpectEnabling(r, path);
  }
  // Departures are checked here, where the failed request is known; the
  // suite's own check would see them only as the world ends, untraced.
  if (r.h.form && !r.closed) r.h.form->FormClose();
  r.closed = true;
  for (const sim::Departure& d : r.h.world.Departures().Unexpected()) {
    if (SessionCutShort(d, injected))
      ++*tolerated;
    else
      ADD_FAILURE() << "departure: " << sim::DescribeDeparture(d);
  }
  r.h.world.Departures().Clear();
  return counted;
}

void Report(const char* what, const Tally& t) {
  const std::string line = std::to_string(t.runs) + " runs, " + std::to_string(t.injected) +
                           " injected failures, " + std::to_string(t.tolerated) +
                           " sessions cut short" + (t.failing.empty() ? "" : ", stopped at 3 failing runs");
  std::printf("[ matrix   ] %-30s %s\n", what, line.c_str());
  ::testing::Test::RecordProperty(what, line);
}

Tally RunPath(const Path& path) {
  Tally t;
  SCOPED_TRACE(path.name);
  const std::size_t count = RunOnce(path, 0, &t.tolerated);
  ++t.runs;
  EXPECT_GT(count, 0u);
  // Every request, but no more than a few failing runs per path: one fault
  // tends to show at many requests.
  for (std::size_t n = 1; n <= count && t.failing.size() < 3; ++n) {
    const int before = FailuresSoFar();
    RunOnce(path, n, &t.tolerated);
    ++t.runs;
    ++t.injected;
    if (FailuresSoFar() != before) t.failing.push_back(n);
  }
  Report(path.name, t);
  return t;
}

// One test per path, so that ctest runs them side by side.
class FaultMatrix : public ::testing::TestWithParam<std::size_t> {};

TEST_P(FaultMatrix, NoFailureIsReportedAsSuccessAndNothingIsHeld) {
  const Path path = FormPaths().at(GetParam());
  const Tally t = RunPath(path);
  EXPECT_TRUE(t.failing.empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, FaultMatrix, ::testing::Range<std::size_t>(0, FormPaths().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           std::string name;
                           for (const char c : std::string(FormPaths().at(info.param).name))
                             if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                           return name;
                         });

// ControlSpooler on its own: a result of 1 means the spooler is in the
// state the mode asks for.
TEST(FaultMatrixSpooler, ControlSpoolerUnderEveryFailure) {
  struct Mode {
    int mode;
    sim::ServiceState from, to;
  } const modes[] = {{1, sim::ServiceState::Running, sim::ServiceState::Stopped},
                     {0, sim::ServiceState::Stopped, sim::ServiceState::Running}};
  for (const Mode& m : modes) {
    const std::string name = "ControlSpooler mode " + std::to_string(m.mode);
    Path path{name.c_str(),
              [&m](FaultRig& r) { r.h.services.Spooler().SetState(m.from); },
              [&m](FaultRig& r) { r.result = ident::ControlSpooler(r.fp.Platform(), m.mode); },
              [&m](FaultRig& r, bool clean) {
                const bool succeeded = r.result == 1;
                if (succeeded) { EXPECT_EQ(r.h.services.Spooler().State(), m.to) << "result 1, state not reached"; }
                if (clean) { EXPECT_TRUE(succeeded); }
              }};
    RunPath(path);
  }
}

}  // namespace
}  // namespace nolpa
