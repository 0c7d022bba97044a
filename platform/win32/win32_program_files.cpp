#include "platform/win32/win32_program_files.h"

#include <windows.h>

namespace nolpa::platform::win32 {

namespace {
// The value buffer of an INI read, NUL included.
constexpr DWORD kIniValueSize = 2048;
}  // namespace

bool Win32ProgramFiles::RcDataResource(const char* name, std::vector<std::uint8_t>* bytes) {
  HRSRC found = FindResourceA(nullptr, name, MAKEINTRESOURCEA(10));
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(nullptr, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return false;
  const auto* first = static_cast<const std::uint8_t*>(data);
  bytes->assign(first, first + SizeofResource(nullptr, found));
  return true;
}

std::string Win32ProgramFiles::ExecutablePath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  return std::string(path, length);
}

std::string Win32ProgramFiles::IniString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& fallback) {
  char value[kIniValueSize];
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(),
                                                value, kIniValueSize, file.c_str());
  return std::string(value, length);
}

}  // namespace nolpa::platform::win32
