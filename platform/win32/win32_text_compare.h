#pragma once
// The real locale comparison: CompareStringA.
#include "platform/text_compare.h"

namespace nolpa::platform::win32 {

class Win32TextCompare final : public TextCompare {
 public:
  bool EqualIgnoringCase(const std::string& a, const std::string& b) override;
};

}  // namespace nolpa::platform::win32
