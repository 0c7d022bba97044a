// The station's start: what it refuses before anything is touched, and a
// new start after a stop, which goes on with the next unused code, leaves
// the printers written before alone, and still checks a printer-class
// printer written before its power cycle. The dry run writes nothing.
#include <gtest/gtest.h>

#include "tests/console/console_harness.h"
#include "tests/console/station_line.h"

namespace nolpa {
namespace {

using testing::ConsoleRig;
using testing::LineFleet;
using testing::LineScript;

constexpr char kLog[] = "line3.log";

TEST(StationStart, RefusedBeforeAnythingIsTouched) {
  const std::string tooLong(81, 'A');
  const struct {
    const char* what;
    std::vector<std::string> arguments;
    std::string log;  // the audit log's text beforehand
    int exitCode;
    std::string said;
  } cases[] = {
      {"no audit log", {"--first", "A-1"}, "", 7, "The station resumes from its audit log"},
      {"no code list",
       {"--codes", "none.txt", "--log", kLog},
       "",
       4,
       "The code list none.txt cannot be read."},
      {"a code the code page cannot hold",
       {"--first", "ライン-0001", "--log", kLog},
       "",
       7,
       "\"ライン-0001\" is refused: Invalid character in ID code."},
      {"a code longer than the box",
       {"--first", tooLong + "1", "--log", kLog},
       "",
       7,
       "is refused: The ID code is longer than 80 characters."},
      {"a name the code page cannot hold",
       {"--first", "A-1", "--name", "名前", "--log", kLog},
       "",
       7,
       "\"名前\" is refused: Invalid character in ID name."},
      {"a log line whose code cannot be read",
       {"--first", "A-1", "--log", kLog},
       "{\"newIdCode\":\"A-1\"}\n{\"newIdCode\":\"A-2\n",
       4,
       "1 line(s) of the audit log line3.log name an ID code that cannot be read"},
      {"every code used",
       {"--first", "A-8", "--log", kLog},
       "{\"result\":\"failed\",\"newIdCode\":\"a-8\"}\r\n{\"newIdCode\":\"A-9\"}\n",
       4,
       "No code is left to hand out"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ConsoleRig rig;
    if (!c.log.empty()) rig.logs.files[kLog] = c.log;
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.begin(), "station");
    EXPECT_EQ(rig.Run(arguments), c.exitCode);
    EXPECT_NE(rig.streams.error.find(c.said), std::string::npos) << rig.streams.error;
    EXPECT_EQ(rig.h.services.Count(sim::ServiceCallKind::Control), 0u) << "the spooler was stopped";
    EXPECT_EQ(rig.logs.files[kLog], c.log);
    EXPECT_EQ(rig.h.world.Vendor("onboard-usb").Identity().serial, "VX410A000117");
  }
}

TEST(StationStart, StartedAgainItGoesOnWithTheNextUnusedCode) {
  ConsoleRig rig(LineFleet(4, false, false));
  LineScript script(rig.h.clock, rig.h.world);
  rig.adjust = [&](platform::Platform& p) { p.clock = &script; };
  // p1 stays plugged in when the first run ends; p2 and p3 come together.
  script.Plugged("p0", 2000, 15000).Plugged("p1", 20000);
  ASSERT_EQ(rig.Run({"station", "--first", "L-0100", "--count", "2", "--log", kLog}), 0)
      << rig.streams.error;
  EXPECT_EQ(rig.OutputLines(),
            (std::vector<std::string>{"OK L-0100 VX-410 Receipt", "OK L-0101 VX-410 Receipt"}));
  const std::uint64_t now = rig.h.clock.NowMs();
  script.Plugged("p2", now + 1).Plugged("p3", now + 1);
  script.SleepMs(1);

  // The dry run writes nothing and says what each printer would get.
  rig.streams.output.clear();
  EXPECT_EQ(rig.Run({"station", "--first", "L-0100", "--dry-run", "--log", kLog}), 0);
  EXPECT_EQ(rig.OutputLines(),
            (std::vector<std::string>{
                "DRY - VX-410 Receipt: VX-410 Receipt holds L-0101, a code handed out before: it "
                "is left alone.",
                "DRY L-0102 VX-410 Receipt", "DRY L-0103 VX-410 Receipt"}));
  EXPECT_EQ(rig.h.world.Vendor("p2").Identity().serial, "BLANK1002");
  EXPECT_EQ(rig.logs.Lines(kLog).size(), 2u);

  // The real one leaves p1 alone and takes p2 once p3 has gone.
  script.Plugged("p3", now, now + 10000);
  rig.streams.output.clear();
  rig.signals.stop = [&] { return rig.h.clock.NowMs() > now + 40000; };
  EXPECT_EQ(rig.Run({"station", "--first", "L-0100", "--log", kLog}), 4);
  EXPECT_EQ(rig.OutputLines(), std::vector<std::string>{"OK L-0102 VX-410 Receipt"});
  EXPECT_EQ(rig.h.world.Vendor("p1").Identity().serial, "L-0101");
  EXPECT_EQ(rig.h.world.Vendor("p3").Identity().serial, "BLANK1003");
  EXPECT_NE(rig.streams.error.find("VX-410 Receipt holds L-0101, a code handed out before"),
            std::string::npos)
      << rig.streams.error;
}

TEST(StationStart, APrinterWrittenBeforeItsRestartIsCheckedAfterIt) {
  ConsoleRig rig(LineFleet(0, false, true));
  LineScript script(rig.h.clock, rig.h.world);
  rig.adjust = [&](platform::Platform& p) { p.clock = &script; };
  script.Plugged("rk", 2000);
  const std::vector<std::string> arguments = {"station", "--first", "4E4C50410000000100",
                                              "--json",  "--log",   kLog};
  // Stopped while the printer waits for its power cycle.
  rig.signals.stop = [&] { return rig.h.clock.NowMs() > 20000; };
  EXPECT_EQ(rig.Run(arguments), 4);
  ASSERT_EQ(rig.OutputLines().size(), 1u);
  EXPECT_NE(rig.OutputLines()[0].find("\"status\":\"PENDING\""), std::string::npos);
  // Switched off and on while no station runs.
  script.At(25000, [&] { rig.h.world.Device("rk").Unplug(); }).Plugged("rk", 30000);
  rig.streams.output.clear();
  rig.signals.stop = [&] { return rig.h.clock.NowMs() > 40000; };
  EXPECT_EQ(rig.Run(arguments), 4);
  ASSERT_EQ(rig.OutputLines().size(), 1u) << rig.streams.error;
  EXPECT_NE(rig.OutputLines()[0].find(R"("afterRestart":true,"printer":)"), std::string::npos)
      << rig.OutputLines()[0];
  EXPECT_NE(
      rig.OutputLines()[0].find(
          R"("code":"4E4C50410000000100","readBack":{"idCode":"4E4C50410000000100","idName":null},"exitCode":0,"status":"OK")"),
      std::string::npos)
      << rig.OutputLines()[0];
  EXPECT_EQ(rig.logs.Lines(kLog).size(), 1u) << "written once";
}

}  // namespace
}  // namespace nolpa
