#include "ident/spooler_control.h"

#include <cstdint>

namespace nolpa::ident {
namespace {

using platform::ServiceHandle;
using platform::ServiceManager;

// Service states (dwCurrentState).
constexpr std::uint32_t kStopped = 1;
constexpr std::uint32_t kStartPending = 2;
constexpr std::uint32_t kStopPending = 3;
constexpr std::uint32_t kRunning = 4;

constexpr char kSpoolerService[] = "spooler";
constexpr std::uint32_t kManagerAccess = 0x20000000;  // GENERIC_EXECUTE
// SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP
constexpr std::uint32_t kServiceAccess = 0x04 | 0x10 | 0x20;
constexpr std::uint32_t kControlStop = 1;  // SERVICE_CONTROL_STOP

// The wait ends at the first poll after more than this many whole seconds.
constexpr std::uint64_t kTimeLimitSeconds = 20;
constexpr std::uint32_t kPollIntervalMs = 500;

bool RequestStop(ServiceManager& services, ServiceHandle service) {
  return services.SendControl(service, kControlStop);
}

bool RequestStart(ServiceManager& services, ServiceHandle service) {
  return services.Start(service);
}

// One way the service is moved: the state a request is sent from, the state
// it passes through and the state it ends in.
struct Transition {
  std::uint32_t from;
  std::uint32_t pending;
  std::uint32_t target;
  bool (*request)(ServiceManager&, ServiceHandle);
};

// Indexed by mode.
constexpr Transition kTransitions[] = {
    {kStopped, kStartPending, kRunning, RequestStart},  // kSpoolerRun
    {kRunning, kStopPending, kStopped, RequestStop},    // kSpoolerStop
};

// Polls until the service reaches the target. A service that falls back to
// the state the request meant to leave is sent the request again.
bool WaitForTarget(platform::Clock& clock, ServiceManager& services, ServiceHandle service,
                   const Transition& move) {
  const std::uint64_t requestedAt = clock.NowSeconds();
  std::uint32_t state = 0;
  while (services.QueryState(service, &state)) {
    if (state == move.target) return true;
    if (state == move.from) {
      if (!move.request(services, service)) return false;
    } else if (state != move.pending) {
      return false;
    }
    if (clock.NowSeconds() - requestedAt > kTimeLimitSeconds) return false;
    clock.SleepMs(kPollIntervalMs);
  }
  return false;
}

}  // namespace

int ControlSpooler(const platform::Platform& platform, int mode) {
  if (mode != kSpoolerRun && mode != kSpoolerStop) return 0;
  if (platform.serviceManager == nullptr || platform.clock == nullptr) return 0;
  ServiceManager& services = *platform.serviceManager;
  const Transition& move = kTransitions[mode];

  // Declared in this order so the service handle is closed before the manager's.
  const platform::ScopedServiceHandle manager(services, services.OpenManager(kManagerAccess));
  if (!manager.Valid()) return 0;
  const platform::ScopedServiceHandle service(
      services, services.OpenServiceNamed(manager.Get(), kSpoolerService, kServiceAccess));
  if (!service.Valid()) return 0;

  std::uint32_t state = 0;
  if (!services.QueryState(service.Get(), &state)) return 0;
  if (state == move.target) return 1;
  // Pending and paused states are left alone: someone else is moving the service.
  if (state != move.from) return 0;
  if (!move.request(services, service.Get())) return 0;
  return WaitForTarget(*platform.clock, services, service.Get(), move) ? 1 : 0;
}

}  // namespace nolpa::ident
