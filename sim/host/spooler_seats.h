#pragma once
// Sets a simulated spooler up from the spooler seats of a world's
// printer-class printers (spooler_seat.h): each seat becomes a spooler
// printer on its port with its driver, the driver's registry value and INI
// data file, the interface key's port values, and the channel-API file
// registered with the stand-in.
//
//   SpoolerWorld spooler(world);
//   ChannelApiStandIn api(world, spooler);
//   for (const std::string& path : SeatSpoolerPrinters(world, spooler, api)) ...
#include <string>
#include <vector>

#include "sim/host/channel_api_standin.h"
#include "sim/host/spooler_world.h"
#include "sim/world.h"

namespace nolpa::sim {

// The key under HKEY_LOCAL_MACHINE that holds a driver's "ZQAPI32".
inline constexpr char kChannelApiDriverKey[] = "Software\\VARDU\\QTR7\\Driver\\";
// The data file's sections holding "ZQAPII" and "ZQAPINAME".
inline constexpr char kDriverInfoSection[] = "User Mode Printer Driver Information";
inline constexpr char kUtilitySection[] = "Utility";

// Seats every printer-class printer of `world` that has a seat. A driver
// named by several seats is added once, as the first of them describes it.
// Returns the full paths of the channel-API files installed, in the
// printers' order, each once.
std::vector<std::string> SeatSpoolerPrinters(World& world, SpoolerWorld& spooler,
                                             ChannelApiStandIn& api);

}  // namespace nolpa::sim
