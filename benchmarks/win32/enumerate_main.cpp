// The least a Find on an empty system can cost: the same 288 look-ups made
// bare, with no program code between them. Each device-interface look-up
// builds its own interface set, asks for one index and releases the set, as
// every probe of Find does; the ports are asked for their DOS device target.
// Prints "figure enum_wine_ms VALUE", the median of several rounds after one
// that warms the system's caches up.
// clang-format off
#include <windows.h>

#include <setupapi.h>
// clang-format on

#include <cstdio>
#include <vector>

#include "benchmarks/win32/stopwatch.h"
#include "discovery/printer_class.h"
#include "discovery/vendor_driver.h"
#include "platform/win32/native_guid.h"

namespace {

constexpr int kInterfaceLookups = 128;
constexpr int kPorts = 32;

void LookUpInterfaces(const GUID& interfaceClass) {
  for (DWORD index = 0; index < kInterfaceLookups; ++index) {
    HDEVINFO set = SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    SetupDiEnumDeviceInterfaces(set, nullptr, &interfaceClass, index, &data);
    SetupDiDestroyDeviceInfoList(set);
  }
}

void LookUpPorts() {
  char target[4096];
  for (int port = 1; port <= kPorts; ++port) {
    char name[8];
    std::snprintf(name, sizeof name, "COM%d", port);
    QueryDosDeviceA(name, target, sizeof target);
  }
}

}  // namespace

int main() {
  using nolpa::platform::win32::ToGuid;
  const GUID vendorClass = ToGuid(nolpa::discovery::kVendorInterfaceClass);
  const GUID printerClass = ToGuid(nolpa::discovery::kPrinterClassInterface);
  constexpr int kRuns = 25;
  std::vector<double> times;
  for (int run = 0; run <= kRuns; ++run) {
    const double start = nolpa::bench::CounterMs();
    LookUpInterfaces(vendorClass);
    LookUpPorts();
    LookUpInterfaces(printerClass);
    const double elapsed = nolpa::bench::CounterMs() - start;
    if (run > 0) times.push_back(elapsed);
  }
  std::printf("figure enum_wine_ms %.2f\n", nolpa::bench::Median(times));
  return 0;
}
