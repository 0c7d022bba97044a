#pragma once
// The real module loader: LoadLibraryExW or LoadLibraryExA, GetProcAddress,
// FreeLibrary. Two kinds of library are loaded, each from a full path, and
// each keeps the libraries it imports to the folders it should take them
// from: never the program's own folder or the current one, where a file
// planted under a system library's name would run in this elevated process.
#include "platform/modules.h"

namespace nolpa::platform::win32 {

class Win32Modules final : public Modules {
 public:
  enum class Kind {
    // The serial-number library the program writes out: a UTF-8 path (the
    // temporary folder may be named in any script); its imports come from
    // the system folder only.
    ProgramLibrary,
    // A printer driver's channel API, named by the spooler's settings: a
    // path in the ANSI code page; its companion libraries come from its own
    // folder first, then the system folder.
    DriverCompanion,
  };
  explicit Win32Modules(Kind kind) : kind_(kind) {}

  ModuleHandle Load(const std::string& path) override;
  ExportedFunction Export(ModuleHandle module, const char* name) override;
  void Free(ModuleHandle module) override;

 private:
  Kind kind_;
};

}  // namespace nolpa::platform::win32
