// The console companion's list against the window program's Find, on the
// default fleet in this process under Wine: the simulated printers, the
// library linked in, the real clock. The window program's Find is the
// form's Find button; the list is the same Find followed by what list adds
// (the USB locations, the JSON document). Both alternate, 100 rounds each
// after a warm-up, five times; prints "figure NAME VALUE" lines with each
// side's best median. Then the list alone on generated fleets of 8 and 64
// printer-class printers behind chains of hubs.
#include <cstdio>
#include <string>
#include <vector>

#include "benchmarks/fleet_list.h"
#include "benchmarks/win32/stopwatch.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_text_encoding.h"
#include "sim/fleet/fleet.h"

namespace {

using namespace nolpa;

// One Find as the window program's Find button runs it.
double FindMs(bench::FleetList& program) {
  const double start = bench::CounterMs();
  program.Find();
  return bench::CounterMs() - start;
}

// The console's list: the same Find, then the locations and the document.
double ListMs(bench::FleetList& program, std::size_t* listed) {
  const double start = bench::CounterMs();
  *listed = program.List();
  return bench::CounterMs() - start;
}

}  // namespace

int main() {
  platform::win32::Win32Clock clock;
  platform::win32::Win32TextEncoding encoding;
  bench::FleetList program(clock, encoding, sim::DefaultFleetJson());
  constexpr int kRounds = 100;
  constexpr int kRuns = 5;
  double bestFind = 0, bestList = 0;
  std::size_t listed = 0;
  for (int run = 0; run < kRuns; ++run) {
    std::vector<double> find, list;
    for (int round = 0; round <= kRounds; ++round) {
      // Each goes first in every other round, so neither gains from the
      // other having warmed what they share.
      double findMs = 0, listMs = 0;
      if (round % 2 == 0) {
        findMs = FindMs(program);
        listMs = ListMs(program, &listed);
      } else {
        listMs = ListMs(program, &listed);
        findMs = FindMs(program);
      }
      if (round == 0) continue;  // the warm-up
      find.push_back(findMs);
      list.push_back(listMs);
    }
    const double f = bench::Median(find), l = bench::Median(list);
    if (run == 0 || f < bestFind) bestFind = f;
    if (run == 0 || l < bestList) bestList = l;
  }
  std::printf("figure fleet_find_wine_ms %.2f\n", bestFind);
  std::printf("figure list_wine_ms %.2f\n", bestList);
  std::printf("figure list_wine_devices %u\n", static_cast<unsigned>(listed));
  // The list on generated fleets of 8 and 64 printer-class printers.
  bool generated = true;
  for (const int printers : {8, 64}) {
    const double ms =
        bench::GeneratedFleetListMs(clock, encoding, printers, &bench::CounterMs, 9, 3);
    generated = generated && ms >= 0;
    if (ms >= 0) std::printf("figure list%d_wine_ms %.2f\n", printers, ms);
  }
  return listed > 0 && generated ? 0 : 1;
}
