#include "app/console/win32/console_flavour.h"

namespace nolpa::app::console {

const bool kSimulatorFlavour = false;

void UseStateFile(const std::string&) {}

}  // namespace nolpa::app::console
