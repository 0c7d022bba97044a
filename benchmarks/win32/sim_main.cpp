// The benchmark's figures on the real clock under Wine: the same paths as
// on the virtual clock, against the simulator in this process, plus the
// processor time the emptying's wait costs. Prints "figure NAME VALUE"
// lines (times: the median of a few runs); ends non-zero when a path failed.
#include <cstdio>
#include <string>
#include <vector>

#include "benchmarks/scenarios.h"
#include "benchmarks/win32/stopwatch.h"
#include "platform/win32/win32_clock.h"

namespace {

class RealMeter final : public nolpa::bench::Meter {
 public:
  void Start() override {
    cpuStart_ = nolpa::bench::ProcessCpuMs();
    start_ = nolpa::bench::CounterMs();
  }
  void Stop() override {
    elapsedMs_ = nolpa::bench::CounterMs() - start_;
    cpuMs_ = nolpa::bench::ProcessCpuMs() - cpuStart_;
  }
  double ElapsedMs() const { return elapsedMs_; }
  double CpuMs() const { return cpuMs_; }

 private:
  double start_ = 0, cpuStart_ = 0, elapsedMs_ = 0, cpuMs_ = 0;
};

using Scenario = std::string (nolpa::bench::BenchWorld::*)(nolpa::bench::Meter&);

struct Runs {
  std::vector<double> wallMs;
  double totalWallMs = 0;
  double totalCpuMs = 0;
};

// Runs `scenario` `count` times; false (after saying why) when a run failed.
bool Measure(nolpa::bench::BenchWorld& world, Scenario scenario, int count, const char* name,
             Runs* runs) {
  RealMeter meter;
  for (int run = 0; run < count; ++run) {
    const std::string error = (world.*scenario)(meter);
    if (!error.empty()) {
      std::fprintf(stderr, "%s: %s\n", name, error.c_str());
      return false;
    }
    runs->wallMs.push_back(meter.ElapsedMs());
    runs->totalWallMs += meter.ElapsedMs();
    runs->totalCpuMs += meter.CpuMs();
  }
  return true;
}

}  // namespace

int main() {
  nolpa::platform::win32::Win32Clock clock;
  nolpa::bench::BenchWorld world(clock);
  const struct {
    const char* name;
    Scenario run;
    int runs;
    const char* cpuName;  // also report the processor share, under this name
  } figures[] = {
      {"write_wine_ms", &nolpa::bench::BenchWorld::CommandWrite, 3, nullptr},
      {"commtest_wine_ms", &nolpa::bench::BenchWorld::CommunicationTest, 3, nullptr},
      {"serial_wine_ms", &nolpa::bench::BenchWorld::SerialNumberRead, 9, nullptr},
      {"emptying_wine_ms", &nolpa::bench::BenchWorld::Emptying, 5, "emptying_cpu_percent"},
  };
  int failures = 0;
  for (const auto& figure : figures) {
    Runs runs;
    if (!Measure(world, figure.run, figure.runs, figure.name, &runs)) {
      ++failures;
      continue;
    }
    std::printf("figure %s %.1f\n", figure.name, nolpa::bench::Median(runs.wallMs));
    // The system counts processor time in ticks of 10 ms or more: the share
    // is taken over all runs together, not as a median of coarse ones.
    if (figure.cpuName)
      std::printf("figure %s %.2f\n", figure.cpuName, 100.0 * runs.totalCpuMs / runs.totalWallMs);
    std::fflush(stdout);
  }
  return failures == 0 ? 0 : 1;
}
