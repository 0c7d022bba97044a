// NOLPAIDC-sim.exe run from another process as a line script runs it: list
// --json is valid JSON that matches the fleet, a set is seen by a check in
// the next process, Ctrl+C while the spooler is stopped leaves it running
// and no work folder, no window is ever made, and the production
// NOLPAIDC.exe carries no simulator code. Each test has a state file of its
// own.
#include <windows.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "sim/fleet/fleet.h"
#include "tests/console/station_line.h"
#include "tests/wine/console_process.h"
#include "tests/wine/machine_state.h"
#include "tests/wine/programs.h"
#include "tests/wine/sim_state.h"

namespace nolpa::wine_tests {
namespace {

constexpr char kConsole[] = "NOLPAIDC.exe";
constexpr char kSimConsole[] = "NOLPAIDC-sim.exe";
// A set waits 5 s before it reads back; start-up and the spooler add more.
constexpr DWORD kRunTimeoutMs = 60000;

using nlohmann::json;

// What the default fleet's printers are listed as, in Find's order: the
// printers of the maker's driver, then its COM ports, then the printer-class
// printers of the library's models (their serial number read through the
// packet protocol, so empty for one without "D4").
std::vector<std::pair<std::string, std::string>> FleetListing() {
  const json fleet = json::parse(sim::DefaultFleetJson());
  std::vector<std::pair<std::string, std::string>> listed;
  for (const char* kind : {"vendor", "com", "printer-class"}) {
    for (const json& device : fleet["devices"]) {
      if (device["kind"] != kind) continue;
      if (device["kind"] == "vendor")
        listed.emplace_back(device["usb"]["product"], device["serial"]);
      if (device["kind"] == "com")
        listed.emplace_back(device["usb"]["product"].get<std::string>() + "   [COM" +
                                std::to_string(device["comPort"].get<int>()) + "]",
                            device["serial"]);
      if (device["kind"] != "printer-class") continue;
      const std::string id = device["deviceId"];
      const std::size_t mdl = id.find("MDL:");
      const std::string model = id.substr(mdl + 4, id.find(';', mdl) - mdl - 4);
      const bool packets = id.find("D4") < id.find(';', id.find("CMD:"));
      if (model.find("RK-L5200") != std::string::npos || model.find("RK-L880") != std::string::npos)
        listed.emplace_back(model, packets ? device["serial"].get<std::string>() : "");
    }
  }
  return listed;
}

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(ConsoleCompanion, ListJsonParsesAndMatchesTheFleet) {
  SimState state;
  ConsoleProcess run(ProgramPath(kSimConsole), "list --json", state.Env());
  ASSERT_TRUE(run.Started());
  ASSERT_EQ(run.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0)) << run.Error();
  json listed;
  ASSERT_NO_THROW(listed = json::parse(run.Output())) << run.Output();
  const auto expected = FleetListing();
  ASSERT_EQ(listed.size(), expected.size()) << run.Output();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(listed[i]["index"], i);
    EXPECT_EQ(listed[i]["product"], expected[i].first);
    EXPECT_EQ(listed[i]["idCode"], expected[i].second);
    if (listed[i]["route"] == "printer-class") {
      EXPECT_TRUE(listed[i]["usbLocation"].is_string()) << listed[i].dump();
    }
  }
}

TEST(ConsoleCompanion, SetThenCheckInTwoProcessesOnAVendorPrinter) {
  SimState state;
  const auto started = std::chrono::steady_clock::now();
  ConsoleProcess set(ProgramPath(kSimConsole), "set NOLPA-0042 --product \"VX-410 Receipt\"",
                     state.Env());
  ASSERT_EQ(set.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0)) << set.Error();
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(5))
      << "read back before the wait";
  EXPECT_NE(set.Output().find("NOLPA-0042"), std::string::npos) << set.Output();
  ConsoleProcess check(ProgramPath(kSimConsole), "check NOLPA-0042 --product \"vx-410 receipt\"",
                       state.Env());
  EXPECT_EQ(check.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0)) << check.Error();
}

// Every window of the process: top-level ones (shown or not) and those of
// its threads, message-only ones included.
BOOL CALLBACK CountIfOurs(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<std::pair<DWORD, int>*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->first) ++search->second;
  return TRUE;
}

int WindowsOf(DWORD processId) {
  std::pair<DWORD, int> search{processId, 0};
  EnumWindows(&CountIfOurs, reinterpret_cast<LPARAM>(&search));
  for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
       window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
    CountIfOurs(window, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

TEST(ConsoleCompanion, NoWindowIsEverCreated) {
  SimState state;
  // A set with its read-back, so there is time to look.
  ConsoleProcess run(ProgramPath(kSimConsole), "set NOLPA-0043", state.Env());
  ASSERT_TRUE(run.Started());
  int seen = 0, looks = 0;
  while (!run.WaitForExit(50)) {
    seen += WindowsOf(run.ProcessId());
    ASSERT_LT(++looks, static_cast<int>(kRunTimeoutMs / 50)) << "did not end";
  }
  EXPECT_EQ(run.WaitForExit(0), std::optional<DWORD>(0)) << run.Error();
  EXPECT_GT(looks, 20) << "ended too soon to be watched";
  EXPECT_EQ(seen, 0) << "a window of the console companion was found";
}

// The test's own answer to the Ctrl+C it sends to its console.
BOOL WINAPI SwallowControlEvent(DWORD) { return TRUE; }

TEST(ConsoleCompanion, CtrlCWhileTheSpoolerIsStoppedLeavesItRunningAndNoWorkFolder) {
  SimState state;
  // The companion shares this test's console (made when there is none), so
  // Ctrl+C reaches both; the test swallows it.
  if (GetConsoleWindow() == nullptr) {
    // Started without a terminal, the test has only a stand-in console
    // that no control event can be sent to.
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << GetLastError();
  }
  ASSERT_TRUE(SetConsoleCtrlHandler(&SwallowControlEvent, TRUE));
  ConsoleProcess run(ProgramPath(kSimConsole), "set NOLPA-0044", state.Env());
  ASSERT_TRUE(run.Started());
  const bool stopped =
      WaitUntil([] { return SpoolerState() == SERVICE_STOPPED && Exists(WorkFolder()); }, 30000);
  EXPECT_TRUE(stopped) << "the spooler was never stopped";
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
  const auto code = run.WaitForExit(kRunTimeoutMs);
  SetConsoleCtrlHandler(&SwallowControlEvent, FALSE);
  EXPECT_EQ(code, std::optional<DWORD>(4)) << run.Error();
  EXPECT_NE(run.Error().find("Interrupted."), std::string::npos) << run.Error();
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_FALSE(Exists(WorkFolder()));
}

// Two presses in a row: never the default handler's exit code, which a
// script reads as success; the write in progress keeps its audit line.
TEST(ConsoleCompanion, ASecondCtrlCEndsTheRunWithFour) {
  SimState state;
  const std::string log = state.Path() + ".audit";
  if (GetConsoleWindow() == nullptr) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << GetLastError();
  }
  ASSERT_TRUE(SetConsoleCtrlHandler(&SwallowControlEvent, TRUE));
  ConsoleProcess run(ProgramPath(kSimConsole), "set NOLPA-0047 --log \"" + log + "\"", state.Env());
  ASSERT_TRUE(run.Started());
  EXPECT_TRUE(WaitUntil([] { return Exists(WorkFolder()); }, 30000));
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
  const auto code = run.WaitForExit(kRunTimeoutMs);
  SetConsoleCtrlHandler(&SwallowControlEvent, FALSE);
  EXPECT_EQ(code, std::optional<DWORD>(4)) << run.Error();
  // Whatever the printer holds now, a new code came with its line.
  const json fleet = json::parse(FileBytes(state.Path()));
  const std::string logged = FileBytes(log);
  DeleteFileA(log.c_str());
  for (const json& d : fleet["devices"]) {
    if (d["name"] == "onboard-usb" && d["serial"] == "NOLPA-0047") {
      EXPECT_NE(logged.find("\"newIdCode\":\"NOLPA-0047\""), std::string::npos) << logged;
    }
  }
  // It ended without its clean-up; the next run of either program does it.
  ConsoleProcess next(ProgramPath(kSimConsole), "list", state.Env());
  EXPECT_EQ(next.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0)) << next.Error();
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_FALSE(Exists(WorkFolder()));
}

// The documentation's batch file, run as written with a code that holds a
// command and one that holds a space: each reaches the companion whole (the
// real companion then ends with 4, its log's folder missing), nothing runs.
TEST(ConsoleCompanion, TheDocumentedBatchFileTakesACodeWhole) {
  const std::string page = FileBytes(std::string(NOLPA_SOURCE_DIR) + "/docs/production-lines.md");
  const std::size_t at = page.find("rem setid.cmd");
  ASSERT_NE(at, std::string::npos);
  const std::size_t start = page.rfind("```bat\n", at) + 7, end = page.find("```", at);
  SimState state;  // only for its folder
  const std::string batch = state.Path() + ".cmd";
  std::string text;
  for (char c : page.substr(start, end - start))
    text += c == '\n' ? std::string("\r\n") : std::string(1, c);
  std::ofstream(batch, std::ios::binary) << text;
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  const Environment path = {{"PATH", std::string(NOLPA_BIN_DIR) + ";" + system}};
  for (const char* code : {"A&echo INJECTED", "LINE3 0042"}) {
    SCOPED_TRACE(code);
    ConsoleProcess run(std::string(system) + "\\cmd.exe",
                       "/c \"\"" + batch + "\" \"" + code + "\"\"", path);
    EXPECT_EQ(run.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(4)) << run.Error();
    EXPECT_NE(run.Output().find(std::string("Setting \"") + code + "\" failed with exit code 4."),
              std::string::npos)
        << run.Output() << run.Error();
    EXPECT_EQ(run.Output().find("INJECTED\r"), std::string::npos) << run.Output();
    EXPECT_NE(run.Error().find("The audit log C:\\line\\ids.log cannot be opened."),
              std::string::npos)
        << run.Error();
  }
  DeleteFileA(batch.c_str());
}

TEST(ConsoleCompanion, AnotherCopyOfEitherProgramRefusesTheRun) {
  SimState state;
  ConsoleProcess first(ProgramPath(kSimConsole), "set NOLPA-0045", state.Env());
  ASSERT_TRUE(WaitUntil([] { return Exists(WorkFolder()); }, 30000));
  for (const char* program : {kSimConsole, "NOLPAID-sim.exe"}) {
    SCOPED_TRACE(program);
    ConsoleProcess second(ProgramPath(program),
                          std::string(program) == kSimConsole ? "check X" : "/c X", state.Env());
    EXPECT_EQ(second.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0xFFFFFFFF))
        << second.Error();
  }
  EXPECT_EQ(first.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0)) << first.Error();
}

// The simulator's marks: its default fleet, the variable naming its state
// file, the export the channel-API stand-in calls back, the library
// flavour's extra export, and the stand-in's resource.
TEST(ConsoleCompanion, ProductionBuildCarriesNoSimulatorCode) {
  const struct {
    const char* program;
    const char* library;
    bool simulator;
  } cases[] = {{kConsole, "Morvalib.dll", false},
               {"NOLPAID.exe", "Morvalib.dll", false},
               {kSimConsole, "Morvalib-sim.dll", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    const std::string bytes = FileBytes(ProgramPath(c.program));
    ASSERT_FALSE(bytes.empty());
    for (const char* mark : {"NOLPA simulator default fleet", "NOLPA_SIM_STATE",
                             "SimChannelApiExport", "AttachSimulatedWorld"})
      EXPECT_EQ(bytes.find(mark) != std::string::npos, c.simulator) << mark;
    HMODULE module =
        LoadLibraryExA(ProgramPath(c.program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(FindResourceA(module, "SIMCHANNELAPI", MAKEINTRESOURCEA(10)) != nullptr, c.simulator);
    HRSRC file1 = FindResourceA(module, "FILE1", MAKEINTRESOURCEA(10));
    ASSERT_NE(file1, nullptr);
    const std::string carried(static_cast<const char*>(LockResource(LoadResource(module, file1))),
                              SizeofResource(module, file1));
    FreeLibrary(module);
    EXPECT_TRUE(carried == FileBytes(ProgramPath(c.library)))
        << "carries another library than " << c.library;
  }
}

// The INI file beside a program, removed again afterwards.
class IniBeside {
 public:
  IniBeside(const char* program, const std::string& text) : path_(ProgramPath(program)) {
    path_ = path_.substr(0, path_.rfind('.')) + ".ini";
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~IniBeside() { DeleteFileA(path_.c_str()); }

 private:
  std::string path_;
};

// The console keeps no settings file of its own: it reads the window
// program's beside it.
TEST(ConsoleCompanion, BothProgramsLogTheirWritesWhereTheWindowProgramsIniFileSays) {
  SimState state;
  const std::string log = state.Path() + ".audit";
  const IniBeside window("NOLPAID-sim.exe", "[Audit]\r\nLog=" + log + "\r\n");
  ConsoleProcess set(ProgramPath("NOLPAID-sim.exe"), "/s NOLPA-0046 VX-410 Receipt", state.Env());
  EXPECT_EQ(set.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0));
  ConsoleProcess refused(ProgramPath(kSimConsole), "set BAD/CODE", state.Env());
  EXPECT_EQ(refused.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(3)) << refused.Error();
  std::ifstream in(log, std::ios::binary);
  std::vector<json> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(json::parse(line, nullptr, false));
  DeleteFileA(log.c_str());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["program"], "NOLPAID");
  EXPECT_EQ(lines[0]["newIdCode"], "NOLPA-0046");
  EXPECT_EQ(lines[0]["result"], "written");
  EXPECT_EQ(lines[0]["exitCode"], nullptr);
  EXPECT_EQ(lines[1]["program"], "NOLPAIDC");
  EXPECT_EQ(lines[1]["oldIdCode"], "NOLPA-0046");
  EXPECT_EQ(lines[1]["result"], "refused");
  EXPECT_EQ(lines[1]["exitCode"], 3);
}

// The line's printers as the native station tests have them: a vendor
// printer, one on COM5 and a printer-class printer, each unplugged.
json LineFleet() { return json::parse(testing::LineFleet(1, true, true)); }

void WriteFleet(const SimState& state, const json& fleet) {
  std::ofstream(state.Path(), std::ios::binary) << fleet.dump(2);
}

void Plug(json& fleet, const std::string& device) {
  for (json& d : fleet["devices"])
    if (d["name"] == device) d["plugged"] = true;
}

// Three runs of the station, one printer each, as a line stopped and
// started again runs it: each goes on with the next code, leaves the
// printers written before alone, and the state file keeps what each holds.
TEST(ConsoleCompanion, StationWritesThreePrintersGoingOnWithTheNextCode) {
  SimState state;
  const std::string log = state.Path() + ".audit";
  json fleet = LineFleet();
  Plug(fleet, "p0");
  WriteFleet(state, fleet);
  const std::string station = "station --first 4E4C50410000000100 --count 1 --log \"" + log + "\"";
  const auto run = [&](const char* expected) {
    ConsoleProcess process(ProgramPath(kSimConsole), station, state.Env());
    EXPECT_EQ(process.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0)) << process.Error();
    EXPECT_EQ(process.Output(), std::string(expected) + "\n") << process.Error();
    return json::parse(FileBytes(state.Path()));
  };
  fleet = run("OK 4E4C50410000000100 VX-410 Receipt");
  Plug(fleet, "com5");
  WriteFleet(state, fleet);
  fleet = run("OK 4E4C50410000000101 VX-300 Kiosk   [COM5]");
  Plug(fleet, "rk");
  // Switched off and on every few seconds from the start of the next run:
  // one of them comes after the write, whatever the machine's load.
  for (int k = 1; k <= 12; ++k) {
    fleet["events"].push_back({{"atMs", k * 4000}, {"unplug", "rk"}});
    fleet["events"].push_back({{"atMs", k * 4000 + 1500}, {"plug", "rk"}});
  }
  WriteFleet(state, fleet);
  ConsoleProcess last(ProgramPath(kSimConsole), station, state.Env());
  EXPECT_EQ(last.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(0)) << last.Error();
  EXPECT_EQ(last.Output(),
            "PENDING 4E4C50410000000102 RK-L5200: switch the printer off and on to apply it\n"
            "OK 4E4C50410000000102 RK-L5200\n")
      << last.Error();
  fleet = json::parse(FileBytes(state.Path()));
  std::map<std::string, std::string> holds;
  for (const json& d : fleet["devices"]) holds[d["name"]] = d["serial"];
  EXPECT_EQ(holds["p0"], "4E4C50410000000100");
  EXPECT_EQ(holds["com5"], "4E4C50410000000101");
  EXPECT_EQ(holds["rk"], "4E4C50410000000102");
  std::ifstream in(log, std::ios::binary);
  std::vector<std::string> codes;
  for (std::string line; std::getline(in, line);) codes.push_back(json::parse(line)["newIdCode"]);
  DeleteFileA(log.c_str());
  EXPECT_EQ(codes, (std::vector<std::string>{"4E4C50410000000100", "4E4C50410000000101",
                                             "4E4C50410000000102"}));
}

// A code its code page cannot hold, given wide: refused, never its look-alike.
TEST(ConsoleCompanion, ACodeTheCodePageCannotHoldIsRefusedAndLoggedAsGiven) {
  SimState state;
  const std::string log = state.Path() + ".audit";
  ConsoleProcess set(ProgramPath(kSimConsole), "set \"ＶＸ410A000117\" --log \"" + log + "\"",
                     state.Env());
  EXPECT_EQ(set.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(3)) << set.Error();
  EXPECT_NE(set.Error().find("Error: Invalid character in ID code."), std::string::npos)
      << set.Error();
  const json line = json::parse(FileBytes(log));
  DeleteFileA(log.c_str());
  EXPECT_EQ(line["newIdCode"], "ＶＸ410A000117");
  EXPECT_EQ(line["result"], "refused");
}

TEST(ConsoleCompanionJapanese, MessagesAreUtf8WhenRedirected) {
  SimState state;
  ConsoleProcess run(ProgramPath(kSimConsole), "check X --product none", state.Env());
  EXPECT_EQ(run.WaitForExit(kRunTimeoutMs), std::optional<DWORD>(1));
  EXPECT_NE(run.Error().find("製品名 \"none\" のプリンターが見つかりません。"), std::string::npos)
      << run.Error();
  EXPECT_TRUE(run.Output().empty());
}

}  // namespace
}  // namespace nolpa::wine_tests
