// The station on simulated production lines: printers plugged in and out
// by a script on the virtual clock, each written with the next code, one at
// a time, never a code twice, also across a stop and a new start.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>

#include "tests/console/console_harness.h"
#include "tests/console/station_line.h"

namespace nolpa {
namespace {

using nlohmann::json;
using testing::ConsoleRig;
using testing::LineFleet;
using testing::LineScript;

constexpr char kLog[] = "line3.log";
constexpr char kWorkFolder[] = "C:\\Users\\operator\\AppData\\Local\\Temp\\NOLPAID";

// A rig on the line's fleet whose program sleeps through the line's script.
struct Line {
  Line(int vendors, bool com, bool printerClass)
      : rig(LineFleet(vendors, com, printerClass)), script(rig.h.clock, rig.h.world) {
    rig.adjust = [this](platform::Platform& p) { p.clock = &script; };
  }
  // Runs the station with `options` and the log, until a Ctrl+C once the
  // clock passes `stopAfterMs` (0: no Ctrl+C).
  int Station(std::vector<std::string> options, std::uint64_t stopAfterMs = 0) {
    options.insert(options.begin(), "station");
    options.insert(options.end(), {"--log", kLog});
    rig.signals.stop = [this, stopAfterMs] {
      return stopAfterMs != 0 && rig.h.clock.NowMs() > stopAfterMs;
    };
    rig.streams.output.clear();
    return rig.Run(options);
  }
  std::string Holds(const std::string& device) {
    sim::SimDevice& d = rig.h.world.Device(device);
    if (d.Kind() == sim::DeviceKind::PrinterClass) return rig.h.world.PrinterClass(device).Serial();
    return rig.h.world.Vendor(device).Identity().serial;
  }
  std::vector<json> LogLines() {
    std::vector<json> lines;
    for (const std::string& line : rig.logs.Lines(kLog)) lines.push_back(json::parse(line));
    return lines;
  }

  ConsoleRig rig;
  LineScript script;
};

// Each printer plugged in for 15 s, one after another, 20 s apart.
void InARow(LineScript& script, const std::vector<std::string>& devices,
            std::uint64_t startMs = 2000) {
  for (std::size_t i = 0; i < devices.size(); ++i)
    script.Plugged(devices[i], startMs + i * 20000, startMs + i * 20000 + 15000);
}

// The code of a result line: "OK CODE PRODUCT[: reason]", the products
// of these lines being "VX-..." or "RK-...".
std::string CodeOf(const std::string& result) {
  const std::size_t start = result.find(' ') + 1;
  const std::size_t end = std::min(result.find(" VX-", start), result.find(" RK-", start));
  return result.substr(start, end - start);
}

struct Scenario {
  const char* what;
  int vendors;
  bool com;
  bool printerClass;
  std::function<void(Line&)> arrange;
  std::vector<std::string> options;
  std::uint64_t stopAfterMs;
  int exitCode;
  std::vector<std::string> output;
  std::vector<std::pair<const char*, const char*>> holds;  // printer, ID code afterwards
  const char* said = "";                                   // part of the error stream
  std::function<void(Line&)> check = {};
};

std::vector<Scenario> Scenarios() {
  std::vector<std::string> tenCodes, tenPrinters;
  std::vector<std::pair<const char*, const char*>> tenHolds;
  static const char* const kTen[] = {"p0", "p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8", "p9"};
  static const char* const kTenCodes[] = {"LINE3-0099", "LINE3-0100", "LINE3-0101", "LINE3-0102",
                                          "LINE3-0103", "LINE3-0104", "LINE3-0105", "LINE3-0106",
                                          "LINE3-0107", "LINE3-0108"};
  for (int i = 0; i < 10; ++i) {
    tenPrinters.push_back(kTen[i]);
    tenCodes.push_back(std::string("OK ") + kTenCodes[i] + " VX-410 Receipt");
    tenHolds.emplace_back(kTen[i], kTenCodes[i]);
  }
  const std::string hex = "4E4C5041000000";
  return {
      {"ten printers in a row get ten consecutive codes",
       10,
       false,
       false,
       [tenPrinters](Line& l) { InARow(l.script, tenPrinters); },
       {"--first", "LINE3-0099", "--count", "10"},
       0,
       0,
       tenCodes,
       tenHolds},
      {"three routes; the printer-class printer is checked after its power cycle",
       1,
       true,
       true,
       [](Line& l) {
         l.script.Plugged("p0", 2000, 17000).Plugged("rk", 22000, 40000);
         l.script.Plugged("rk", 43000, 60000).Plugged("com5", 62000, 77000);
       },
       {"--first", hex + "0100", "--count", "3"},
       0,
       0,
       {"OK " + hex + "0100 VX-410 Receipt",
        "PENDING " + hex + "0101 RK-L5200: switch the printer off and on to apply it",
        "OK " + hex + "0101 RK-L5200", "OK " + hex + "0102 VX-300 Kiosk   [COM5]"},
       {{"p0", "4E4C50410000000100"},
        {"rk", "4E4C50410000000101"},
        {"com5", "4E4C50410000000102"}}},
      {"two printers at once are refused until one is left",
       3,
       false,
       false,
       [](Line& l) {
         l.script.Plugged("p0", 2000, 15000).Plugged("p1", 2000, 15000);
         l.script.Plugged("p2", 20000, 35000);
       },
       {"--first", "LINE3-0100"},
       40000,
       4,
       {"OK LINE3-0100 VX-410 Receipt"},
       {{"p0", "BLANK1000"}, {"p1", "BLANK1001"}, {"p2", "LINE3-0100"}},
       "2 printers are attached at once (VX-410 Receipt, VX-410 Receipt): none is written."},
      {"a printer left plugged in is written once",
       1,
       false,
       false,
       [](Line& l) { l.script.Plugged("p0", 2000); },
       {"--first", "LINE3-0100"},
       120000,
       4,
       {"OK LINE3-0100 VX-410 Receipt"},
       {{"p0", "LINE3-0100"}},
       "1 printer(s): 1 OK, 0 NG."},
      {"only printers of the product are taken",
       1,
       true,
       false,
       [](Line& l) { l.script.Plugged("p0", 2000, 30000).Plugged("com5", 2000, 30000); },
       {"--first", "LINE3-0100", "--product", "vx-300 kiosk   [com5]"},
       40000,
       4,
       {"OK LINE3-0100 VX-300 Kiosk   [COM5]"},
       {{"p0", "BLANK1000"}, {"com5", "LINE3-0100"}}},
      {"a code the rules refuse is used up all the same",
       1,
       false,
       true,
       [](Line& l) { l.script.Plugged("rk", 2000, 15000).Plugged("p0", 20000, 35000); },
       {"--first", "LINE3-0100", "--count", "2"},
       0,
       3,
       {"NG LINE3-0100 RK-L5200: The length of ID code(USB Serial No.) is 18 characters.",
        "OK LINE3-0101 VX-410 Receipt"},
       {{"rk", "4E4C5041000000A001"}, {"p0", "LINE3-0101"}}},
      {"codes from a list, until it is used up",
       3,
       false,
       false,
       [](Line& l) {
         InARow(l.script, {"p0", "p1", "p2"});
         l.rig.logs.files["codes.txt"] =
             "\xEF\xBB\xBF"
             "A-1\r\n\r\nB 2\n";
       },
       {"--codes", "codes.txt"},
       0,
       0,
       {"OK A-1 VX-410 Receipt", "OK B 2 VX-410 Receipt"},
       {{"p0", "A-1"}, {"p1", "B 2"}, {"p2", "BLANK1002"}},
       "No code is left to hand out"},
      {"a read-back of another code is NG",
       1,
       false,
       false,
       [](Line& l) {
         l.script.Plugged("p0", 2000, 30000);
         l.script.At(6000, [&l] { l.rig.h.world.Vendor("p0").SetSerial(u"OTHER"); });
       },
       {"--first", "LINE3-0100", "--count", "1"},
       0,
       3,
       {"NG LINE3-0100 VX-410 Receipt: it reads back OTHER"},
       {{"p0", "OTHER"}},
       "",
       [](Line& l) {
         // Still "written": the printer took it; the read-back says what it holds now.
         const json entry = l.LogLines().at(0);
         EXPECT_EQ(entry["result"], "written");
         EXPECT_EQ(entry["readBack"],
                   json::parse(R"({"idCode":"OTHER","idName":"","matches":false})"));
         EXPECT_EQ(entry["exitCode"], 3);
       }},
  };
}

TEST(Station, ScenariosOnALine) {
  for (const Scenario& c : Scenarios()) {
    SCOPED_TRACE(c.what);
    Line line(c.vendors, c.com, c.printerClass);
    c.arrange(line);
    EXPECT_EQ(line.Station(c.options, c.stopAfterMs), c.exitCode) << line.rig.streams.error;
    EXPECT_EQ(line.rig.OutputLines(), c.output) << line.rig.streams.error;
    for (const auto& [device, code] : c.holds) EXPECT_EQ(line.Holds(device), code) << device;
    EXPECT_NE(line.rig.streams.error.find(c.said), std::string::npos) << line.rig.streams.error;
    // One line per code sent, each code once.
    std::set<std::string> codes;
    for (const json& entry : line.LogLines())
      EXPECT_TRUE(codes.insert(entry["newIdCode"].get<std::string>()).second) << entry.dump();
    std::set<std::string> reported;
    for (const std::string& out : c.output) reported.insert(CodeOf(out));
    EXPECT_EQ(codes, reported);
    if (c.check) c.check(line);
    EXPECT_EQ(line.rig.h.services.Spooler().State(), sim::ServiceState::Running);
    EXPECT_FALSE(line.rig.h.host.FolderExists(kWorkFolder));
  }
}

}  // namespace
}  // namespace nolpa

namespace nolpa {
namespace {

// Printers of the three routes in a row, the printer-class one restarted.
void ThreeRoutes(Line& line) {
  line.script.Plugged("p0", 2000, 17000).Plugged("rk", 22000, 40000);
  line.script.Plugged("rk", 43000, 60000).Plugged("com5", 62000, 77000);
}

const std::vector<std::string> kHexFirst = {"--first", "4E4C50410000000100"};

// What a printer was sent and holds, or will hold after its restart.
std::string SentTo(Line& line, const std::string& device) {
  if (device == "rk") {
    const auto pending =
        line.rig.h.world.PrinterClass("rk").Peripheral().Commands().PendingSerial();
    if (pending) return *pending;
  }
  return line.Holds(device);
}

TEST(Station, CtrlCAtEveryStepThenAStartAgainHandsOutEachCodeOnce) {
  // How often an uninterrupted run asks whether to stop.
  std::size_t asks = 0;
  {
    Line line(1, true, true);
    ThreeRoutes(line);
    line.rig.signals.stop = [&] { return ++asks, false; };
    line.rig.Run({"station", kHexFirst[0], kHexFirst[1], "--count", "3", "--log", kLog});
  }
  ASSERT_GT(asks, 100u);
  const std::map<std::string, std::string> blank = {
      {"p0", "BLANK1000"}, {"rk", "4E4C5041000000A001"}, {"com5", "BLANKC"}};
  for (std::size_t stopAt = 1; stopAt < asks; stopAt += 1 + asks / 20) {
    SCOPED_TRACE("Ctrl+C at ask " + std::to_string(stopAt) + " of " + std::to_string(asks));
    Line line(1, true, true);
    ThreeRoutes(line);
    std::size_t asked = 0;
    line.rig.signals.stop = [&] { return ++asked >= stopAt; };
    // Where a second Ctrl+C would end the process, the write's line is in.
    line.rig.signals.atEndWrite = [&] {
      EXPECT_GE(line.rig.logs.Lines(kLog).size(), std::size_t(line.rig.signals.writesEnded));
    };
    std::vector<std::string> arguments = {"station", kHexFirst[0], kHexFirst[1], "--log", kLog};
    EXPECT_EQ(line.rig.Run(arguments), 4);
    EXPECT_EQ(line.rig.signals.writesBegun, line.rig.signals.writesEnded);
    EXPECT_EQ(line.rig.signals.writesBegunInsideAnother, 0);
    EXPECT_EQ(line.rig.h.services.Spooler().State(), sim::ServiceState::Running);
    EXPECT_FALSE(line.rig.h.host.FolderExists(kWorkFolder));
    std::set<std::string> logged;
    for (const json& entry : line.LogLines()) logged.insert(entry["newIdCode"]);
    for (const auto& [device, before] : blank) {
      const std::string sent = SentTo(line, device);
      if (sent != before) {
        EXPECT_EQ(logged.count(sent), 1u) << device << " was sent " << sent;
      }
    }
    // Started again, it goes on to the end of the line.
    line.rig.signals.stop = [&] { return line.rig.h.clock.NowMs() > line.script.EndMs() + 5000; };
    EXPECT_EQ(line.rig.Run(arguments), 4);
    std::vector<std::string> codes;
    for (const json& entry : line.LogLines()) codes.push_back(entry["newIdCode"]);
    std::sort(codes.begin(), codes.end());
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < codes.size(); ++i)
      expected.push_back("4E4C504100000001" + std::string(i < 10 ? "0" : "") + std::to_string(i));
    EXPECT_EQ(codes, expected) << "a code reused or skipped";
    std::set<std::string> held;
    for (const auto& [device, before] : blank) {
      const std::string sent = SentTo(line, device);
      if (sent == before) continue;
      EXPECT_TRUE(held.insert(sent).second) << sent << " sent twice";
      EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), sent)) << sent << " not logged";
    }
  }
}

}  // namespace
}  // namespace nolpa
