// Morvalib-sim.dll: the export through which NOLPAID-sim.exe hands over its
// simulated world.
#include "serial_library/morvalib_sim.h"

extern "C" int MORVALIB_CALL
AttachSimulatedWorld(const nolpa::morvalib::LibraryServices* services) {
  if (services == nullptr || !nolpa::morvalib::InstallServices(*services))
    return MORVALIB_E_ARGUMENT;
  return MORVALIB_OK;
}
