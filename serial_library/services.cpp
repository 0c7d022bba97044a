#include "serial_library/services.h"

namespace nolpa::morvalib {

namespace {
LibraryServices installed{};
}  // namespace

bool IsComplete(const LibraryServices& services) {
  return services.structSize == sizeof(LibraryServices) && services.files != nullptr &&
         services.clock != nullptr;
}

bool HasChannelApiServices(const LibraryServices& services) {
  return IsComplete(services) && services.spooler != nullptr && services.registry != nullptr &&
         services.interfaces != nullptr && services.system != nullptr &&
         services.modules != nullptr;
}

bool InstallServices(const LibraryServices& services) {
  if (!IsComplete(services)) return false;
  installed = services;
  return true;
}

void RemoveServices() { installed = LibraryServices{}; }

const LibraryServices& Services() { return installed; }

}  // namespace nolpa::morvalib
