#include "platform/win32/win32_text_compare.h"

#include <windows.h>

namespace nolpa::platform::win32 {

bool Win32TextCompare::EqualIgnoringCase(const std::string& a, const std::string& b) {
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace nolpa::platform::win32
