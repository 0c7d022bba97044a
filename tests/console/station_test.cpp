// The station on a simulated production line: printers plugged in and out
// by a script on the virtual clock, each written with the next code.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/console/console_harness.h"
#include "tests/console/station_line.h"

namespace nolpa {
namespace {

using testing::ConsoleRig;
using testing::LineFleet;
using testing::LineScript;

TEST(Station, Explore) {
  ConsoleRig rig(LineFleet(3, true, true));
  LineScript script(rig.h.clock, rig.h.world);
  script.Plugged("p0", 2000, 17000).Plugged("rk", 20000, 40000).Plugged("rk", 43000, 60000);
  script.Plugged("com5", 62000, 80000);
  rig.adjust = [&](platform::Platform& p) { p.clock = &script; };
  rig.signals.stop = [&] { return rig.h.clock.NowMs() > 120000; };
  const int code = rig.Run({"station", "--first", "4E4C50410000000100", "--log", "a.log"});
  std::cout << code << "\n" << rig.streams.output << "----\n" << rig.streams.error << "----\n" << rig.logs.files["a.log"];
}

}  // namespace
}  // namespace nolpa
