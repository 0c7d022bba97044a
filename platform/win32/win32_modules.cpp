#include "platform/win32/win32_modules.h"

#include <windows.h>

namespace nolpa::platform::win32 {

static_assert(sizeof(ModuleHandle) == sizeof(HMODULE));

ModuleHandle Win32Modules::Load(const std::string& path) {
  return reinterpret_cast<ModuleHandle>(LoadLibraryA(path.c_str()));
}

ExportedFunction Win32Modules::Export(ModuleHandle module, const char* name) {
  return reinterpret_cast<ExportedFunction>(GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

void Win32Modules::Free(ModuleHandle module) {
  if (module == 0) return;
  FreeLibrary(reinterpret_cast<HMODULE>(module));
}

}  // namespace nolpa::platform::win32
