#pragma once
// The real service control manager (OpenSCManagerA, OpenServiceA,
// QueryServiceStatus, ControlService, StartServiceA, CloseServiceHandle).
#include "platform/service_manager.h"

namespace nolpa::platform::win32 {

class Win32ServiceManager final : public ServiceManager {
 public:
  ServiceHandle OpenManager(std::uint32_t access) override;
  ServiceHandle OpenServiceNamed(ServiceHandle manager, const std::string& name,
                                 std::uint32_t access) override;
  bool QueryState(ServiceHandle service, std::uint32_t* state) override;
  bool SendControl(ServiceHandle service, std::uint32_t control) override;
  bool Start(ServiceHandle service) override;
  bool Close(ServiceHandle handle) override;
};

}  // namespace nolpa::platform::win32
