// NOLPAID-sim.exe: the simulated printers of a state file, which keeps what
// they are sent between runs. The file is named by NOLPA_SIM_STATE, or lies
// beside the program as NOLPAID-sim.json.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "app/device_world.h"
#include "sim/world.h"

namespace nolpa::app {

namespace {

std::string StateFilePath() {
  char value[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("NOLPA_SIM_STATE", value, sizeof value);
  if (length > 0 && length < sizeof value) return std::string(value, length);
  char module[MAX_PATH];
  const DWORD size = GetModuleFileNameA(nullptr, module, sizeof module);
  std::string path(module, size < sizeof module ? size : 0);
  return path.substr(0, path.find_last_of("\\/") + 1) + "NOLPAID-sim.json";
}

class SimulatedDeviceWorld final : public DeviceWorld {
 public:
  explicit SimulatedDeviceWorld(std::unique_ptr<sim::World> world) : world_(std::move(world)) {}
  platform::DeviceFiles& Files() override { return world_->Files(); }
  platform::DeviceInterfaces& Interfaces() override { return world_->Interfaces(); }
  platform::DosDevices& DosDevices() override { return world_->DosDevices(); }

 private:
  std::unique_ptr<sim::World> world_;
};

}  // namespace

// A state file that cannot be read stops the start: shown in the standard
// exception box rather than run with no printers, or over the user's file.
std::unique_ptr<DeviceWorld> OpenDeviceWorld(platform::Clock& clock) {
  const std::string path = StateFilePath();
  std::string error;
  std::unique_ptr<sim::World> world = sim::OpenPersistentWorld(path, clock, &error);
  if (world == nullptr) throw std::runtime_error("Cannot open the simulator state " + path + ": " + error);
  return std::make_unique<SimulatedDeviceWorld>(std::move(world));
}

}  // namespace nolpa::app
