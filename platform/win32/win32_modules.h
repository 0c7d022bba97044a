#pragma once
// The real module loader: LoadLibraryA, GetProcAddress, FreeLibrary.
#include "platform/modules.h"

namespace nolpa::platform::win32 {

class Win32Modules final : public Modules {
 public:
  ModuleHandle Load(const std::string& path) override;
  ExportedFunction Export(ModuleHandle module, const char* name) override;
  void Free(ModuleHandle module) override;
};

}  // namespace nolpa::platform::win32
