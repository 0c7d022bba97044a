#pragma once
// Reading the registry: keys under HKEY_LOCAL_MACHINE, and the registry key
// of a device interface found through DeviceInterfaces. Nothing is written.
// Real implementation: RegOpenKeyExA, SetupDiEnumDeviceInterfaces with
// SetupDiOpenDeviceInterfaceRegKey, RegQueryValueExA, RegCloseKey.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/device_interfaces.h"

namespace nolpa::platform {

// Which view of HKEY_LOCAL_MACHINE\Software a key is opened in. On 64-bit
// Windows a 32-bit process reads the 32-bit view (Software\Wow6432Node)
// unless it asks for the 64-bit one; keys outside Software are shared, and
// 32-bit Windows has one view only.
enum class RegistryView {
  Own,     // the process's own view: KEY_READ alone
  Bits64,  // KEY_READ | KEY_WOW64_64KEY
};

// Opaque handle of an open key (an HKEY); kNoRegistryKey when none.
using RegistryKey = std::uintptr_t;
inline constexpr RegistryKey kNoRegistryKey = 0;

class Registry {
 public:
  virtual ~Registry() = default;

  // RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ), in `view`.
  // kNoRegistryKey when the key is missing or may not be read. Every key
  // opened must be closed with CloseKey.
  virtual RegistryKey OpenMachineKey(const std::string& subKey, RegistryView view) = 0;

  // The registry key of interface number `index` of `interfaceClass` in
  // `set` (a set from DeviceInterfaces::OpenSet): SetupDiEnumDeviceInterfaces
  // and SetupDiOpenDeviceInterfaceRegKey(KEY_READ). kNoRegistryKey when the
  // interface or its key does not exist.
  virtual RegistryKey OpenInterfaceKey(InterfaceSet set, const Guid& interfaceClass,
                                       std::uint32_t index) = 0;

  // RegQueryValueExA: the string value `name` (REG_SZ), read into a buffer
  // of `maxBytes` bytes, so at most maxBytes - 1 characters. Nothing when
  // the value is missing, is not a string or does not fit.
  virtual std::optional<std::string> ReadString(RegistryKey key, const std::string& name,
                                                std::uint32_t maxBytes) = 0;

  // RegQueryValueExA: the 32-bit value `name` (REG_DWORD). Nothing when it
  // is missing or of another type.
  virtual std::optional<std::uint32_t> ReadDword(RegistryKey key, const std::string& name) = 0;

  // RegCloseKey. Closing kNoRegistryKey does nothing.
  virtual void CloseKey(RegistryKey key) = 0;
};

}  // namespace nolpa::platform
