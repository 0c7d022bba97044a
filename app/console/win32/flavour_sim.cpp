#include <windows.h>

#include "app/console/win32/console_flavour.h"

namespace nolpa::app::console {

const bool kSimulatorFlavour = true;

// The simulated world (device_world_sim.cpp) takes its state file's name
// from this variable.
void UseStateFile(const std::string& path) {
  SetEnvironmentVariableA("NOLPA_SIM_STATE", path.c_str());
}

}  // namespace nolpa::app::console
