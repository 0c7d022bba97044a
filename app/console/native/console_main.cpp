// nolpaidc: the console companion built natively on Linux against the
// simulator, so that line scripts can be written without printers. Its
// printers live in a state file (--fleet FILE, else NOLPA_SIM_STATE, else
// NOLPAID-sim.json beside the program), the same files NOLPAID-sim.exe
// keeps; a write in one run is seen by the next. It runs on the
// simulator's virtual clock: waits (the emptying, the rescans, the
// spooler) take no real time, and the calendar starts at the real local
// time. The library is linked in; its work folder, the spooler and the INI
// file are simulated too (NOLPAID.ini beside the program is read into
// it). Each run appends to "<state file>.log" what its world noted.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/console/console_program.h"
#include "platform/odbc/odbc_database.h"
#include "platform/posix/posix_console.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "sim/core/virtual_clock.h"
#include "sim/host/host_system.h"
#include "sim/host/service_manager.h"
#include "sim/host/user_locale.h"
#include "sim/library_world.h"
#include "sim/world.h"

namespace nolpa::app::console {
namespace {

// Where the simulated host says the program lies; the window program's INI
// file beside it, NOLPAID.ini, is the one it reads.
constexpr char kSimulatedProgram[] = "C:\\Program Files\\NOLPA\\NOLPAIDC.exe";
constexpr char kSimulatedIni[] = "C:\\Program Files\\NOLPA\\NOLPAID.ini";

std::string ProgramFolder() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  const std::string exe(path, length > 0 ? static_cast<std::size_t>(length) : 0);
  return exe.substr(0, exe.find_last_of('/') + 1);
}

std::string StatePath(const Options& options) {
  if (options.fleet) return *options.fleet;
  if (const char* state = std::getenv("NOLPA_SIM_STATE"); state != nullptr && *state != '\0')
    return state;
  return ProgramFolder() + "NOLPAID-sim.json";
}

// The simulated host's program path and the INI file beside the native
// program (NOLPAID.ini), read into it.
void PlaceProgram(sim::HostSystem& host) {
  host.SetExecutablePath(kSimulatedProgram);
  std::ifstream ini(ProgramFolder() + "NOLPAID.ini", std::ios::binary);
  if (ini) host.SetIniFile(kSimulatedIni, std::string(std::istreambuf_iterator<char>(ini), {}));
}

// The language a Wine process takes from the same settings.
class LocaleSystemInfo final : public platform::SystemInfo {
 public:
  std::uint16_t UserDefaultLangId() override {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(name);
      if (value != nullptr && *value != '\0')
        return std::string(value).starts_with("ja") ? 0x0411 : 0x0409;
    }
    return 0x0409;
  }
  std::uint32_t MajorVersion() override { return 10; }
};

class NativeHost final : public ConsoleHost {
 public:
  explicit NativeHost(const std::string& statePath) : statePath_(statePath) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    clock_.SetLocalTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, local.tm_sec, 0);
    std::string error;
    world_ = sim::OpenPersistentWorld(statePath, clock_, &error);
    if (world_ == nullptr)
      throw std::runtime_error("Cannot open the simulator state " + statePath + ": " + error);
    around_ = std::make_unique<sim::LibraryWorld>(*world_);
    services_ = std::make_unique<sim::ServiceManager>(clock_, &world_->Departures());
    ProvideLibrary();
  }
  ~NativeHost() override {
    morvalib::RemoveServices();
    std::ofstream(statePath_ + ".log", std::ios::binary | std::ios::app) << around_->Report();
  }

  platform::Platform Services() override {
    platform::Platform p;
    p.clock = &clock_;
    p.files = &world_->Files();
    p.interfaces = &world_->Interfaces();
    p.dosDevices = &world_->DosDevices();
    p.system = &system_;
    p.serviceManager = services_.get();
    p.textCompare = &locale_;
    p.hostFiles = &host_.Files();
    p.modules = &host_.Modules();
    p.program = &host_.Program();
    return p;
  }
  platform::DeviceTree* UsbTree() override { return &around_->Usb().Tree(); }
  void LibraryLoaded(platform::ModuleHandle) override {}

 private:
  // The library is linked in: the simulated host loads the image the
  // program carries and binds the library's own exports, which reach this
  // world, its bus and its spooler.
  void ProvideLibrary() {
    sim::LibraryExports& library = host_.Library();
    library.getUSBSerialNumber = &::GetUSBSerialNumber;
    library.setUSBSerialNumber = &::SetUSBSerialNumber;
    library.getPrinterFirmwareVersion = &::GetPrinterFirmwareVersion;
    library.sendReceiveD4Command = &::SendReceiveD4Command;
    morvalib::LibraryServices services;
    services.files = &world_->Files();
    services.clock = &clock_;
    services.deviceTree = &around_->Usb().Tree();
    services.hubFiles = &around_->Usb().HubFiles();
    services.interfaces = &around_->Usb().Interfaces();
    services.spooler = &around_->Spooler().Spooler();
    services.registry = &around_->Spooler().Registry();
    services.system = &around_->Spooler().System();
    services.modules = &around_->ChannelApi().Modules();
    morvalib::InstallServices(services);
    PlaceProgram(host_);
  }

  std::string statePath_;
  sim::VirtualClock clock_;
  std::unique_ptr<sim::World> world_;
  std::unique_ptr<sim::LibraryWorld> around_;
  std::unique_ptr<sim::ServiceManager> services_;
  sim::HostSystem host_;
  sim::WesternUserLocale locale_;
  LocaleSystemInfo system_;
};

// One copy per user: a lock on a file of this user's, held until the
// process ends.
bool AnotherCopyRunning() {
  const std::string path = "/tmp/NOLPAID-" + std::to_string(::getuid()) + ".lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  return fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0;
}

}  // namespace
}  // namespace nolpa::app::console

int main(int argc, char** argv) {
  using namespace nolpa;
  platform::posix::PosixConsoleStreams streams;
  platform::posix::PosixConsoleSignals signals;
  platform::posix::PosixLogFiles logs;
  platform::posix::Windows1252Encoding encoding;
  app::console::LocaleSystemInfo system;
  app::console::ConsoleEnvironment environment(streams, signals, logs, encoding, system);
  environment.simulatorBuild = true;
  // The plant's database through the unixODBC linked in; the db commands
  // read the INI file without opening the simulated printers.
  platform::odbc::OdbcDatabases databases(&platform::odbc::LinkedOdbc);
  environment.databases = &databases;
  sim::HostSystem settings;
  app::console::PlaceProgram(settings);
  environment.settings = &settings.Program();
  environment.anotherCopyRunning = &app::console::AnotherCopyRunning;
  environment.openHost =
      [](const app::console::Options& options) -> std::unique_ptr<app::console::ConsoleHost> {
    return std::make_unique<app::console::NativeHost>(app::console::StatePath(options));
  };
  return app::console::RunConsole(environment, std::vector<std::string>(argv + 1, argv + argc));
}
