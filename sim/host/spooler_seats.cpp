#include "sim/host/spooler_seats.h"

#include <algorithm>
#include <map>

namespace nolpa::sim {
namespace {

// The folder part of a full path ("C:\a\b.dll" gives "C:\a").
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

std::string IniText(const SpoolerSeat& seat) {
  std::string text;
  if (seat.zqapii)
    text += std::string("[") + kDriverInfoSection + "]\r\nZQAPII=" + *seat.zqapii + "\r\n";
  if (seat.zqapiName)
    text += std::string("[") + kUtilitySection + "]\r\nZQAPINAME=" + *seat.zqapiName + "\r\n";
  return text;
}

// Returns the driver's path as the spooler keeps it.
std::string AddDriverOnce(const SpoolerSeat& seat, SpoolerWorld& spooler,
                          std::map<std::string, std::string>& drivers) {
  if (const auto known = drivers.find(seat.driver); known != drivers.end()) return known->second;
  drivers.emplace(seat.driver, seat.driverPath);
  spooler.AddDriver({.name = seat.driver,
                     .driverPath = seat.driverPath,
                     .dataFile = seat.dataFile,
                     .installed = seat.driverInstalled,
                     .environment = seat.driverEnvironment});
  if (seat.zqapi32)
    spooler.SetMachineString(
        kChannelApiDriverKey + seat.driver, "ZQAPI32", *seat.zqapi32,
        seat.zqapi32In64BitView ? platform::RegistryView::Bits64 : platform::RegistryView::Own);
  if (!seat.dataFile.empty() && (seat.zqapii || seat.zqapiName)) {
    const bool hasFolder = seat.dataFile.find('\\') != std::string::npos;
    spooler.SetIniFile(hasFolder ? seat.dataFile : Join(FolderOf(seat.driverPath), seat.dataFile),
                       IniText(seat));
  }
  return seat.driverPath;
}

}  // namespace

std::vector<std::string> SeatSpoolerPrinters(World& world, SpoolerWorld& spooler,
                                             ChannelApiStandIn& api) {
  std::map<std::string, std::string> drivers;  // name -> path
  std::vector<std::string> libraries;
  for (const auto& device : world.Devices()) {
    const auto* printer = dynamic_cast<const ClassPrinter*>(device.get());
    if (printer == nullptr || !printer->Seat()) continue;
    const SpoolerSeat& seat = *printer->Seat();
    const std::string driverPath = AddDriverOnce(seat, spooler, drivers);
    spooler.AddPrinter({.name = seat.printer,
                        .port = seat.port,
                        .driver = seat.driver,
                        .device = printer->Name()});
    spooler.SetInterfaceValues(printer->Name(),
                               {.portNumber = seat.portNumber, .baseName = seat.baseName});
    if (seat.channelApiFile.empty()) continue;
    const std::string folder = seat.channelApiFolder == ChannelApiFolder::System
                                   ? spooler.System().SystemDirectory()
                                   : FolderOf(driverPath);
    const std::string path = Join(folder, seat.channelApiFile);
    if (std::find(libraries.begin(), libraries.end(), path) != libraries.end()) continue;
    ChannelApiBehaviour& behaviour = api.AddLibrary(path);
    behaviour.loads = !seat.channelApi64Bit;
    behaviour.initializeResult = seat.channelApiInitialize;
    libraries.push_back(path);
  }
  return libraries;
}

}  // namespace nolpa::sim
