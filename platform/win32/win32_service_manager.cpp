#include "platform/win32/win32_service_manager.h"

#include <windows.h>

namespace nolpa::platform::win32 {
namespace {

SC_HANDLE ToHandle(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }
ServiceHandle FromHandle(SC_HANDLE handle) { return reinterpret_cast<ServiceHandle>(handle); }

}  // namespace

ServiceHandle Win32ServiceManager::OpenManager(std::uint32_t access) {
  return FromHandle(OpenSCManagerA(nullptr, nullptr, access));
}

ServiceHandle Win32ServiceManager::OpenServiceNamed(ServiceHandle manager, const std::string& name,
                                                    std::uint32_t access) {
  return FromHandle(OpenServiceA(ToHandle(manager), name.c_str(), access));
}

bool Win32ServiceManager::QueryState(ServiceHandle service, std::uint32_t* state) {
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(ToHandle(service), &status)) return false;
  *state = status.dwCurrentState;
  return true;
}

bool Win32ServiceManager::SendControl(ServiceHandle service, std::uint32_t control) {
  SERVICE_STATUS status{};
  return ControlService(ToHandle(service), control, &status) != FALSE;
}

bool Win32ServiceManager::Start(ServiceHandle service) {
  return StartServiceA(ToHandle(service), 0, nullptr) != FALSE;
}

bool Win32ServiceManager::Close(ServiceHandle handle) {
  return CloseServiceHandle(ToHandle(handle)) != FALSE;
}

}  // namespace nolpa::platform::win32
