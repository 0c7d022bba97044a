#pragma once
// The simulated print spooler and what the serial-number library reads
// around it: local printers with their ports and drivers, the installed
// drivers of each environment, registry values under HKEY_LOCAL_MACHINE (in
// the two views of 64-bit Windows) and in the printer-class interfaces'
// keys, the system folder, the Windows version, files and the drivers' INI
// data files. Printer-class interfaces are those of the World it is given
// (their keys are reached through the World's interface sets). Like the
// Windows spooler it answers only while its service runs: the service's
// state is asked at every call through the function FollowService gives.
//
//   SpoolerWorld spooler(world);
//   spooler.AddDriver({.name = "Nolpa Line", .driverPath = "C:\\drv\\nl.dll", .dataFile =
//   "nl.ini"}); spooler.AddPrinter({.name = "Line 1", .port = "USB001", .driver = "Nolpa Line",
//   .device = "cp1"}); spooler.SetInterfaceValues("cp1", {.portNumber = 1});
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/print_spooler.h"
#include "platform/registry.h"
#include "platform/system_folders.h"
#include "sim/world.h"

namespace nolpa::sim {

struct SpoolerPrinterConfig {
  std::string name;
  std::string port;      // written as the printer's registry "Port"; empty: none
  std::string driver;    // the driver's name
  std::string device{};  // the World's printer-class printer behind it, if any
};

// The spooler's environments: a 32-bit process asks for "Windows NT x86"
// unless it names another one.
inline constexpr char kEnvironmentX86[] = "Windows NT x86";
inline constexpr char kEnvironmentX64[] = "Windows x64";

struct SpoolerDriverConfig {
  std::string name;
  std::string driverPath;
  std::string dataFile{};
  bool installed = true;  // listed by EnumPrinterDriversA
  // Its environment; empty: the machine's own (see SetWindows64).
  std::string environment{};
};

// The values of a printer-class interface's registry key.
struct InterfaceKeyValues {
  std::optional<std::uint32_t> portNumber{};
  std::optional<std::string> baseName{};
};

class SpoolerWorld : private platform::PrintSpooler,
                     private platform::Registry,
                     private platform::SystemFolders {
 public:
  explicit SpoolerWorld(World& world);
  ~SpoolerWorld() override;
  SpoolerWorld(const SpoolerWorld&) = delete;
  SpoolerWorld& operator=(const SpoolerWorld&) = delete;

  platform::PrintSpooler& Spooler() { return *this; }
  platform::Registry& Registry() { return *this; }
  platform::SystemFolders& System() { return *this; }

  // 64-bit Windows: the spooler's environment is "Windows x64", and keys
  // under "Software\" have a 32-bit and a 64-bit view (on 32-bit Windows
  // the two are one).
  void SetWindows64(bool windows64) { windows64_ = windows64; }
  // The spooler answers while `running` says its service runs; without one
  // it always does.
  void FollowService(std::function<bool()> running) { running_ = std::move(running); }

  void AddPrinter(const SpoolerPrinterConfig& printer);
  void AddDriver(const SpoolerDriverConfig& driver);
  // A value of a key under HKEY_LOCAL_MACHINE (names compared case ignored),
  // in `view` of a "Software\" key on 64-bit Windows (one view otherwise).
  void SetMachineString(const std::string& key, const std::string& name, std::string value,
                        platform::RegistryView view = platform::RegistryView::Own);
  void SetMachineDword(const std::string& key, const std::string& name, std::uint32_t value);
  // The key values of World device `device`'s printer-class interface.
  void SetInterfaceValues(const std::string& device, InterfaceKeyValues values);
  void SetSystemDirectory(std::string folder) { systemDirectory_ = std::move(folder); }
  void SetVersion(platform::WindowsVersion version) { version_ = version; }
  void AddFile(const std::string& path);
  void SetIniFile(const std::string& path, std::string text);

  // The World printer-class printer behind spooler printer `name`, or null.
  ClassPrinter* PrinterBehind(const std::string& name);
  bool HasFile(const std::string& path) const;
  // Registry keys opened and not closed: 0 after a clean call.
  std::size_t OpenKeys() const { return openKeys_.size(); }
  // Every INI file read ("<file>|<section>|<key>"), in order, while the
  // world's recorder is on.
  const std::vector<std::string>& IniReads() const { return iniReads_; }

 private:
  using Value = std::variant<std::string, std::uint32_t>;
  using Values = std::map<std::string, Value>;  // by upper-case name

  // platform::PrintSpooler: nothing while the service does not run (the
  // RPC server is unavailable).
  std::vector<std::string> LocalPrinterNames() override;
  std::string Environment() override;
  bool PrinterDriver(const std::string& printerName, const std::string& environment,
                     platform::PrinterDriverInfo* driver) override;
  std::vector<platform::PrinterDriverInfo> InstalledDrivers(
      const std::string& environment) override;
  // platform::Registry
  platform::RegistryKey OpenMachineKey(const std::string& subKey,
                                       platform::RegistryView view) override;
  platform::RegistryKey OpenInterfaceKey(platform::InterfaceSet set,
                                         const platform::Guid& interfaceClass,
                                         std::uint32_t index) override;
  std::optional<std::string> ReadString(platform::RegistryKey key, const std::string& name,
                                        std::uint32_t maxBytes) override;
  std::optional<std::uint32_t> ReadDword(platform::RegistryKey key,
                                         const std::string& name) override;
  void CloseKey(platform::RegistryKey key) override;
  // platform::SystemFolders
  std::string SystemDirectory() override { return systemDirectory_; }
  platform::WindowsVersion Version() override { return version_; }
  bool FileExists(const std::string& path) override { return HasFile(path); }
  std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                        std::uint32_t maxBytes) override;

  const Value* Find(platform::RegistryKey key, const std::string& name) const;
  platform::RegistryKey NewKey(std::string name);
  bool Running() const { return !running_ || running_(); }
  // The environment of driver `d`, and the one a call asks for.
  std::string EnvironmentOf(const SpoolerDriverConfig& d) const;
  // Where a key lives: "Software\" keys by the view they were written in.
  static std::string StoredKey(const std::string& key, platform::RegistryView view);

  World& world_;
  std::vector<SpoolerPrinterConfig> printers_;
  std::vector<SpoolerDriverConfig> drivers_;
  std::map<std::string, Values> machineKeys_;              // by upper-case key path
  std::map<std::string, Values> interfaceKeys_;            // by upper-case device path
  std::map<platform::RegistryKey, std::string> openKeys_;  // handle -> key name
  platform::RegistryKey nextKey_ = 0x8000;
  std::string systemDirectory_ = "C:\\WINDOWS\\system32";
  platform::WindowsVersion version_{true, 5};
  bool windows64_ = false;
  std::function<bool()> running_;
  std::map<std::string, std::string> files_;  // by path key: INI text (may be empty)
  std::vector<std::string> iniReads_;
};

}  // namespace nolpa::sim
