#pragma once
// NOLPAID-sim.exe's side of the channel-API stand-in library file
// (sim/host/win32/channel_api_dll.cpp): the program carries that file as resource
// "SIMCHANNELAPI", writes it where the simulated spooler's drivers expect
// their channel API, and exports three functions through which the file,
// once the serial-number library has loaded it for real, reaches the
// stand-in of the program's world:
//   int SimChannelApiLoaded(const char* path)   1: counted; 0: refused
//   void SimChannelApiFreed(void)
//   void (*SimChannelApiExport(const char* name))(void)   null: none
#include <string>
#include <vector>

#include "sim/host/channel_api_standin.h"

namespace nolpa::app {

// The stand-in the exports reach from now on; null: none (a load is then
// refused and every call fails).
void SetChannelApiHost(sim::ChannelApiStandIn* standIn);

struct InstalledChannelApiFiles {
  // Paths that neither hold the carried file nor could be written.
  std::vector<std::string> notWritten;
  // Files written outside `ownFolder`: the program removes them as it ends.
  std::vector<std::string> writtenElsewhere;
};

// Writes the carried file to each of `paths` that does not hold its bytes
// already. A file in `ownFolder` (the simulator's) is replaced; anywhere
// else (a driver's folder the fleet names) only a missing file is written,
// so a file the simulator did not make is never overwritten.
InstalledChannelApiFiles InstallChannelApiFiles(const std::vector<std::string>& paths,
                                                const std::string& ownFolder);

// Removes the files InstallChannelApiFiles wrote outside its own folder
// (`written`), each only while it still holds the carried file's bytes.
// Returns the paths it could not remove.
std::vector<std::string> RemoveChannelApiFiles(const std::vector<std::string>& written);

}  // namespace nolpa::app
