// NOLPAID-sim.exe: the simulated printers of a state file, which keeps what
// they are sent between runs. The file is named by NOLPA_SIM_STATE, or lies
// beside the program as NOLPAID-sim.json; the folder "<state file>.system"
// stands for the system folder. The simulated spooler answers while the
// machine's own (Wine's) spooler service runs, which the program stops at
// start-up, as the real spooler does. NOLPA_SIM_BYTE_CHANNEL may put the
// printers' byte channel on a real device (sim_byte_channel.h). Each run
// appends to
// "<state file>.log" how the channel API was used and every departure from
// the protocols the world noted.
#include <windows.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "app/device_world.h"
#include "app/sim_byte_channel.h"
#include "app/sim_channel_api_host.h"
#include "platform/win32/win32_modules.h"
#include "platform/win32/win32_service_manager.h"
#include "serial_library/morvalib_sim.h"
#include "sim/library_world.h"
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

// The simulated system folder: a folder of the simulator's own beside the
// state file, never the machine's, so that the stand-in written for a driver
// that names "ZQAPI2.DLL" can never replace a real channel API there.
std::string SimulatedSystemFolder(const std::string& statePath) {
  std::string folder = statePath + ".system";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// Whether the machine's spooler service runs, asked with the least access
// that reads its state.
bool SpoolerServiceRuns() {
  constexpr std::uint32_t kManagerConnect = 0x0001;  // SC_MANAGER_CONNECT
  constexpr std::uint32_t kQueryStatus = 0x0004;     // SERVICE_QUERY_STATUS
  constexpr std::uint32_t kRunning = 4;              // SERVICE_RUNNING
  platform::win32::Win32ServiceManager services;
  const platform::ScopedServiceHandle manager(services, services.OpenManager(kManagerConnect));
  if (!manager.Valid()) return false;
  const platform::ScopedServiceHandle spooler(
      services, services.OpenServiceNamed(manager.Get(), "spooler", kQueryStatus));
  std::uint32_t state = 0;
  return spooler.Valid() && services.QueryState(spooler.Get(), &state) && state == kRunning;
}

class SimulatedDeviceWorld final : public DeviceWorld {
 public:
  SimulatedDeviceWorld(std::unique_ptr<sim::World> world, platform::Clock& clock,
                       const std::string& statePath)
      : world_(std::move(world)),
        around_(*world_, SimulatedSystemFolder(statePath)),
        logPath_(statePath + ".log") {
    around_.Spooler().FollowService(&SpoolerServiceRuns);
    installed_ = InstallChannelApiFiles(around_.ChannelApiFiles(),
                                        around_.Spooler().System().SystemDirectory());
    SetChannelApiHost(&around_.ChannelApi());
    if (const std::string channel = ByteChannelPathFromEnvironment(); !channel.empty())
      redirected_ = std::make_unique<RedirectedByteChannel>(world_->Files(), channel);
    library_.files = &Files();
    library_.clock = &clock;
    library_.deviceTree = &around_.Usb().Tree();
    library_.hubFiles = &around_.Usb().HubFiles();
    library_.interfaces = &around_.Usb().Interfaces();
    library_.spooler = &around_.Spooler().Spooler();
    library_.registry = &around_.Spooler().Registry();
    library_.system = &around_.Spooler().System();
  }
  // The library was unloaded before: what it did is complete, and a
  // stand-in written into a folder not the simulator's own is removed.
  ~SimulatedDeviceWorld() override {
    SetChannelApiHost(nullptr);
    std::ofstream log(logPath_, std::ios::binary | std::ios::app);
    for (const std::string& path : installed_.notWritten)
      log << "channel API file not written: " << path << "\r\n";
    for (const std::string& path : RemoveChannelApiFiles(installed_.writtenElsewhere))
      log << "channel API file not removed: " << path << "\r\n";
    log << around_.Report();
  }
  platform::DeviceFiles& Files() override {
    return redirected_ != nullptr ? *redirected_ : world_->Files();
  }
  platform::DeviceInterfaces& Interfaces() override { return world_->Interfaces(); }
  platform::DosDevices& DosDevices() override { return world_->DosDevices(); }
  platform::DeviceTree* UsbDeviceTree() override { return &around_.Usb().Tree(); }

  // The library carried by this program is the simulator flavour: without
  // this world it would find no printer at all. It loads the channel API
  // with a real module loader, the one the production library uses, so the
  // stand-in file written above is loaded and bound for real.
  void LibraryLoaded(platform::Modules& modules, platform::ModuleHandle library) override {
    library_.modules = &channelApiModules_;
    const auto attach =
        reinterpret_cast<AttachSimulatedWorldFn>(modules.Export(library, "AttachSimulatedWorld"));
    if (attach != nullptr) attach(&library_);
  }

 private:
  std::unique_ptr<sim::World> world_;
  sim::LibraryWorld around_;
  // The printers' byte channel on a real device, when a test asks for it.
  std::unique_ptr<RedirectedByteChannel> redirected_;
  std::string logPath_;
  InstalledChannelApiFiles installed_;
  platform::win32::Win32Modules channelApiModules_{
      platform::win32::Win32Modules::Kind::DriverCompanion};
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
  if (world == nullptr)
    throw std::runtime_error("Cannot open the simulator state " + path + ": " + error);
  return std::make_unique<SimulatedDeviceWorld>(std::move(world), clock, path);
}

}  // namespace nolpa::app
