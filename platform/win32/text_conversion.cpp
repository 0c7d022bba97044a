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

bool Utf8ToWideStrictly(const std::string& text, std::wstring* wide) {
  std::wstring converted = ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, text);
  if (converted.empty() && !text.empty()) return false;
  *wide = std::move(converted);
  return true;
}

bool WideToAnsiExactly(const std::wstring& text, std::string* ansi) {
  if (text.empty()) {
    ansi->clear();
    return true;
  }
  // A system whose ANSI code page is UTF-8 holds every character; the
  // conversion takes neither of the flags below for it.
  if (GetACP() == CP_UTF8) {
    *ansi = WideToUtf8(text);
    return true;
  }
  const int size = static_cast<int>(text.size());
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                         0, nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return false;
  std::string narrow(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, narrow.data(), length,
                          nullptr, &usedDefault) != length ||
      usedDefault)
    return false;
  // What comes back must be what went in: no look-alike slipped through.
  if (AnsiToWide(narrow) != text) return false;
  *ansi = std::move(narrow);
  return true;
}

}  // namespace nolpa::platform::win32
