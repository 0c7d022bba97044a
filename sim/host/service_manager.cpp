#include "sim/host/service_manager.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace nolpa::sim {
namespace {

// Access rights; the simulator's own copies.
constexpr std::uint32_t kGenericExecute = 0x20000000;
constexpr std::uint32_t kGenericRead = 0x80000000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kManagerConnect = 0x0001;
constexpr std::uint32_t kQueryStatus = 0x0004;
constexpr std::uint32_t kStartRight = 0x0010;
constexpr std::uint32_t kStopRight = 0x0020;
// What the program needs, and nothing more.
constexpr std::uint32_t kNeededManagerAccess = kGenericExecute;
constexpr std::uint32_t kNeededServiceAccess = kQueryStatus | kStartRight | kStopRight;
// Each of these includes the right to connect, which OpenService needs.
constexpr std::uint32_t kConnectingAccess =
    kGenericExecute | kGenericRead | kGenericAll | kManagerConnect;
constexpr std::uint32_t kControlStop = 1;

constexpr char kDeviceName[] = "service manager";

std::string Hex(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  return "0x" + text;
}

// Service names compare without regard to case, as the real manager does.
bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

SimService::SimService(std::string name, ServiceState state, platform::Clock& clock)
    : name_(std::move(name)), clock_(clock), settled_(state) {}

ServiceState SimService::State() const {
  ServiceState state = settled_;
  const std::uint64_t since = clock_.NowMs() - scriptStartMs_;
  for (const ServiceStep& step : script_)
    if (step.afterMs <= since) state = step.state;
  return state;
}

void SimService::SetState(ServiceState state) {
  settled_ = state;
  script_.clear();
}

void SimService::Follow(std::deque<ServiceScript>& scripts, const ServiceScript& fallback) {
  settled_ = State();
  if (scripts.empty()) {
    script_ = fallback;
  } else {
    script_ = std::move(scripts.front());
    scripts.pop_front();
  }
  scriptStartMs_ = clock_.NowMs();
}

bool SimService::Query(ServiceState* state) {
  if (failQuery.Hits(queries_++)) return false;
  *state = State();
  return true;
}

// The real manager refuses a stop to a service that is not running
// (ERROR_SERVICE_NOT_ACTIVE, or cannot accept the control while pending).
bool SimService::Stop(bool dependentsRunning) {
  if (refuseStop.Hits(stops_++) || dependentsRunning || State() != ServiceState::Running)
    return false;
  Follow(stopScripts, defaultStop);
  return true;
}

// ERROR_SERVICE_ALREADY_RUNNING for anything but a stopped service.
bool SimService::Begin() {
  if (refuseStart.Hits(starts_++) || State() != ServiceState::Stopped) return false;
  Follow(startScripts, defaultStart);
  return true;
}

ServiceManager::ServiceManager(platform::Clock& clock, DepartureLog* departures)
    : clock_(clock),
      ownLog_(departures == nullptr ? std::make_unique<DepartureLog>() : nullptr),
      departures_(departures == nullptr ? ownLog_.get() : departures) {
  AddService("spooler", ServiceState::Running);
}

ServiceManager::~ServiceManager() {
  for (const auto& [value, handle] : handles_)
    if (handle.open)
      Note(departure::kServiceHandleLeaked,
           (handle.service == nullptr ? "manager " : handle.service->Name() + " ") + Hex(value));
}

SimService& ServiceManager::Service(std::string_view name) {
  for (const auto& service : services_)
    if (service->Name() == name) return *service;
  throw std::out_of_range("no simulated service " + std::string(name));
}

SimService& ServiceManager::AddService(std::string name, ServiceState state) {
  services_.push_back(std::make_unique<SimService>(std::move(name), state, clock_));
  return *services_.back();
}

std::size_t ServiceManager::Count(ServiceCallKind kind) const {
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [kind](const ServiceCall& c) { return c.kind == kind; }));
}

std::size_t ServiceManager::OpenHandles() const {
  return static_cast<std::size_t>(std::count_if(
      handles_.begin(), handles_.end(), [](const auto& entry) { return entry.second.open; }));
}

void ServiceManager::Note(std::string_view kind, std::string detail) {
  departures_->Note({clock_.NowMs(), kDeviceName, std::string(kind), std::move(detail)});
}

void ServiceManager::Record(ServiceCallKind kind, platform::ServiceHandle handle,
                            std::uint32_t value, bool ok) {
  calls_.push_back({kind, clock_.NowMs(), handle, value, ok});
}

platform::ServiceHandle ServiceManager::Hand(Handle handle) {
  // Never reused, so a stale handle is always recognised.
  const platform::ServiceHandle value = nextHandle_;
  nextHandle_ += 8;
  handles_[value] = handle;
  return value;
}

ServiceManager::Handle* ServiceManager::Live(platform::ServiceHandle handle, bool wantService) {
  const auto found = handles_.find(handle);
  if (found == handles_.end()) {
    Note(departure::kServiceHandleUnknown, Hex(handle));
    return nullptr;
  }
  if (!found->second.open) {
    Note(departure::kServiceHandleClosed, Hex(handle));
    return nullptr;
  }
  if ((found->second.service != nullptr) != wantService) {
    Note(departure::kServiceHandleKind,
         Hex(handle) + (wantService ? " is a manager handle" : " is a service handle"));
    return nullptr;
  }
  return &found->second;
}

platform::ServiceHandle ServiceManager::OpenManager(std::uint32_t access) {
  if (access != kNeededManagerAccess) Note(departure::kServiceAccess, "manager " + Hex(access));
  const platform::ServiceHandle handle = denyManager
                                             ? platform::kNoServiceHandle
                                             : Hand({nullptr, platform::kNoServiceHandle, access});
  Record(ServiceCallKind::OpenManager, handle, access, handle != platform::kNoServiceHandle);
  return handle;
}

platform::ServiceHandle ServiceManager::OpenServiceNamed(platform::ServiceHandle manager,
                                                         const std::string& name,
                                                         std::uint32_t access) {
  if (access != kNeededServiceAccess) Note(departure::kServiceAccess, name + " " + Hex(access));
  platform::ServiceHandle handle = platform::kNoServiceHandle;
  const Handle* owner = Live(manager, false);
  if (owner != nullptr && (owner->access & kConnectingAccess) != 0) {
    for (const auto& service : services_)
      if (SameName(service->Name(), name) && !service->denyOpen)
        handle = Hand({service.get(), manager, access});
  }
  Record(ServiceCallKind::OpenService, handle, access, handle != platform::kNoServiceHandle);
  return handle;
}

bool ServiceManager::QueryState(platform::ServiceHandle service, std::uint32_t* state) {
  Handle* handle = Live(service, true);
  ServiceState now{};
  const bool ok =
      handle != nullptr && (handle->access & kQueryStatus) != 0 && handle->service->Query(&now);
  if (ok) *state = static_cast<std::uint32_t>(now);
  Record(ServiceCallKind::QueryStatus, service, ok ? static_cast<std::uint32_t>(now) : 0, ok);
  return ok;
}

bool ServiceManager::DependentsRunning(const SimService& service) const {
  return std::any_of(services_.begin(), services_.end(), [&service](const auto& other) {
    return other->State() == ServiceState::Running &&
           std::any_of(
               other->dependsOn.begin(), other->dependsOn.end(),
               [&service](const std::string& name) { return SameName(name, service.Name()); });
  });
}

bool ServiceManager::SendControl(platform::ServiceHandle service, std::uint32_t control) {
  Handle* handle = Live(service, true);
  if (control != kControlStop) Note(departure::kServiceControl, Hex(control));
  const bool allowed =
      handle != nullptr && control == kControlStop && (handle->access & kStopRight) != 0;
  const bool blocked = allowed && DependentsRunning(*handle->service);
  const bool ok = allowed && handle->service->Stop(blocked);
  Record(ServiceCallKind::Control, service, control, ok);
  if (blocked) calls_.back().error = kDependentServicesRunning;
  return ok;
}

bool ServiceManager::Start(platform::ServiceHandle service) {
  Handle* handle = Live(service, true);
  const bool ok =
      handle != nullptr && (handle->access & kStartRight) != 0 && handle->service->Begin();
  Record(ServiceCallKind::Start, service, 0, ok);
  return ok;
}

bool ServiceManager::Close(platform::ServiceHandle value) {
  const auto found = handles_.find(value);
  if (found == handles_.end() || !found->second.open) {
    Note(found == handles_.end() ? departure::kServiceHandleUnknown
                                 : departure::kServiceHandleClosed,
         Hex(value));
    Record(ServiceCallKind::CloseUnknown, value, 0, false);
    return false;
  }
  Handle& handle = found->second;
  const bool isManager = handle.service == nullptr;
  if (isManager)
    for (const auto& [other, entry] : handles_)
      if (entry.open && entry.manager == value)
        Note(departure::kManagerClosedFirst, Hex(value) + " before " + Hex(other));
  handle.open = false;
  Record(isManager ? ServiceCallKind::CloseManager : ServiceCallKind::CloseService, value, 0, true);
  return true;
}

}  // namespace nolpa::sim
