#pragma once
// The real registry reads: RegOpenKeyExA, SetupDiOpenDeviceInterfaceRegKey,
// RegQueryValueExA, RegCloseKey.
#include "platform/registry.h"

namespace nolpa::platform::win32 {

class Win32Registry final : public Registry {
 public:
  RegistryKey OpenMachineKey(const std::string& subKey, RegistryView view) override;
  RegistryKey OpenInterfaceKey(InterfaceSet set, const Guid& interfaceClass,
                               std::uint32_t index) override;
  std::optional<std::string> ReadString(RegistryKey key, const std::string& name,
                                        std::uint32_t maxBytes) override;
  std::optional<std::uint32_t> ReadDword(RegistryKey key, const std::string& name) override;
  void CloseKey(RegistryKey key) override;
};

}  // namespace nolpa::platform::win32
