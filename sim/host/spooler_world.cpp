#include "sim/host/spooler_world.h"

#include <algorithm>

#include "sim/core/departures.h"
#include "sim/host/host_system.h"

namespace nolpa::sim {

namespace {

constexpr char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr char kMachinePrefix[] = "HKLM:";
constexpr char kInterfacePrefix[] = "IF:";
// The redirected part of HKEY_LOCAL_MACHINE and the tags of its two views.
constexpr char kSoftwareKey[] = "SOFTWARE\\";
constexpr char kView32[] = "WOW64_32:";
constexpr char kView64[] = "WOW64_64:";

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

SpoolerWorld::SpoolerWorld(World& world) : world_(world) {}

SpoolerWorld::~SpoolerWorld() {
  for (const auto& [key, name] : openKeys_)
    world_.Departures().Note(
        {world_.Clock().NowMs(), "spooler", departure::kRegistryKeyLeaked, name});
}

void SpoolerWorld::AddPrinter(const SpoolerPrinterConfig& printer) {
  printers_.push_back(printer);
  if (!printer.port.empty()) SetMachineString(kPrintersKey + printer.name, "Port", printer.port);
}

void SpoolerWorld::AddDriver(const SpoolerDriverConfig& driver) { drivers_.push_back(driver); }

std::string SpoolerWorld::StoredKey(const std::string& key, platform::RegistryView view) {
  std::string upper = Upper(key);
  if (!upper.starts_with(kSoftwareKey)) return upper;
  return (view == platform::RegistryView::Bits64 ? kView64 : kView32) + upper;
}

void SpoolerWorld::SetMachineString(const std::string& key, const std::string& name,
                                    std::string value, platform::RegistryView view) {
  machineKeys_[StoredKey(key, view)][Upper(name)] = std::move(value);
}

void SpoolerWorld::SetMachineDword(const std::string& key, const std::string& name,
                                   std::uint32_t value) {
  machineKeys_[StoredKey(key, platform::RegistryView::Own)][Upper(name)] = value;
}

void SpoolerWorld::SetInterfaceValues(const std::string& device, InterfaceKeyValues values) {
  Values& key = interfaceKeys_[Upper(world_.PrinterClass(device).InterfacePath())];
  key.clear();
  if (values.portNumber) key["PORT NUMBER"] = *values.portNumber;
  if (values.baseName) key["BASE NAME"] = *values.baseName;
}

void SpoolerWorld::AddFile(const std::string& path) {
  files_.emplace(HostPathKey(path), std::string());
}

void SpoolerWorld::SetIniFile(const std::string& path, std::string text) {
  files_[HostPathKey(path)] = std::move(text);
}

bool SpoolerWorld::HasFile(const std::string& path) const {
  return files_.count(HostPathKey(path)) != 0;
}

ClassPrinter* SpoolerWorld::PrinterBehind(const std::string& name) {
  for (const SpoolerPrinterConfig& printer : printers_) {
    if (printer.name != name || printer.device.empty()) continue;
    SimDevice* device = world_.FindDevice(printer.device);
    if (device == nullptr || !device->Plugged()) return nullptr;
    return dynamic_cast<ClassPrinter*>(device);
  }
  return nullptr;
}

std::vector<std::string> SpoolerWorld::LocalPrinterNames() {
  std::vector<std::string> names;
  if (!Running()) return names;
  for (const SpoolerPrinterConfig& printer : printers_) names.push_back(printer.name);
  return names;
}

std::string SpoolerWorld::Environment() {
  if (!Running()) return {};
  return windows64_ ? kEnvironmentX64 : kEnvironmentX86;
}

std::string SpoolerWorld::EnvironmentOf(const SpoolerDriverConfig& d) const {
  if (!d.environment.empty()) return d.environment;
  return windows64_ ? kEnvironmentX64 : kEnvironmentX86;
}

// The environments are compared case ignored, as the spooler compares them.
bool SpoolerWorld::PrinterDriver(const std::string& printerName, const std::string& environment,
                                 platform::PrinterDriverInfo* driver) {
  if (!Running()) return false;
  const std::string asked = Upper(environment.empty() ? kEnvironmentX86 : environment);
  const auto printer =
      std::find_if(printers_.begin(), printers_.end(),
                   [&](const SpoolerPrinterConfig& p) { return p.name == printerName; });
  if (printer == printers_.end()) return false;
  for (const SpoolerDriverConfig& d : drivers_)
    if (d.name == printer->driver && Upper(EnvironmentOf(d)) == asked) {
      *driver = {d.name, d.driverPath, d.dataFile};
      return true;
    }
  return false;
}

std::vector<platform::PrinterDriverInfo> SpoolerWorld::InstalledDrivers(
    const std::string& environment) {
  std::vector<platform::PrinterDriverInfo> installed;
  if (!Running()) return installed;
  const std::string asked = Upper(environment.empty() ? kEnvironmentX86 : environment);
  for (const SpoolerDriverConfig& d : drivers_)
    if (d.installed && Upper(EnvironmentOf(d)) == asked)
      installed.push_back({d.name, d.driverPath, d.dataFile});
  return installed;
}

platform::RegistryKey SpoolerWorld::NewKey(std::string name) {
  const platform::RegistryKey key = nextKey_;
  nextKey_ += 4;
  openKeys_[key] = std::move(name);
  return key;
}

// 32-bit Windows has one view: a value written to either is read from both.
platform::RegistryKey SpoolerWorld::OpenMachineKey(const std::string& subKey,
                                                   platform::RegistryView view) {
  std::string stored = StoredKey(subKey, view);
  if (!windows64_ && machineKeys_.count(stored) == 0) {
    const auto other = view == platform::RegistryView::Bits64 ? platform::RegistryView::Own
                                                              : platform::RegistryView::Bits64;
    stored = StoredKey(subKey, other);
  }
  if (machineKeys_.count(stored) == 0) return platform::kNoRegistryKey;
  return NewKey(kMachinePrefix + stored);
}

platform::RegistryKey SpoolerWorld::OpenInterfaceKey(platform::InterfaceSet set,
                                                     const platform::Guid& interfaceClass,
                                                     std::uint32_t index) {
  std::string path;
  if (!world_.Interfaces().InterfacePath(set, interfaceClass, index, &path))
    return platform::kNoRegistryKey;
  // Every present interface has a key, with or without values in it.
  return NewKey(kInterfacePrefix + Upper(path));
}

const SpoolerWorld::Value* SpoolerWorld::Find(platform::RegistryKey key,
                                              const std::string& name) const {
  const auto open = openKeys_.find(key);
  if (open == openKeys_.end()) return nullptr;
  const std::string& keyName = open->second;
  const bool machine = keyName.starts_with(kMachinePrefix);
  const auto& keys = machine ? machineKeys_ : interfaceKeys_;
  const auto values =
      keys.find(keyName.substr(machine ? sizeof kMachinePrefix - 1 : sizeof kInterfacePrefix - 1));
  if (values == keys.end()) return nullptr;
  const auto value = values->second.find(Upper(name));
  return value == values->second.end() ? nullptr : &value->second;
}

std::optional<std::string> SpoolerWorld::ReadString(platform::RegistryKey key,
                                                    const std::string& name,
                                                    std::uint32_t maxBytes) {
  const Value* value = Find(key, name);
  if (value == nullptr || !std::holds_alternative<std::string>(*value)) return std::nullopt;
  const std::string& text = std::get<std::string>(*value);
  // ERROR_MORE_DATA: the value and its NUL do not fit the buffer.
  if (text.size() + 1 > maxBytes) return std::nullopt;
  return text;
}

std::optional<std::uint32_t> SpoolerWorld::ReadDword(platform::RegistryKey key,
                                                     const std::string& name) {
  const Value* value = Find(key, name);
  if (value == nullptr || !std::holds_alternative<std::uint32_t>(*value)) return std::nullopt;
  return std::get<std::uint32_t>(*value);
}

void SpoolerWorld::CloseKey(platform::RegistryKey key) {
  if (key == platform::kNoRegistryKey) return;
  openKeys_.erase(key);
}

std::string SpoolerWorld::IniString(const std::string& file, const std::string& section,
                                    const std::string& key, std::uint32_t maxBytes) {
  if (world_.Recorder().Enabled()) iniReads_.push_back(file + "|" + section + "|" + key);
  const auto found = files_.find(HostPathKey(file));
  if (found == files_.end() || maxBytes == 0) return {};
  const std::string value = FindIniValue(found->second, section, key).value_or("");
  return value.substr(0, maxBytes - 1);
}

}  // namespace nolpa::sim
