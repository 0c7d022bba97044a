// Every path of the program under the fault matrix (fault_matrix_runner.h):
// each outside request failing in turn, each device write going out short.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "sim/fleet/fleet.h"
#include "tests/support/fault_matrix_runner.h"

namespace nolpa {
namespace {

using resources::MessageId;
using testing::FaultRig;
using testing::Path;
using testing::RunPath;
using testing::Tally;

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
void ExpectOnlyTrueCodes(const std::vector<std::string>& listed,
                         const std::set<std::string>& truth) {
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

// Write through the form: a success shown means the printer holds the values.
Path WritePath(const char* name, std::uint8_t board, std::size_t shards) {
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
            if (r.Shown(MessageId::WriteSucceeded)) {
              EXPECT_TRUE(written) << "success shown, not written";
            }
            if (clean) {
              EXPECT_TRUE(r.Shown(MessageId::WriteSucceeded));
            }
          },
          true,
          false,
          shards};
}

Path CommTestPath(const char* name, bool onCom, std::size_t shards) {
  return {name,
          [onCom](FaultRig& r) {
            onCom ? AddCom(r) : AddVendor(r);
            r.Make().FormShow();
          },
          [](FaultRig& r) { r.h.form->Button6Click(); },
          [onCom](FaultRig& r, bool clean) {
            const std::string line = std::string("MODEL FW  ") + (onCom ? "C-CODE" : "V-CODE");
            if (r.Shown(MessageId::CommTestSucceeded)) {
              EXPECT_EQ(r.h.form->Label5.Text(), line);
            }
            if (clean) {
              EXPECT_TRUE(r.Shown(MessageId::CommTestSucceeded));
            }
          },
          true,
          false,
          shards};
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
                       EXPECT_EQ(printer.Serial(), kClassNewSerial)
                           << "library returned 0, not written";
                     }
                     if (r.Shown(MessageId::LibraryWriteSucceeded)) {
                       EXPECT_EQ(printer.Serial(), kClassNewSerial) << "success shown, not written";
                     }
                     if (clean) {
                       EXPECT_EQ(lastSetResult, 0);
                       EXPECT_TRUE(r.Shown(MessageId::LibraryWriteSucceeded));
                     }
                   },
                   true, true, 5});
  paths.push_back({"Test Comm, printer class",
                   [](FaultRig& r) {
                     AddClass(r);
                     r.Make().FormShow();
                     r.SelectCode(kClassSerial);
                   },
                   [](FaultRig& r) { r.h.form->Button6Click(); },
                   [](FaultRig& r, bool clean) {
                     if (r.Shown(MessageId::CommTestSucceeded)) {
                       EXPECT_EQ(r.h.form->Label5.Text(), "RK-L5200 5.10");
                     }
                     if (clean) {
                       EXPECT_TRUE(r.Shown(MessageId::CommTestSucceeded));
                     }
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
                       // Silent either way; what was printed is the whole line or
                       // nothing, or the part of it a short write let through.
                       EXPECT_TRUE(r.h.boxes.shown.empty());
                       const std::string& printed = r.h.world.Vendor(onCom ? "c" : "v").Printed();
                       if (r.fp.counter.Injected() == testing::FaultCounter::kShortWrite) {
                         EXPECT_TRUE(kTestLine.starts_with(printed)) << printed;
                       } else {
                         EXPECT_TRUE(printed.empty() || printed == kTestLine) << printed;
                       }
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
                   },
                   false, false, 3});
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
                     if (clean) {
                       EXPECT_EQ(r.h.form->ComboBox1.Items().size(), 3u);
                     }
                   },
                   false, false, 6});
  // Shards of about a second of work each: the printer exchanges wait out
  // the reply reader's silences one read at a time, and every one of those
  // reads is a run of its own.
  paths.push_back(WritePath("Write by board (NW-J)", sim::kNwjBoard, 3));
  paths.push_back(WritePath("Write by printer commands", sim::kOnboardUsb1, 20));
  paths.push_back(CommTestPath("Test Comm, vendor driver", false, 14));
  paths.push_back(CommTestPath("Test Comm, virtual COM port", true, 14));
  AddLibraryPaths(paths);
  AddQuietPaths(paths);
  return paths;
}

// One test per shard of a path, so that ctest runs them side by side and
// none runs for long on a loaded machine.
struct MatrixEntry {
  std::size_t path;
  testing::Shard shard;
};

std::vector<MatrixEntry> MatrixEntries() {
  std::vector<MatrixEntry> entries;
  const std::vector<Path> paths = FormPaths();
  for (std::size_t p = 0; p < paths.size(); ++p)
    for (std::size_t i = 0; i < paths[p].shards; ++i) entries.push_back({p, {i, paths[p].shards}});
  return entries;
}

void PrintTo(const MatrixEntry& entry, std::ostream* os) {
  *os << "path " << entry.path << " shard " << entry.shard.index + 1 << " of " << entry.shard.count;
}

class FaultMatrix : public ::testing::TestWithParam<MatrixEntry> {};

TEST_P(FaultMatrix, NoFailureIsReportedAsSuccessAndNothingIsHeld) {
  const Path path = FormPaths().at(GetParam().path);
  const Tally t = RunPath(path, GetParam().shard);
  EXPECT_TRUE(t.failing.empty());
}

INSTANTIATE_TEST_SUITE_P(Paths, FaultMatrix, ::testing::ValuesIn(MatrixEntries()),
                         [](const ::testing::TestParamInfo<MatrixEntry>& info) {
                           const testing::Shard& shard = info.param.shard;
                           std::string name =
                               testing::PathTestName(FormPaths().at(info.param.path).name);
                           if (shard.count > 1)
                             name += "Shard" + std::to_string(shard.index + 1) + "of" +
                                     std::to_string(shard.count);
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
    Path path{name, [&m](FaultRig& r) { r.h.services.Spooler().SetState(m.from); },
              [&m](FaultRig& r) { r.result = ident::ControlSpooler(r.fp.Platform(), m.mode); },
              [&m](FaultRig& r, bool clean) {
                const bool succeeded = r.result == 1;
                if (succeeded) {
                  EXPECT_EQ(r.h.services.Spooler().State(), m.to) << "result 1, state not reached";
                }
                if (clean) {
                  EXPECT_TRUE(succeeded);
                }
              }};
    RunPath(path);
  }
}

}  // namespace
}  // namespace nolpa
