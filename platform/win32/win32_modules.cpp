#include "platform/win32/win32_modules.h"

#include <windows.h>

#include "platform/win32/kernel_calls.h"
#include "platform/win32/text_conversion.h"

namespace nolpa::platform::win32 {

namespace {

// LoadLibraryEx flags not declared for the Windows version the headers are
// kept to.
constexpr DWORD kSearchDllLoadDir = 0x00000100;
constexpr DWORD kSearchSystem32 = 0x00000800;

}  // namespace

static_assert(sizeof(ModuleHandle) == sizeof(HMODULE));

ModuleHandle Win32Modules::Load(const std::string& path) {
  const bool searchFlags = LibrarySearchFlagsKnown();
  HMODULE module = nullptr;
  if (kind_ == Kind::ProgramLibrary) {
    // Without the search flags the library's imports are all among the
    // system's known libraries, which are never looked for elsewhere.
    module = LoadLibraryExW(Utf8ToWide(path).c_str(), nullptr, searchFlags ? kSearchSystem32 : 0);
  } else {
    const DWORD flags =
        searchFlags ? kSearchDllLoadDir | kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH;
    module = LoadLibraryExA(path.c_str(), nullptr, flags);
  }
  return reinterpret_cast<ModuleHandle>(module);
}

ExportedFunction Win32Modules::Export(ModuleHandle module, const char* name) {
  return reinterpret_cast<ExportedFunction>(
      GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

void Win32Modules::Free(ModuleHandle module) {
  if (module == 0) return;
  FreeLibrary(reinterpret_cast<HMODULE>(module));
}

}  // namespace nolpa::platform::win32
