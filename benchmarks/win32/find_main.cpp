// Find with the real adapters: the three routes over every probe index, as
// the program runs them, on whatever devices this system has (none under
// Wine). Prints "figure find_wine_ms VALUE", the median of 25 Finds
// after one that warms the system's caches up.
#include <cstdio>

#include "benchmarks/win32/stopwatch.h"
#include "discovery/device_list.h"
#include "discovery/standard_routes.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_files.h"
#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_dos_devices.h"

int main() {
  nolpa::platform::win32::Win32Clock clock;
  nolpa::platform::win32::Win32DeviceFiles files;
  nolpa::platform::win32::Win32DeviceInterfaces interfaces;
  nolpa::platform::win32::Win32DosDevices dosDevices;
  nolpa::platform::Platform platform;
  platform.clock = &clock;
  platform.files = &files;
  platform.interfaces = &interfaces;
  platform.dosDevices = &dosDevices;
  const nolpa::discovery::Routes routes = nolpa::discovery::StandardRoutes(platform, {});

  constexpr int kRuns = 25;
  std::vector<double> times;
  std::size_t found = 0;
  for (int run = 0; run <= kRuns; ++run) {
    nolpa::discovery::DeviceList list;
    const double start = nolpa::bench::CounterMs();
    nolpa::discovery::RunRoutes(routes, list, [](const std::string&) {});
    const double elapsed = nolpa::bench::CounterMs() - start;
    if (run > 0) times.push_back(elapsed);
    found = list.Count();
  }
  std::printf("figure find_wine_ms %.2f\n", nolpa::bench::Median(times));
  std::printf("figure find_wine_devices %u\n", static_cast<unsigned>(found));
  return 0;
}
