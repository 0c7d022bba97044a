// The world's name services: interface enumeration by class and DOS device
// names of COM ports.
#include "sim/world.h"

namespace nolpa::sim {

platform::InterfaceSet World::OpenSet(const platform::Guid& interfaceClass) {
  std::lock_guard lock(mutex_);
  Touch(true);
  OpenSetEntry entry{interfaceClass, {}};
  for (auto& d : devices_) {
    const platform::Guid* g = d->InterfaceClass();
    if (g && *g == interfaceClass && d->Plugged()) entry.devices.push_back(d.get());
  }
  const platform::InterfaceSet set = nextSet_;
  nextSet_ += 4;
  ++setsOpenedTotal_;
  sets_.emplace(set, std::move(entry));
  return set;
}

// The set is a snapshot: a device unplugged after it was taken keeps its
// place and its path, as the system's device information list does.
bool World::InterfacePath(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                          std::uint32_t index, std::string* path) {
  std::lock_guard lock(mutex_);
  auto it = sets_.find(set);
  if (it == sets_.end() || !(it->second.interfaceClass == interfaceClass)) return false;
  if (index >= it->second.devices.size()) return false;
  const SimDevice* device = it->second.devices[index];
  if (device->Faults().failInterfaceDetail) return false;
  if (path) *path = device->InterfacePath();
  return true;
}

// A device whose detail cannot be read keeps its place in the set.
bool World::HasInterface(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                         std::uint32_t index) {
  std::lock_guard lock(mutex_);
  const auto it = sets_.find(set);
  return it != sets_.end() && it->second.interfaceClass == interfaceClass &&
         index < it->second.devices.size();
}

void World::CloseSet(platform::InterfaceSet set) {
  std::lock_guard lock(mutex_);
  sets_.erase(set);
}

void World::CheckPortExamined(std::string_view name, bool devicePath) {
  constexpr int kHighestPortExamined = 32;
  // The departure is the device's on that port, or the name's when none is.
  const auto note = [&](int port, const char* kind) {
    std::string who(name);
    for (auto& d : devices_)
      if (d->ComPort() == port) who = d->Name();
    departures_.Note({clock_.NowMs(), who, kind, std::string(name)});
  };
  if (const int bare = ComPortNumber(name, false); devicePath && bare > kHighestBarePort)
    note(bare, departure::kBarePortAboveCom9);
  if (const int port = ComPortNumber(name, devicePath); port > kHighestPortExamined)
    note(port, departure::kPortAboveCom32);
}

bool World::QueryTarget(const std::string& name, std::string* firstTarget) {
  std::lock_guard lock(mutex_);
  Touch(true);
  if (recorder_.Enabled()) queriedNames_.push_back(name);
  CheckPortExamined(name, false);
  const int port = ComPortNumber(name, false);
  if (port == 0) return false;
  for (auto& d : devices_) {
    if (d->ComPort() == port && d->Plugged()) {
      if (firstTarget) *firstTarget = d->DosTarget();
      return true;
    }
  }
  return false;
}

}  // namespace nolpa::sim
