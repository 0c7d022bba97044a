// Devices and hubs plugged in and unplugged: at once, for a while, or by a
// fleet's events on the world's clock.
#include <algorithm>
#include <stdexcept>

#include "sim/world.h"

namespace nolpa::sim {
namespace {

bool Known(World& world, std::string_view name) {
  return world.FindDevice(name) != nullptr || world.Machine().FindHub(name) != nullptr;
}

std::invalid_argument Unknown(std::string_view name) {
  return std::invalid_argument("no device or hub to plug named \"" + std::string(name) + "\"");
}

}  // namespace

void World::SetPlugged(std::string_view name, bool plugged) {
  std::lock_guard lock(mutex_);
  std::erase_if(returns_, [name](const Return& r) { return r.name == name; });
  if (SimDevice* device = FindDevice(name)) {
    plugged ? device->Plug() : device->Unplug();
    return;
  }
  UsbHubLayout* hub = machine_.FindHub(name);
  if (hub == nullptr) throw Unknown(name);
  if (hub->plugged == plugged) return;
  hub->plugged = plugged;
  if (plugged) ++hub->generation;
  UpdateHubPresence();
}

void World::Unplug(std::string_view name) {
  SetPlugged(name, false);
  if (onStateChanged_) onStateChanged_();
}

void World::Plug(std::string_view name) {
  SetPlugged(name, true);
  if (onStateChanged_) onStateChanged_();
}

void World::UnplugFor(std::string_view name, std::optional<std::uint32_t> requests,
                      std::optional<std::uint32_t> ms) {
  std::lock_guard lock(mutex_);
  SetPlugged(name, false);
  if (!requests && !ms) return;
  Return back{std::string(name), requests, std::nullopt};
  if (ms) back.atMs = clock_.NowMs() + *ms;
  returns_.push_back(std::move(back));
}

bool World::ComingBack(std::string_view name) const {
  return std::any_of(returns_.begin(), returns_.end(),
                     [name](const Return& r) { return r.name == name; });
}

// Counts this request against every return by requests: one that has let
// its count of requests pass comes back before this one is answered.
void World::BringBackDue() {
  if (returns_.empty()) return;
  const std::uint64_t now = clock_.NowMs();
  std::vector<std::string> due;
  for (Return& r : returns_) {
    const bool byTime = r.atMs && *r.atMs <= now;
    const bool byCount = r.requestsLeft && *r.requestsLeft == 0;
    if (byTime || byCount)
      due.push_back(r.name);
    else if (r.requestsLeft)
      --*r.requestsLeft;
  }
  for (const std::string& name : due) SetPlugged(name, true);
}

void World::UpdateHubPresence() {
  std::lock_guard lock(mutex_);
  for (const auto& [name, socket] : machine_.sockets)
    if (SimDevice* device = FindDevice(name))
      device->SetHubsPresent(machine_.HubPresent(socket.hub));
}

void World::AddEvents(const std::vector<PlugEvent>& events) {
  std::lock_guard lock(mutex_);
  for (const PlugEvent& event : events)
    if (!Known(*this, event.name)) throw Unknown(event.name);
  events_.insert(events_.end(), events.begin(), events.end());
  std::stable_sort(events_.begin(), events_.end(),
                   [](const PlugEvent& a, const PlugEvent& b) { return a.atMs < b.atMs; });
}

void World::ApplyDueEvents() {
  const std::uint64_t elapsed = ElapsedMs();
  std::size_t due = 0;
  while (due < events_.size() && events_[due].atMs <= elapsed) ++due;
  if (due == 0) return;
  const std::vector<PlugEvent> applied(events_.begin(), events_.begin() + due);
  events_.erase(events_.begin(), events_.begin() + due);
  for (const PlugEvent& event : applied) SetPlugged(event.name, event.plug);
  if (onStateChanged_) onStateChanged_();
}

}  // namespace nolpa::sim
