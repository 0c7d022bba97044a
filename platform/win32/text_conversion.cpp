#include "platform/win32/text_conversion.h"

#include <windows.h>

namespace nolpa::platform::win32 {

namespace {

// MultiByteToWideChar into a string; empty when the bytes are refused.
std::wstring ToWide(unsigned codePage, DWORD flags, const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), size, wide.data(), length);
  return wide;
}

std::string ToNarrow(unsigned codePage, const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring wide = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, text);
  if (wide.empty() && !text.empty()) wide = ToWide(CP_ACP, 0, text);
  return wide;
}

std::wstring AnsiToWide(const std::string& text) { return ToWide(CP_ACP, 0, text); }

std::string WideToAnsi(const std::wstring& text) { return ToNarrow(CP_ACP, text); }

std::string WideToUtf8(const std::wstring& text) { return ToNarrow(CP_UTF8, text); }

}  // namespace nolpa::platform::win32
