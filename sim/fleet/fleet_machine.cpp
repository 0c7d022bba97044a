// Fleet files: the "machine" object (its Windows, host controllers and hubs)
// and a printer-class printer's "socket".
#include <functional>
#include <stdexcept>

#include "sim/fleet/fleet_json.h"
#include "sim/usb/usb_topology.h"

namespace nolpa::sim::fleet_json {
namespace {

constexpr char kWindows32[] = "x86";
constexpr char kWindows64[] = "x64";
constexpr std::uint64_t kMaxPorts = 255;
constexpr std::uint64_t kMaxControllerNumber = 255;

int ReadPortCount(const Json& j, const char* key, int fallback) {
  const Json* v = Field(j, key);
  if (v == nullptr) return fallback;
  const auto ports = static_cast<int>(ReadNumber(*v, key, kMaxPorts));
  if (ports < 1) throw FleetError(std::string(key) + ": a hub has at least one port");
  return ports;
}

std::string RequiredName(const Json& j, const char* key, const std::string& what) {
  const Json* v = Field(j, key);
  if (v == nullptr) throw FleetError(what + ": \"" + key + "\" missing");
  std::string name = ReadString(*v, key);
  if (name.empty()) throw FleetError(what + ": \"" + key + "\" is empty");
  return name;
}

std::uint32_t ReadCount(const Json& j, const char* key, std::uint32_t fallback) {
  const Json* v = Field(j, key);
  return v ? static_cast<std::uint32_t>(ReadNumber(*v, key, 0xFFFFFFFF)) : fallback;
}

// {"unplug": {"after": 2, "backAfterRequests": 5}}; a host controller
// cannot be unplugged.
HubFaults ReadHubFaults(const Json& j, bool controller) {
  if (controller)
    CheckKeys(j, {}, "faults of a host controller");
  else
    CheckKeys(j, {"unplug"}, "faults of a hub");
  HubFaults faults;
  if (const Json* v = Field(j, "unplug")) {
    CheckKeys(*v, {"after", "backAfterRequests", "backAfterMs"}, "unplug");
    HubFaults::Drop drop;
    drop.after = ReadCount(*v, "after", drop.after);
    if (Field(*v, "backAfterRequests"))
      drop.backAfterRequests = ReadCount(*v, "backAfterRequests", 0);
    if (Field(*v, "backAfterMs")) drop.backAfterMs = ReadCount(*v, "backAfterMs", 0);
    faults.drop = drop;
  }
  return faults;
}

Json HubFaultsJson(const HubFaults& faults) {
  Json j = Json::object();
  if (faults.drop) {
    Json drop = {{"after", faults.drop->after}};
    if (faults.drop->backAfterRequests) drop["backAfterRequests"] = *faults.drop->backAfterRequests;
    if (faults.drop->backAfterMs) drop["backAfterMs"] = *faults.drop->backAfterMs;
    j["unplug"] = drop;
  }
  return j;
}

UsbHostControllerLayout ReadController(const Json& j) {
  CheckKeys(j, {"name", "number", "ports", "service", "hubService", "usb3", "faults"},
            "machine.hostControllers");
  UsbHostControllerLayout c;
  c.name = RequiredName(j, "name", "machine.hostControllers");
  if (const Json* v = Field(j, "number"))
    c.number = static_cast<int>(ReadNumber(*v, "number", kMaxControllerNumber));
  c.ports = ReadPortCount(j, "ports", c.ports);
  if (const Json* v = Field(j, "service")) c.drivers.controllerService = ReadString(*v, "service");
  if (const Json* v = Field(j, "hubService")) c.drivers.hubService = ReadString(*v, "hubService");
  if (const Json* v = Field(j, "usb3")) c.drivers.usb3 = ReadBool(*v, "usb3");
  if (const Json* v = Field(j, "faults")) c.faults = ReadHubFaults(*v, true);
  return c;
}

UsbHubLayout ReadHub(const Json& j) {
  CheckKeys(j, {"name", "hub", "port", "ports", "service", "plugged", "faults"}, "machine.hubs");
  UsbHubLayout h;
  h.name = RequiredName(j, "name", "machine.hubs");
  h.hub = RequiredName(j, "hub", "machine.hubs " + h.name);
  const Json* port = Field(j, "port");
  if (port == nullptr) throw FleetError("machine.hubs " + h.name + ": \"port\" missing");
  h.port = static_cast<int>(ReadNumber(*port, "port", kMaxPorts));
  h.ports = ReadPortCount(j, "ports", h.ports);
  if (const Json* v = Field(j, "service")) h.service = ReadString(*v, "service");
  if (const Json* v = Field(j, "plugged")) h.plugged = ReadBool(*v, "plugged");
  if (const Json* v = Field(j, "faults")) h.faults = ReadHubFaults(*v, false);
  return h;
}

template <typename T, typename Read>
std::vector<T> ReadList(const Json& j, const char* key, Read read) {
  std::vector<T> items;
  const Json* list = Field(j, key);
  if (list == nullptr) return items;
  if (!list->is_array()) throw FleetError(std::string("machine.") + key + " must be an array");
  for (const Json& item : *list) items.push_back(read(item));
  return items;
}

}  // namespace

void ReadMachine(const Json& j, MachineLayout& machine) {
  CheckKeys(j, {"windows", "hostControllers", "hubs"}, "machine");
  if (const Json* v = Field(j, "windows")) {
    const std::string windows = ReadString(*v, "windows");
    if (windows != kWindows32 && windows != kWindows64)
      throw FleetError("machine.windows: expected x86 or x64");
    machine.windows64 = windows == kWindows64;
  }
  machine.hostControllers = ReadList<UsbHostControllerLayout>(j, "hostControllers", ReadController);
  machine.hubs = ReadList<UsbHubLayout>(j, "hubs", ReadHub);
}

UsbSocket ReadSocket(const Json& j) {
  CheckKeys(j, {"hub", "port", "composite"}, "socket");
  UsbSocket socket;
  socket.hub = RequiredName(j, "hub", "socket");
  const Json* port = Field(j, "port");
  if (port == nullptr) throw FleetError("socket: \"port\" missing");
  socket.port = static_cast<int>(ReadNumber(*port, "port", kMaxPorts));
  if (const Json* v = Field(j, "composite")) socket.composite = ReadBool(*v, "composite");
  return socket;
}

void CheckMachine(World& world) {
  const MachineLayout& machine = world.Machine();
  for (const UsbHubLayout& h : machine.hubs)
    if (world.FindDevice(h.name) != nullptr)
      throw FleetError("machine.hubs " + h.name + ": a device has that name");
  for (const auto& [device, socket] : machine.sockets)
    if (!machine.NamesHub(socket.hub))
      throw FleetError("device " + device + ": socket.hub: no hub or host controller named \"" +
                       socket.hub + "\"");
  try {
    UsbTopology probe(world);
    BuildUsbTopology(machine, world, probe);
  } catch (const std::invalid_argument& e) {
    throw FleetError(std::string("machine: ") + e.what());
  }
  world.UpdateHubPresence();
}

Json MachineJson(const MachineLayout& machine,
                 const std::function<bool(const std::string&)>& comingBack) {
  Json controllers = Json::array();
  for (const UsbHostControllerLayout& c : machine.hostControllers) {
    Json j = {{"name", c.name},
              {"number", c.number},
              {"ports", c.ports},
              {"service", c.drivers.controllerService},
              {"hubService", c.drivers.hubService}};
    if (c.drivers.usb3) j["usb3"] = true;
    if (Json faults = HubFaultsJson(c.faults); !faults.empty()) j["faults"] = faults;
    controllers.push_back(j);
  }
  Json hubs = Json::array();
  for (const UsbHubLayout& h : machine.hubs) {
    Json j = {{"name", h.name}, {"hub", h.hub}, {"port", h.port}, {"ports", h.ports}};
    if (!h.service.empty()) j["service"] = h.service;
    if (!h.plugged && !comingBack(h.name)) j["plugged"] = false;
    if (Json faults = HubFaultsJson(h.faults); !faults.empty()) j["faults"] = faults;
    hubs.push_back(j);
  }
  Json j = {{"windows", machine.windows64 ? kWindows64 : kWindows32}};
  if (!controllers.empty()) j["hostControllers"] = controllers;
  if (!hubs.empty()) j["hubs"] = hubs;
  return j;
}

Json SocketJson(const UsbSocket& socket) {
  Json j = {{"hub", socket.hub}, {"port", socket.port}};
  if (socket.composite) j["composite"] = true;
  return j;
}

}  // namespace nolpa::sim::fleet_json
