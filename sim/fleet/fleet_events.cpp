// Fleet files: the "events" that plug devices and hubs in and out on the
// world's clock.
#include <stdexcept>

#include "sim/fleet/fleet_json.h"

namespace nolpa::sim::fleet_json {
namespace {

constexpr char kPlug[] = "plug";
constexpr char kUnplug[] = "unplug";

PlugEvent ReadEvent(const Json& j) {
  CheckKeys(j, {"atMs", kPlug, kUnplug}, "event");
  const Json* at = Field(j, "atMs");
  if (at == nullptr) throw FleetError("event: \"atMs\" missing");
  const Json* plug = Field(j, kPlug);
  const Json* unplug = Field(j, kUnplug);
  if ((plug == nullptr) == (unplug == nullptr))
    throw FleetError("event: expected one of \"plug\" and \"unplug\"");
  PlugEvent event;
  event.atMs = ReadNumber(*at, "atMs", ~0ULL);
  event.plug = plug != nullptr;
  event.name = ReadString(plug ? *plug : *unplug, plug ? kPlug : kUnplug);
  return event;
}

}  // namespace

void ReadEvents(const Json& j, World& world) {
  if (!j.is_array()) throw FleetError("events: expected an array");
  std::vector<PlugEvent> events;
  for (const Json& item : j) {
    events.push_back(ReadEvent(item));
    const std::string& name = events.back().name;
    if (world.FindDevice(name) == nullptr && world.Machine().FindHub(name) == nullptr)
      throw FleetError("event: no device or hub named \"" + name + "\"");
  }
  world.AddEvents(events);
}

Json EventsJson(const World& world) {
  Json events = Json::array();
  for (const PlugEvent& event : world.PendingEvents())
    events.push_back({{"atMs", event.atMs}, {event.plug ? kPlug : kUnplug, event.name}});
  return events;
}

}  // namespace nolpa::sim::fleet_json
