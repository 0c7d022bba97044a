#pragma once
// Loadable modules: a library file loaded by its path and its exports bound
// by name. Real implementation: LoadLibraryExW or LoadLibraryExA,
// GetProcAddress, FreeLibrary; which text the path is in, and where the
// library's own imports are looked for, belongs to the loader the caller was
// given (platform/win32/win32_modules.h).
#include <cstdint>
#include <string>

namespace nolpa::platform {

// Opaque module handle (an HMODULE); 0 when no module is loaded.
using ModuleHandle = std::uintptr_t;

// An exported function as found; the caller casts it to the export's own
// function-pointer type.
using ExportedFunction = void (*)();

class Modules {
 public:
  virtual ~Modules() = default;

  // Loads the file at the full path `path`. Returns 0 when the file is
  // missing or not a library this system can load (an import it needs
  // missing among the folders it may come from included).
  virtual ModuleHandle Load(const std::string& path) = 0;

  // GetProcAddress(module, name): the export `name` of a loaded module, or
  // null when it has none. Valid until the module is freed.
  virtual ExportedFunction Export(ModuleHandle module, const char* name) = 0;

  // FreeLibrary. Each successful Load is freed exactly once.
  virtual void Free(ModuleHandle module) = 0;
};

}  // namespace nolpa::platform
