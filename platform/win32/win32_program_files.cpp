#include "platform/win32/win32_program_files.h"

#include <windows.h>

#include "platform/win32/text_conversion.h"

namespace nolpa::platform::win32 {

namespace {
// The value buffer of an INI read, NUL included.
constexpr DWORD kIniValueSize = 2048;
// The longest path of the system's wide calls, NUL included.
constexpr DWORD kLongestPath = 32768;
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
  // Long enough for any path the system gives a module.
  std::wstring path(kLongestPath, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), kLongestPath);
  if (length == 0 || length >= kLongestPath) return {};
  return WideToUtf8(path.substr(0, length));
}

std::string Win32ProgramFiles::IniString(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& fallback) {
  wchar_t value[kIniValueSize];
  const DWORD length = GetPrivateProfileStringW(
      AnsiToWide(section).c_str(), AnsiToWide(key).c_str(), AnsiToWide(fallback).c_str(), value,
      kIniValueSize, Utf8ToWide(file).c_str());
  std::string text = WideToAnsi(std::wstring(value, length));
  // A value in a double-byte code page may come to more bytes than characters.
  if (text.size() > kIniValueSize - 1) text.resize(kIniValueSize - 1);
  return text;
}

}  // namespace nolpa::platform::win32
