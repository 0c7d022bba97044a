#pragma once
// Comparing texts the way the user's locale does.
#include <string>

namespace nolpa::platform {

class TextCompare {
 public:
  virtual ~TextCompare() = default;

  // CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE) over the whole of
  // both byte strings (ANSI code page), lengths given: true when it reports
  // CSTR_EQUAL. A failed call counts as not equal.
  virtual bool EqualIgnoringCase(const std::string& a, const std::string& b) = 0;
};

}  // namespace nolpa::platform
