// The simulated program run from the command line on the default fleet: the
// exit code is the outcome, the window never appears, a set is seen by a
// check in the next process, and a copy started meanwhile is refused. Each
// test has a state file of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "sim/core/virtual_clock.h"
#include "sim/printers/class_printer.h"
#include "sim/world.h"
#include "tests/wine/programs.h"
#include "tests/wine/sim_state.h"
#include "tests/wine/window_driver.h"

namespace nolpa::wine_tests {
namespace {

constexpr DWORD kRefused = 0xFFFFFFFF;  // -1 as an exit code
// The default fleet's first printer: its product text and ID code.
constexpr char kFirstProduct[] = "VX-410 Receipt";
constexpr char kFirstCode[] = "VX410A000117";

// Waits for the program to end; a visible main window meanwhile is a
// failure. `boxShown`, when given, tells whether a message box came up.
std::optional<DWORD> RunToEnd(const ProgramRun& run, bool* boxShown = nullptr) {
  std::optional<DWORD> code;
  bool windowShown = false;
  bool box = false;
  WaitUntil(
      [&] {
        windowShown = windowShown || run.WaitForWindow("TMainForm", 0) != nullptr;
        box = box || run.WaitForWindow("#32770", 0) != nullptr;
        return (code = run.WaitForExit(0)).has_value();
      },
      kExitTimeoutMs);
  EXPECT_FALSE(windowShown) << "the main window was shown";
  if (boxShown != nullptr) *boxShown = box;
  return code;
}

std::optional<DWORD> RunSim(const std::string& arguments, const SimState& state) {
  ProgramRun run(ProgramPath(kSimProgram), arguments, state.Env());
  EXPECT_TRUE(run.Started());
  return RunToEnd(run);
}

TEST(CommandLineRun, CheckEndsWithTheOutcome) {
  const struct {
    std::string arguments;
    DWORD exitCode;
  } cases[] = {
      {std::string("/c ") + kFirstCode, 0},
      {"/c VX410A000118", 3},
      {std::string("/c ") + kFirstCode + " No Such Printer", 1},
      // Read wide: a full-width look-alike of the code is not the code.
      {"/c ＶＸ410A000117", 3},
      {std::string("/c ") + kFirstCode + " ＶＸ-410 Receipt", 1},
  };
  SimState state;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(RunSim(c.arguments, state), std::optional<DWORD>(c.exitCode));
  }
}

TEST(CommandLineRun, SetIsSeenByTheNextProcessAndRefusesACopyMeanwhile) {
  SimState state;
  const std::string arguments = std::string("NOLPA-0042 ") + kFirstProduct;
  const auto started = std::chrono::steady_clock::now();
  ProgramRun set(ProgramPath(kSimProgram), "/s " + arguments, state.Env());
  ASSERT_TRUE(set.Started());
  // The application window exists (hidden) once the mutex is taken.
  ASSERT_TRUE(WaitUntil(
      [&] {
        DWORD owner = 0;
        GetWindowThreadProcessId(FindWindowA("TApplication", "NOLPA Identifier Utility"), &owner);
        return owner == set.ProcessId();
      },
      kStartTimeoutMs));
  {
    ProgramRun copy(ProgramPath(kSimProgram), "/c " + arguments, state.Env());
    EXPECT_EQ(RunToEnd(copy), std::optional<DWORD>(kRefused));
  }
  EXPECT_EQ(RunToEnd(set), std::optional<DWORD>(0));
  const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
  EXPECT_GE(elapsedMs, 5000) << "the code was read back before the wait";

  EXPECT_EQ(RunSim("/c " + arguments, state), std::optional<DWORD>(0));
}

// The default fleet's printer-class printer of the first library model.
constexpr char kClassPrinter[] = "rk-l5200";
constexpr char kClassProduct[] = "RK-L5200";
constexpr char kClassSerial[] = "4E4C5041000000A001";

// A set on a printer-class printer: the printer takes the new number only at
// its next restart, so the run reads back the old one and ends with 3, and
// shows no box. The number waits in that printer and in no other (the
// RK-L880 shares its USBHUB3 root hub), and once the printer has been
// power-cycled a check gives 0.
TEST(CommandLineRun, SetOnAPrinterClassPrinterEndsWithThreeAndHoldsUntilARestart) {
  SimState state;
  const std::string newSerial = "0123456789ABCDEF02";
  ProgramRun set(ProgramPath(kSimProgram), "/s " + newSerial + " " + kClassProduct, state.Env());
  ASSERT_TRUE(set.Started());
  bool boxShown = false;
  EXPECT_EQ(RunToEnd(set, &boxShown), std::optional<DWORD>(3));
  EXPECT_FALSE(boxShown) << "a message box for a write the printer took";
  {
    sim::VirtualClock clock;
    std::string error;
    const std::unique_ptr<sim::World> world = sim::OpenPersistentWorld(state.Path(), clock, &error);
    ASSERT_NE(world, nullptr) << error;
    sim::ClassPrinter& printer = world->PrinterClass(kClassPrinter);
    EXPECT_EQ(printer.Serial(), kClassSerial);
    EXPECT_EQ(printer.Peripheral().Commands().PendingSerial(),
              std::optional<std::string>(newSerial));
    for (const char* other :
         {"rk-l5200s", "rk-l880", "rk-l880-plain", "rk-l5200-combo", "other-make"})
      EXPECT_EQ(world->PrinterClass(other).Peripheral().Commands().PendingSerial(), std::nullopt)
          << other;
    printer.PowerCycle();  // written to the state file at once
  }
  EXPECT_EQ(RunSim("/c " + newSerial + " " + kClassProduct, state), std::optional<DWORD>(0));
}

TEST(CommandLineRun, RefusedSetShowsItsErrorAndEndsWithThree) {
  SimState state;
  ProgramRun run(ProgramPath(kSimProgram), "/s BAD/CODE", state.Env());
  ASSERT_TRUE(run.Started());
  // The box has the hidden main window for its owner and must still show.
  HWND box = WaitForMessageBox(run.ProcessId(), kStartTimeoutMs);
  ASSERT_NE(box, nullptr) << "no error box";
  const MessageBoxSeen seen = ReadMessageBox(box);
  EXPECT_EQ(seen.caption, L"Error");
  EXPECT_EQ(seen.text, L"Invalid character in ID code.");
  DismissMessageBox(box);
  EXPECT_EQ(RunToEnd(run), std::optional<DWORD>(3));
}

TEST(CommandLineRun, ExceptionEndsTheRunWithFour) {
  SimState state;
  // A state file the simulator cannot read makes opening the world throw.
  HANDLE file = CreateFileA(state.Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "{ not json", 10, &written, nullptr);
  CloseHandle(file);

  ProgramRun run(ProgramPath(kSimProgram), std::string("/c ") + kFirstCode, state.Env());
  ASSERT_TRUE(run.Started());
  HWND box = WaitForMessageBox(run.ProcessId(), kStartTimeoutMs);
  ASSERT_NE(box, nullptr) << "no exception box";
  EXPECT_EQ(ReadMessageBox(box).caption, L"NOLPA Identifier Utility");
  DismissMessageBox(box);
  EXPECT_EQ(RunToEnd(run), std::optional<DWORD>(4));
}

}  // namespace
}  // namespace nolpa::wine_tests
