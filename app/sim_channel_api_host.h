#pragma once
// NOLPAID-sim.exe's side of the channel-API stand-in library file
// (sim/win32/channel_api_dll.cpp): the program carries that file as resource
// "SIMCHANNELAPI", writes it where the simulated spooler's drivers expect
// their channel API, and exports three functions through which the file,
// once the serial-number library has loaded it for real, reaches the
// stand-in of the program's world:
//   int SimChannelApiLoaded(const char* path)   1: counted; 0: refused
//   void SimChannelApiFreed(void)
//   void (*SimChannelApiExport(const char* name))(void)   null: none
#include <string>
#include <vector>

#include "sim/channel_api_standin.h"

namespace nolpa::app {

// The stand-in the exports reach from now on; null: none (a load is then
// refused and every call fails).
void SetChannelApiHost(sim::ChannelApiStandIn* standIn);

// Writes the carried file to each of `paths` that does not hold its bytes
// already. Returns the paths it could not write.
std::vector<std::string> InstallChannelApiFiles(const std::vector<std::string>& paths);

}  // namespace nolpa::app
