#include "benchmarks/station_cycle.h"

#include "tests/console/console_harness.h"
#include "tests/console/station_line.h"

namespace nolpa::bench {

namespace {

constexpr int kPlugMoments = 10;  // spread over the station's second between looks

// The output stream's first line, with the virtual time it was written at.
class TimedStreams final : public platform::ConsoleStreams {
 public:
  explicit TimedStreams(sim::VirtualClock& clock) : clock_(clock) {}
  bool IsConsole(platform::Stream) override { return false; }
  void Write(platform::Stream stream, std::string_view utf8) override {
    if (stream != platform::Stream::Output || !first_.empty()) return;
    first_ = utf8;
    atMs_ = clock_.NowMs();
  }
  const std::string& First() const { return first_; }
  std::uint64_t AtMs() const { return atMs_; }

 private:
  sim::VirtualClock& clock_;
  std::string first_;
  std::uint64_t atMs_ = 0;
};

int Run(testing::ConsoleRig& rig, platform::ConsoleStreams& streams,
        const std::vector<std::string>& arguments) {
  app::console::ConsoleEnvironment env(streams, rig.signals, rig.logs, rig.encoding, rig.h.system);
  env.simulatorBuild = true;
  env.anotherCopyRunning = [] { return false; };
  env.openHost = [&rig](const app::console::Options&) {
    return std::unique_ptr<app::console::ConsoleHost>(
        std::make_unique<testing::detail::RigHost>(rig));
  };
  return app::console::RunConsole(env, arguments);
}

}  // namespace

StationFigures StationAgainstSet() {
  StationFigures figures;
  {
    testing::ConsoleRig rig(testing::LineFleet(1, false, false));
    rig.h.world.Plug("p0");
    TimedStreams streams(rig.h.clock);
    const std::uint64_t start = rig.h.clock.NowMs();
    if (Run(rig, streams, {"set", "LINE3-0100", "--log", "set.log"}) != 0)
      figures.error = "set did not end with 0: " + streams.First();
    figures.setMs = static_cast<double>(rig.h.clock.NowMs() - start);
  }
  double total = 0;
  for (int moment = 0; moment < kPlugMoments && figures.error.empty(); ++moment) {
    testing::ConsoleRig rig(testing::LineFleet(1, false, false));
    testing::LineScript script(rig.h.clock, rig.h.world);
    rig.adjust = [&](platform::Platform& p) { p.clock = &script; };
    // Well after the start, at a tenth of a second further each time.
    const std::uint64_t plugMs = 30000 + static_cast<std::uint64_t>(moment) * 100;
    script.Plugged("p0", plugMs);
    TimedStreams streams(rig.h.clock);
    const int exitCode =
        Run(rig, streams, {"station", "--first", "LINE3-0100", "--count", "1", "--log", "s.log"});
    if (exitCode != 0 || !streams.First().starts_with("OK LINE3-0100"))
      figures.error = "the station did not write the printer: " + streams.First();
    total += static_cast<double>(streams.AtMs() - plugMs);
  }
  figures.cycleMs = total / kPlugMoments;
  return figures;
}

}  // namespace nolpa::bench
