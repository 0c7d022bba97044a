#pragma once
// The real device-interface enumeration: SetupAPI of the system folder
// (system_libraries.h).
#include "platform/device_interfaces.h"

namespace nolpa::platform::win32 {

class Win32DeviceInterfaces final : public DeviceInterfaces {
 public:
  InterfaceSet OpenSet(const Guid& interfaceClass) override;
  bool InterfacePath(InterfaceSet set, const Guid& interfaceClass, std::uint32_t index,
                     std::string* path) override;
  bool HasInterface(InterfaceSet set, const Guid& interfaceClass, std::uint32_t index) override;
  void CloseSet(InterfaceSet set) override;
};

}  // namespace nolpa::platform::win32
