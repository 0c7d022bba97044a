#pragma once
// Fleet files: a world's devices, their identities and faults as JSON (the
// format is described in sim/FLEET.md). Loading a fleet and writing it back
// gives a file that loads to the same answers.
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "sim/world.h"

namespace nolpa::sim {

// A fleet text that is not valid JSON or not a valid fleet; the message
// names the device and field at fault.
class FleetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Adds the devices `fleetJson` describes to `world`. Throws FleetError; the
// devices added before the fault stay.
void LoadFleet(World& world, std::string_view fleetJson);

// A new world holding the fleet. Throws FleetError.
std::unique_ptr<World> WorldFromFleet(std::string_view fleetJson, platform::Clock& clock);

// The world's devices as a fleet text, with what they store now (the
// identifiers the program wrote included) and their faults. Pending reply
// bytes, counters of counted faults and the recorder are not part of it.
std::string FleetToJson(World& world);

// Takes in what another writer of the same fleet file stored: for each
// device of `fleetJson` that `world` has under the same name and kind, its
// identifiers, board memory and serial number replace the world's. Devices,
// faults and everything else stay. Throws FleetError.
void ApplyStoredState(World& world, std::string_view fleetJson);

// The built-in fleet: one printer of each kind the program knows.
std::string_view DefaultFleetJson();

}  // namespace nolpa::sim
