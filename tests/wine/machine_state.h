#pragma once
// What a program leaves on the machine, seen from a test: the work folder
// under the temporary directory and the state of the print spooler.
#include <windows.h>

#include <string>

namespace nolpa::wine_tests {

inline std::string WorkFolder() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  return std::string(temp) + "NOLPAID";
}

inline bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// SERVICE_RUNNING, SERVICE_STOPPED, ...; 0 when it cannot be asked.
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
