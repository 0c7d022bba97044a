#pragma once
// A simulated service control manager with the "spooler" service: services
// whose state moves with the clock the manager is given, scripted by a test
// (the states a service reports after a stop or start, requests it refuses,
// queries that fail, access it denies). It counts the handles it hands out,
// records every call in order and notes misuse of its protocol as departures.
//
//   VirtualClock clock;
//   ServiceManager services(clock);
//   services.Spooler().stopScripts.push_back({{ServiceState::StopPending, 0}});
//   platform::Platform p{.clock = &clock, ..., .serviceManager = &services};
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/service_manager.h"
#include "sim/core/departures.h"

namespace nolpa::sim {

namespace departure {
// A handle closed already, or closed twice.
inline constexpr char kServiceHandleClosed[] = "service handle used after close";
// A handle the manager never handed out (NULL included).
inline constexpr char kServiceHandleUnknown[] = "unknown service handle";
// A manager handle where a service handle belongs, or the other way round.
inline constexpr char kServiceHandleKind[] = "wrong kind of service handle";
// The manager handle closed while a service opened through it is still open.
inline constexpr char kManagerClosedFirst[] = "manager closed before its service";
// Access asked for other than the program needs: GENERIC_EXECUTE on the
// manager, query status, start and stop on the service.
inline constexpr char kServiceAccess[] = "service access other than needed";
// A control other than stop.
inline constexpr char kServiceControl[] = "service control other than stop";
// A handle still open when the manager goes away.
inline constexpr char kServiceHandleLeaked[] = "service handle left open";
}  // namespace departure

// ERROR_DEPENDENT_SERVICES_RUNNING: a stop refused because a running service
// depends on this one (on Windows 10 and 11 the fax service depends on the
// spooler).
inline constexpr std::uint32_t kDependentServicesRunning = 1051;

// dwCurrentState values; the simulator's own copy.
enum class ServiceState : std::uint32_t {
  Stopped = 1,
  StartPending = 2,
  StopPending = 3,
  Running = 4,
  ContinuePending = 5,
  PausePending = 6,
  Paused = 7,
};

// From `afterMs` after an accepted request on, the service reports `state`.
struct ServiceStep {
  ServiceState state;
  std::uint64_t afterMs;
};
using ServiceScript = std::vector<ServiceStep>;

// Calls of one kind that fail, counted per service from 0: the call numbered
// `from` and every later one. -1: none fails.
struct FailFrom {
  int from = -1;
  bool Hits(int call) const { return from >= 0 && call >= from; }
};

class SimService {
 public:
  SimService(std::string name, ServiceState state, platform::Clock& clock);

  const std::string& Name() const { return name_; }
  // What the service reports now: its script moved on by the clock.
  ServiceState State() const;
  // Puts the service in `state` at once, dropping a script in progress.
  void SetState(ServiceState state);

  // The script each accepted stop (start) follows, taken in order; once
  // these are used up, the default one.
  std::deque<ServiceScript> stopScripts;
  std::deque<ServiceScript> startScripts;
  ServiceScript defaultStop{{ServiceState::StopPending, 0}, {ServiceState::Stopped, 1500}};
  ServiceScript defaultStart{{ServiceState::StartPending, 0}, {ServiceState::Running, 1500}};

  // The services this one needs: while this one runs, a stop of any of them
  // is refused with kDependentServicesRunning.
  std::vector<std::string> dependsOn;

  // Faults: OpenService refuses every access; queries, stop controls or
  // starts that fail (ERROR_ACCESS_DENIED and the like).
  bool denyOpen = false;
  FailFrom failQuery;
  FailFrom refuseStop;
  FailFrom refuseStart;

  // Calls received so far, refused ones included.
  int Queries() const { return queries_; }
  int StopControls() const { return stops_; }
  int Starts() const { return starts_; }

 private:
  friend class ServiceManager;
  bool Query(ServiceState* state);
  // `dependentsRunning`: a service that depends on this one runs.
  bool Stop(bool dependentsRunning);
  bool Begin();
  void Follow(std::deque<ServiceScript>& scripts, const ServiceScript& fallback);

  std::string name_;
  platform::Clock& clock_;
  ServiceState settled_;
  ServiceScript script_;  // empty once nothing is moving
  std::uint64_t scriptStartMs_ = 0;
  int queries_ = 0;
  int stops_ = 0;
  int starts_ = 0;
};

enum class ServiceCallKind {
  OpenManager,
  OpenService,
  QueryStatus,
  Control,
  Start,
  CloseService,
  CloseManager,
  CloseUnknown,
};

struct ServiceCall {
  ServiceCallKind kind;
  std::uint64_t timeMs = 0;
  platform::ServiceHandle handle = platform::kNoServiceHandle;  // given or returned
  std::uint32_t value = 0;  // access asked for, control code, or state reported
  bool ok = false;
  std::uint32_t error = 0;  // a refusal's system error, where the simulator names one
};

class ServiceManager final : public platform::ServiceManager {
 public:
  // Notes departures in `departures` when given (it must outlive the
  // manager), else in a log of its own. Starts with "spooler" running.
  explicit ServiceManager(platform::Clock& clock, DepartureLog* departures = nullptr);
  // Notes every handle still open.
  ~ServiceManager() override;
  ServiceManager(const ServiceManager&) = delete;
  ServiceManager& operator=(const ServiceManager&) = delete;

  SimService& Spooler() { return Service("spooler"); }
  // Throws std::out_of_range for a name never added (compared exactly).
  SimService& Service(std::string_view name);
  SimService& AddService(std::string name, ServiceState state);

  // OpenSCManager refuses every access.
  bool denyManager = false;

  DepartureLog& Departures() { return *departures_; }
  const std::vector<ServiceCall>& Calls() const { return calls_; }
  std::size_t Count(ServiceCallKind kind) const;
  // Handles handed out and not closed: 0 after a clean action.
  std::size_t OpenHandles() const;
  std::size_t HandlesOpenedTotal() const { return handles_.size(); }

  // platform::ServiceManager
  platform::ServiceHandle OpenManager(std::uint32_t access) override;
  platform::ServiceHandle OpenServiceNamed(platform::ServiceHandle manager, const std::string& name,
                                           std::uint32_t access) override;
  bool QueryState(platform::ServiceHandle service, std::uint32_t* state) override;
  bool SendControl(platform::ServiceHandle service, std::uint32_t control) override;
  bool Start(platform::ServiceHandle service) override;
  bool Close(platform::ServiceHandle value) override;

 private:
  struct Handle {
    SimService* service = nullptr;  // null for a manager handle
    platform::ServiceHandle manager = platform::kNoServiceHandle;
    std::uint32_t access = 0;
    bool open = true;
  };

  // The open handle of the wanted kind, or null after noting why not.
  Handle* Live(platform::ServiceHandle handle, bool wantService);
  // True when a running service lists `service` among those it depends on.
  bool DependentsRunning(const SimService& service) const;
  void Note(std::string_view kind, std::string detail);
  void Record(ServiceCallKind kind, platform::ServiceHandle handle, std::uint32_t value, bool ok);
  platform::ServiceHandle Hand(Handle handle);

  platform::Clock& clock_;
  std::unique_ptr<DepartureLog> ownLog_;  // before departures_, which may point into it
  DepartureLog* departures_;
  std::vector<std::unique_ptr<SimService>> services_;
  std::map<platform::ServiceHandle, Handle> handles_;
  platform::ServiceHandle nextHandle_ = 0x2000;
  std::vector<ServiceCall> calls_;
};

}  // namespace nolpa::sim
