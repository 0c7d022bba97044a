#include <windows.h>

#include "app/console/win32/console_flavour.h"
#include "platform/win32/text_conversion.h"

namespace nolpa::app::console {

const bool kSimulatorFlavour = true;

// The simulated world (device_world_sim.cpp) takes its state file's name
// from this variable; `path` is UTF-8, as the user gave it.
void UseStateFile(const std::string& path) {
  SetEnvironmentVariableW(L"NOLPA_SIM_STATE", platform::win32::Utf8ToWide(path).c_str());
}

}  // namespace nolpa::app::console
