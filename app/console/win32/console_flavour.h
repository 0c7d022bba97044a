#pragma once
// Which device world the console companion is linked with: NOLPAIDC.exe
// the real one (flavour_real.cpp), NOLPAIDC-sim.exe the simulated one
// (flavour_sim.cpp), which alone takes --fleet.
#include <string>

namespace nolpa::app::console {

extern const bool kSimulatorFlavour;

// Points the simulated world at the state file `path` before it is opened;
// the real flavour has none and is never asked.
void UseStateFile(const std::string& path);

}  // namespace nolpa::app::console
