// The benchmark's figures on the virtual clock: how many virtual
// milliseconds each path spends against the simulator. Prints one
// "figure NAME VALUE" line per figure; ends non-zero when a path failed.
// With "--fleet N" it prints a generated fleet instead (below).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "benchmarks/scenarios.h"
#include "benchmarks/station_cycle.h"
#include "sim/core/virtual_clock.h"
#include "sim/fleet/generated_fleet.h"

namespace {

class VirtualMeter final : public nolpa::bench::Meter {
 public:
  explicit VirtualMeter(nolpa::sim::VirtualClock& clock) : clock_(clock) {}
  void Start() override { startMs_ = clock_.NowMs(); }
  void Stop() override { elapsedMs_ = clock_.NowMs() - startMs_; }
  std::uint64_t ElapsedMs() const { return elapsedMs_; }

 private:
  nolpa::sim::VirtualClock& clock_;
  std::uint64_t startMs_ = 0;
  std::uint64_t elapsedMs_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  // "--fleet N": the generated fleet of N printer-class printers behind
  // chains of hubs, as a fleet file, for ./bench to time the console
  // companion's list on.
  if (argc == 3 && std::string(argv[1]) == "--fleet") {
    std::puts(nolpa::sim::ChainedFleetJson({.printers = std::atoi(argv[2])}).c_str());
    return 0;
  }
  nolpa::sim::VirtualClock clock;
  nolpa::bench::BenchWorld world(clock);
  VirtualMeter meter(clock);
  using Scenario = std::string (nolpa::bench::BenchWorld::*)(nolpa::bench::Meter&);
  const struct {
    const char* name;
    Scenario run;
  } figures[] = {
      {"write_virtual_ms", &nolpa::bench::BenchWorld::CommandWrite},
      {"commtest_virtual_ms", &nolpa::bench::BenchWorld::CommunicationTest},
      {"serial_virtual_ms", &nolpa::bench::BenchWorld::SerialNumberRead},
      {"serial_stale_virtual_ms", &nolpa::bench::BenchWorld::SerialNumberReadAfterStaleReplies}};
  int failures = 0;
  for (const auto& figure : figures) {
    const std::string error = (world.*figure.run)(meter);
    if (!error.empty()) {
      std::fprintf(stderr, "%s: %s\n", figure.name, error.c_str());
      ++failures;
      continue;
    }
    std::printf("figure %s %llu\n", figure.name,
                static_cast<unsigned long long>(meter.ElapsedMs()));
  }
  const nolpa::bench::StationFigures station = nolpa::bench::StationAgainstSet();
  if (!station.error.empty()) {
    std::fprintf(stderr, "station: %s\n", station.error.c_str());
    ++failures;
  } else {
    std::printf("figure set_virtual_ms %.0f\n", station.setMs);
    std::printf("figure station_cycle_virtual_ms %.0f\n", station.cycleMs);
  }
  return failures == 0 ? 0 : 1;
}
