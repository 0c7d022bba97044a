#pragma once
// The state of Wine's own spooler service, as another program sees it.
#include <windows.h>

namespace nolpa::wine_tests {

// dwCurrentState of "spooler"; 0 when it cannot be asked.
inline DWORD SpoolerState() {
  SERVICE_STATUS status{};
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = manager ? OpenServiceA(manager, "spooler", SERVICE_QUERY_STATUS) : nullptr;
  if (service == nullptr || !QueryServiceStatus(service, &status)) status.dwCurrentState = 0;
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return status.dwCurrentState;
}

}  // namespace nolpa::wine_tests
