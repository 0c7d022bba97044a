#pragma once
// The service control manager of the local machine: opening it and a service,
// asking a service's state, stopping and starting it.
// Real implementation: OpenSCManagerA / OpenServiceA / QueryServiceStatus /
// ControlService / StartServiceA / CloseServiceHandle, one call each. The
// simulator (sim/host/service_manager.h) implements the same contract.
#include <cstdint>
#include <string>

namespace nolpa::platform {

// Opaque handle to the manager or to a service; the numeric value of an
// SC_HANDLE. A failed open gives kNoServiceHandle (NULL).
using ServiceHandle = std::uintptr_t;
inline constexpr ServiceHandle kNoServiceHandle = 0;

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;

  // OpenSCManagerA on the local machine's default database with `access`.
  // kNoServiceHandle when the manager cannot be reached or refuses the access.
  virtual ServiceHandle OpenManager(std::uint32_t access) = 0;

  // OpenServiceA: the service `name` (case-insensitive, as Windows compares
  // service names) through an open manager handle, with `access`.
  // kNoServiceHandle when there is no such service or the access is refused.
  virtual ServiceHandle OpenServiceNamed(ServiceHandle manager, const std::string& name,
                                         std::uint32_t access) = 0;

  // QueryServiceStatus. On success `*state` receives dwCurrentState
  // (1 stopped, 2 start pending, 3 stop pending, 4 running, 5 to 7 the
  // continue/pause states); on failure `*state` is left alone.
  virtual bool QueryState(ServiceHandle service, std::uint32_t* state) = 0;

  // ControlService with the control code (1 = stop). True when the service
  // accepted it; the status it reports back is not kept.
  virtual bool SendControl(ServiceHandle service, std::uint32_t control) = 0;

  // StartServiceA with no arguments. True when the start was accepted (the
  // service may still be starting when this returns).
  virtual bool Start(ServiceHandle service) = 0;

  // CloseServiceHandle, for service and manager handles alike. Close a
  // service's handle before the handle of the manager it was opened through.
  virtual bool Close(ServiceHandle handle) = 0;
};

// Owns one manager or service handle and closes it on every way out. Declare
// the service's owner after the manager's, so the service closes first.
class ScopedServiceHandle {
 public:
  ScopedServiceHandle(ServiceManager& manager, ServiceHandle handle)
      : manager_(manager), handle_(handle) {}
  ~ScopedServiceHandle() {
    if (Valid()) manager_.Close(handle_);
  }
  ScopedServiceHandle(const ScopedServiceHandle&) = delete;
  ScopedServiceHandle& operator=(const ScopedServiceHandle&) = delete;

  ServiceHandle Get() const { return handle_; }
  bool Valid() const { return handle_ != kNoServiceHandle; }

 private:
  ServiceManager& manager_;
  ServiceHandle handle_;
};

}  // namespace nolpa::platform
