#include "serial_library/channel_api_location.h"

#include <array>
#include <string_view>

#include "serial_library/ascii_text.h"

namespace nolpa::morvalib {

namespace {

constexpr char kDriverKey[] = "Software\\VARDU\\QTR7\\Driver\\";
constexpr char kRegistryValue[] = "ZQAPI32";
constexpr char kDriverSection[] = "User Mode Printer Driver Information";
constexpr char kDriverKeyName[] = "ZQAPII";
constexpr char kUtilitySection[] = "Utility";
constexpr char kUtilityKeyName[] = "ZQAPINAME";
constexpr std::uint32_t kFirstNtWithDriverFolders = 5;
// Names the maker installs into the system folder whatever the driver.
constexpr std::array<std::string_view, 3> kSystemFolderNames = {"ZQAPI.DLL", "ZQAPI2.DLL",
                                                                "ZQAPI3.DLL"};

// The folder part of a path, without its last backslash; empty when none.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& file) {
  if (folder.empty() || folder.back() == '\\') return folder + file;
  return folder + "\\" + file;
}

std::string RegistryFileName(const LibraryServices& services, const std::string& driverName,
                             platform::RegistryView view) {
  platform::Registry& registry = *services.registry;
  const platform::RegistryKey key = registry.OpenMachineKey(kDriverKey + driverName, view);
  if (key == platform::kNoRegistryKey) return {};
  std::string name =
      registry.ReadString(key, kRegistryValue, kChannelApiRegistryNameBytes).value_or("");
  registry.CloseKey(key);
  return name;
}

// The 32-bit view this library reads first; a 64-bit driver's installer
// writes the 64-bit one, which a 32-bit process sees only when it asks.
std::string RegistryFileName(const LibraryServices& services, const std::string& driverName) {
  if (driverName.empty()) return {};
  std::string name = RegistryFileName(services, driverName, platform::RegistryView::Own);
  if (name.empty()) name = RegistryFileName(services, driverName, platform::RegistryView::Bits64);
  return name;
}

std::string IniFileName(const LibraryServices& services,
                        const platform::PrinterDriverInfo& driver) {
  if (driver.dataFile.empty()) return {};
  const std::string dataFile = driver.dataFile.find('\\') == std::string::npos
                                   ? JoinPath(FolderOf(driver.driverPath), driver.dataFile)
                                   : driver.dataFile;
  platform::SystemFolders& system = *services.system;
  std::string name =
      system.IniString(dataFile, kDriverSection, kDriverKeyName, kChannelApiIniNameBytes);
  if (name.empty())
    name = system.IniString(dataFile, kUtilitySection, kUtilityKeyName, kChannelApiIniNameBytes);
  return name;
}

bool InSystemFolder(const LibraryServices& services, const std::string& fileName) {
  const platform::WindowsVersion version = services.system->Version();
  if (!version.ntLine || version.major < kFirstNtWithDriverFolders) return true;
  for (std::string_view name : kSystemFolderNames)
    if (EqualIgnoringCase(name, fileName)) return true;
  return false;
}

// The system folder, or the folder of the installed driver the printer uses.
std::string FolderFor(const LibraryServices& services, const std::string& fileName,
                      const std::string& driverName, const std::string& environment) {
  if (InSystemFolder(services, fileName)) return services.system->SystemDirectory();
  for (const platform::PrinterDriverInfo& installed :
       services.spooler->InstalledDrivers(environment))
    if (EqualIgnoringCase(installed.name, driverName)) return FolderOf(installed.driverPath);
  return {};
}

}  // namespace

std::string ChannelApiFileName(const LibraryServices& services,
                               const platform::PrinterDriverInfo& driver) {
  if (!HasChannelApiServices(services)) return {};
  std::string name = RegistryFileName(services, driver.name);
  if (name.empty()) name = IniFileName(services, driver);
  return name;
}

std::string LocateChannelApi(const LibraryServices& services, const std::string& printerName) {
  if (!HasChannelApiServices(services)) return {};
  // On 64-bit Windows the printer's driver is of the spooler's environment
  // ("Windows x64"), not of this 32-bit library's own.
  const std::string environment = services.spooler->Environment();
  platform::PrinterDriverInfo driver;
  if (!services.spooler->PrinterDriver(printerName, environment, &driver)) return {};
  const std::string fileName = ChannelApiFileName(services, driver);
  if (fileName.empty()) return {};
  const std::string folder = FolderFor(services, fileName, driver.name, environment);
  if (folder.empty()) return {};
  const std::string path = JoinPath(folder, fileName);
  return services.system->FileExists(path) ? path : std::string();
}

}  // namespace nolpa::morvalib
