// NOLPAID-sim.exe: the simulated printers of a state file, which keeps what
// they are sent between runs. The file is named by NOLPA_SIM_STATE, or lies
// beside the program as NOLPAID-sim.json.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "app/device_world.h"
#include "serial_library/morvalib_sim.h"
#include "sim/usb_topology.h"
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
  SimulatedDeviceWorld(std::unique_ptr<sim::World> world, platform::Clock& clock)
      : world_(std::move(world)), usb_(*world_) {
    PlugClassPrinters();
    library_.files = &world_->Files();
    library_.clock = &clock;
    library_.deviceTree = &usb_.Tree();
    library_.hubFiles = &usb_.HubFiles();
    library_.interfaces = &usb_.Interfaces();
  }
  platform::DeviceFiles& Files() override { return world_->Files(); }
  platform::DeviceInterfaces& Interfaces() override { return world_->Interfaces(); }
  platform::DosDevices& DosDevices() override { return world_->DosDevices(); }

  // The library carried by this program is the simulator flavour: without
  // this world it would find no printer at all.
  void LibraryLoaded(platform::Modules& modules, platform::ModuleHandle library) override {
    const auto attach =
        reinterpret_cast<AttachSimulatedWorldFn>(modules.Export(library, "AttachSimulatedWorld"));
    if (attach != nullptr) attach(&library_);
  }

 private:
  // Every socket number a location text can name: a root hub and hubs of
  // this size give each of up to 35 * 35 printers a location of its own.
  static constexpr int kPorts = 35;

  // One host controller with hubs that hold the world's class printers, in
  // the world's order: the library traces each printer to its socket and
  // opens it there.
  void PlugClassPrinters() {
    const sim::UsbNodeId rootHub = usb_.AddHostController(0, kPorts);
    sim::UsbNodeId hub = 0;
    int hubs = 0;
    int port = kPorts;
    for (const auto& device : world_->Devices()) {
      const auto* printer = dynamic_cast<const sim::ClassPrinter*>(device.get());
      if (printer == nullptr) continue;
      if (port == kPorts) {
        hub = usb_.AddHub(rootHub, ++hubs, kPorts);  // throws past the last root port
        port = 0;
      }
      usb_.PlugPrinter(hub, ++port, *printer);
    }
  }

  std::unique_ptr<sim::World> world_;
  sim::UsbTopology usb_;
  // Outlives the library: the program frees it before its world ends.
  morvalib::LibraryServices library_;
};

}  // namespace

// A state file that cannot be read stops the start: shown in the standard
// exception box rather than run with no printers, or over the user's file.
std::unique_ptr<DeviceWorld> OpenDeviceWorld(platform::Clock& clock) {
  const std::string path = StateFilePath();
  std::string error;
  std::unique_ptr<sim::World> world = sim::OpenPersistentWorld(path, clock, &error);
  if (world == nullptr) throw std::runtime_error("Cannot open the simulator state " + path + ": " + error);
  return std::make_unique<SimulatedDeviceWorld>(std::move(world), clock);
}

}  // namespace nolpa::app
