#pragma once
// The real system facts: GetUserDefaultLangID and GetVersionExA.
#include "platform/system_info.h"

namespace nolpa::platform::win32 {

class Win32SystemInfo final : public SystemInfo {
 public:
  std::uint16_t UserDefaultLangId() override;
  std::uint32_t MajorVersion() override;
};

}  // namespace nolpa::platform::win32
