#include "sim/core/faults.h"

#include <algorithm>

namespace nolpa::sim {
namespace {

struct KindName {
  RequestKind kind;
  const char* name;
};
constexpr KindName kKindNames[] = {
    {RequestKind::Open, "open"},       {RequestKind::Close, "close"},
    {RequestKind::Read, "read"},       {RequestKind::Write, "write"},
    {RequestKind::IoControl, "ioctl"}, {RequestKind::SetTimeouts, "set-timeouts"},
};

// Counts one matching request; true when the entry fires on it.
bool CountAndFire(std::uint32_t nth, std::uint32_t& seen) {
  ++seen;
  return nth == 0 || seen == nth;
}

}  // namespace

const char* RequestKindName(RequestKind kind) {
  for (const auto& k : kKindNames)
    if (k.kind == kind) return k.name;
  return "?";
}

std::optional<RequestKind> RequestKindFromName(std::string_view name) {
  for (const auto& k : kKindNames)
    if (name == k.name) return k.kind;
  return std::nullopt;
}

const IoctlFault* NextIoctlFault(FaultSet& faults, std::uint32_t code) {
  const IoctlFault* firing = nullptr;
  for (auto& f : faults.ioctl) {
    if (f.code != code) continue;
    if (CountAndFire(f.nth, f.seen) && firing == nullptr) firing = &f;
  }
  return firing;
}

std::uint32_t BytesTaken(FaultSet& faults, std::uint32_t size) {
  std::uint32_t taken = size;
  for (auto& f : faults.writes)
    if (CountAndFire(f.nth, f.seen)) taken = std::min(taken, f.take);
  return taken;
}

bool NotReadyDue(FaultSet& faults, std::uint64_t nowMs) {
  if (!faults.suspend) return false;
  SuspendFault& s = *faults.suspend;
  const bool asleep = !s.lastRequestMs || nowMs - *s.lastRequestMs >= s.idleMs;
  s.lastRequestMs = nowMs;
  return asleep;
}

bool UnplugDue(FaultSet& faults, RequestKind kind, std::uint32_t code) {
  if (!faults.unplug || kind == RequestKind::Close) return false;
  UnplugFault& u = *faults.unplug;
  if (u.kind && *u.kind != kind) return false;
  if (u.code && (kind != RequestKind::IoControl || *u.code != code)) return false;
  return ++u.seen == u.after;
}

}  // namespace nolpa::sim
