#pragma once
// Facts about the running system that the window depends on.
#include <cstdint>

namespace nolpa::platform {

class SystemInfo {
 public:
  virtual ~SystemInfo() = default;

  // GetUserDefaultLangID: the whole 16-bit language identifier.
  virtual std::uint16_t UserDefaultLangId() = 0;

  // dwMajorVersion from GetVersionExA with the structure size set to 148.
  // 0 when the call fails.
  virtual std::uint32_t MajorVersion() = 0;
};

}  // namespace nolpa::platform
