#pragma once
// The simulated worlds' stand-in for the serial-number library's printer
// lookup: a device path names the printer-class printer of the world that
// answers to it, while that printer is plugged in. Used by NOLPAID-sim.exe
// (handed to Morvalib-sim.dll) and by the native tests.
#include <optional>
#include <string>

#include "serial_library/services.h"
#include "sim/world.h"

namespace nolpa::app {

class SimulatedPrinterLocator final : public morvalib::DeviceLocator {
 public:
  explicit SimulatedPrinterLocator(sim::World& world) : world_(world) {}

  std::optional<std::string> DirectPortPath(const std::string& devicePath) override {
    for (const auto& device : world_.Devices())
      if (device->Kind() == sim::DeviceKind::PrinterClass && device->Plugged() &&
          device->AnswersToPath(devicePath))
        return device->InterfacePath();
    return std::nullopt;
  }

 private:
  sim::World& world_;
};

}  // namespace nolpa::app
