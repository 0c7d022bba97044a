#include "sim/usb/usb_topology.h"

#include <cstdio>
#include <stdexcept>

namespace nolpa::sim {

namespace {

// {36FC9E60-C465-11CF-8056-444553540000}: the USB device setup class, under
// whose registry key the driver keys of USB devices live.
constexpr char kUsbClassKey[] = "{36FC9E60-C465-11CF-8056-444553540000}";
constexpr UsbNodeId kTreeRoot = 0;
// DEVINST values are small non-zero numbers; a node's is its index plus this.
constexpr platform::DevNode kFirstDevNode = 1;

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperText(std::string_view text) {
  std::string upper;
  for (char c : text) upper += Upper(c);
  return upper;
}

// "USB\VID_0F1A&PID_0520\A1" from "\\?\usb#vid_0f1a&pid_0520#a1#{...}".
std::string InstanceOfPath(const std::string& path) {
  std::string_view rest(path);
  if (rest.substr(0, 4) == "\\\\?\\") rest.remove_prefix(4);
  const std::size_t last = rest.rfind('#');
  std::string id = UpperText(rest.substr(0, last == std::string_view::npos ? rest.size() : last));
  for (char& c : id)
    if (c == '#') c = '\\';
  return id;
}

std::string LowerText(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string Hex(std::uint32_t value) {
  char buf[12];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
  return buf;
}

}  // namespace

UsbTopology::UsbTopology(World& world) : world_(world) {
  UsbNode root;
  root.instanceId = "HTREE\\ROOT\\0";
  nodes_.push_back(root);
}

UsbTopology::~UsbTopology() {
  for (const auto& handle : handles_)
    NoteDeparture(departure::kUsbHandleLeaked, nodes_[handle.second.node].instanceId);
  if (!sets_.empty())
    NoteDeparture(departure::kUsbHandleLeaked,
                  std::to_string(sets_.size()) + " hub interface sets");
}

UsbNodeId UsbTopology::AddNode(UsbNode node) {
  nodes_.push_back(std::move(node));
  return nodes_.size() - 1;
}

std::string UsbTopology::NextDriverKey() {
  char number[8];
  std::snprintf(number, sizeof number, "%04zu", nodes_.size());
  return std::string(kUsbClassKey) + "\\" + number;
}

std::pair<UsbNodeId, int> UsbTopology::Side(UsbNodeId hub, int port, bool superSpeed) const {
  const UsbNode& h = nodes_.at(hub);
  if ((h.superSpeedPorts.count(port) > 0) == superSpeed) return {hub, port};
  const auto companion = h.companionPort.find(port);
  if (companion != h.companionPort.end()) return {h.companionHub, companion->second};
  // A SuperSpeed device on a connector without a SuperSpeed side runs as a USB 2 one.
  if (superSpeed) return {hub, port};
  throw std::invalid_argument("a SuperSpeed port without a USB 2 side");
}

UsbNodeId UsbTopology::PlugInto(UsbNodeId hub, int port, UsbNode device) {
  const UsbNode& named = nodes_.at(hub);
  if (named.ports == 0) throw std::invalid_argument("not a hub: " + named.instanceId);
  if (port < 1 || port > named.ports) throw std::invalid_argument("no such port on the hub");
  const auto [side, sidePort] = Side(hub, port, device.superSpeed);
  if (nodes_[side].onPort.count(sidePort)) throw std::invalid_argument("port taken");
  device.parent = side;
  const UsbNodeId id = AddNode(std::move(device));
  nodes_[side].onPort[sidePort] = id;
  return id;
}

UsbNodeId UsbTopology::AddHostController(int number, int ports,
                                         const HostControllerDrivers& drivers) {
  return AddHostController({.number = number, .ports = ports, .drivers = drivers});
}

UsbNodeId UsbTopology::AddHostController(const UsbHostControllerLayout& layout) {
  const int number = layout.number;
  if (layout.ports < 1 || layout.ports > 255)
    throw std::invalid_argument("port count out of range");
  if (number < 0) throw std::invalid_argument("host controller number out of range");
  for (const UsbNode& n : nodes_)
    if (n.hostController == number) throw std::invalid_argument("host controller taken");
  UsbNode controller;
  const std::string unique = "3&2A1F0&0&" + std::to_string(number);
  controller.instanceId = "PCI\\VEN_0000&DEV_0001\\" + unique;
  controller.interfacePath = LowerText("\\\\?\\pci#ven_0000&dev_0001#" + unique + "#") +
                             GuidText(kUsbHostControllerInterfaceGuid);
  controller.service = layout.drivers.controllerService;
  controller.driverKey = NextDriverKey();
  controller.hostController = number;
  controller.hcdName = layout.hcdName;
  const UsbNodeId c = AddNode(controller);
  if (!layout.rootHub) return c;
  UsbNode root;
  const std::string hub = "4&" + Hex(0x1A2B0 + number) + "&0";
  const std::string kind = layout.drivers.usb3 ? "ROOT_HUB30" : "ROOT_HUB";
  root.instanceId = "USB\\" + kind + "\\" + hub;
  root.service = layout.drivers.hubService;
  root.driverKey = NextDriverKey();
  // Enumerated in lower case; the controller names it in upper case.
  root.interfacePath =
      LowerText("\\\\?\\usb#" + kind + "#" + hub + "#") + GuidText(kUsbHubInterfaceGuid);
  root.parent = c;
  root.ports = layout.ports;
  // The last ports are SuperSpeed ports, each sharing its connector with
  // a USB 2 port from the first up.
  const int superSpeed = layout.superSpeedPorts;
  if (superSpeed < 0 || 2 * superSpeed > layout.ports)
    throw std::invalid_argument("more SuperSpeed ports than USB 2 ports to pair them with");
  for (int k = 1; k <= superSpeed; ++k) {
    const int ssPort = layout.ports - superSpeed + k;
    root.superSpeedPorts.insert(ssPort);
    root.companionPort[k] = ssPort;
    root.companionPort[ssPort] = k;
  }
  root.companionHub = nodes_.size();  // its own
  return AddNode(root);
}

UsbNodeId UsbTopology::AddHub(UsbNodeId hub, int port, int ports, std::string service, bool usb3) {
  if (ports < 1 || ports > 255) throw std::invalid_argument("port count out of range");
  if (service.empty()) service = nodes_.at(hub).service;
  const auto external = [&](bool superSpeed) {
    UsbNode node;
    const std::string unique = "5&" + Hex(0x3C4D0 + static_cast<std::uint32_t>(nodes_.size())) +
                               "&0&" + std::to_string(port);
    const std::string ids = superSpeed ? "VID_0000&PID_0003" : "VID_0000&PID_0001";
    node.instanceId = "USB\\" + ids + "\\" + unique;
    node.service = service;
    node.driverKey = NextDriverKey();
    node.interfacePath =
        "\\\\?\\usb#" + LowerText(ids) + "#" + unique + "#" + GuidText(kUsbHubInterfaceGuid);
    node.ports = ports;
    node.superSpeed = superSpeed;
    for (int k = 1; superSpeed && k <= ports; ++k) node.superSpeedPorts.insert(k);
    return node;
  };
  const UsbNodeId usb2 = PlugInto(hub, port, external(false));
  const auto [side, sidePort] = Side(hub, port, true);
  // Without a SuperSpeed side to its connector, a USB 3 hub is a USB 2 hub.
  if (!usb3 || nodes_[side].superSpeedPorts.count(sidePort) == 0) return usb2;
  const UsbNodeId super = PlugInto(hub, port, external(true));
  for (const UsbNodeId half : {usb2, super}) {
    nodes_[half].companionHub = half == usb2 ? super : usb2;
    for (int k = 1; k <= ports; ++k) nodes_[half].companionPort[k] = k;
  }
  return usb2;
}

UsbNodeId UsbTopology::AddDevice(UsbNodeId hub, int port, std::string service, bool superSpeed) {
  UsbNode device;
  device.instanceId = "USB\\VID_0000&PID_0002\\6&" + Hex(0x5E6F0 + nodes_.size()) + "&0";
  device.service = std::move(service);
  device.driverKey = NextDriverKey();
  device.superSpeed = superSpeed;
  return PlugInto(hub, port, std::move(device));
}

UsbNodeId UsbTopology::PlugPrinter(UsbNodeId hub, int port, const ClassPrinter& printer,
                                   bool superSpeed) {
  UsbNode node;
  node.superSpeed = superSpeed;
  node.instanceId = InstanceOfPath(printer.InterfacePath());
  node.service = "usbprint";
  node.driverKey = NextDriverKey();
  node.printer = &printer;
  if (port != 0) return PlugInto(hub, port, std::move(node));
  if (nodes_.at(hub).ports != 0)
    throw std::invalid_argument("a function hangs off a device, not off a hub");
  node.parent = hub;
  return AddNode(std::move(node));
}

void UsbTopology::PlugClassPrinters(UsbNodeId hub) {
  for (const auto& device : world_.Devices()) {
    const auto* printer = dynamic_cast<const ClassPrinter*>(device.get());
    if (!printer) continue;
    bool plugged = false;
    for (const UsbNode& n : nodes_) plugged = plugged || n.printer == printer;
    if (plugged) continue;
    int port = 1;
    const UsbNode& h = nodes_.at(hub);
    while (h.onPort.count(port) || h.superSpeedPorts.count(port)) ++port;
    PlugPrinter(hub, port, *printer);
  }
}

std::string UsbTopology::RootHubName(UsbNodeId rootHub) const {
  return UpperText(nodes_.at(rootHub).interfacePath.substr(4));
}

const UsbHubLayout* UsbTopology::LayoutHub(const UsbNode& node) const {
  const auto& hubs = world_.Machine().hubs;
  return node.layoutHub >= 0 && static_cast<std::size_t>(node.layoutHub) < hubs.size()
             ? &hubs[static_cast<std::size_t>(node.layoutHub)]
             : nullptr;
}

bool UsbTopology::Present(UsbNodeId id) const {
  for (; id != kTreeRoot; id = nodes_[id].parent) {
    const UsbNode& n = nodes_[id];
    if (n.printer && !n.printer->Plugged()) return false;
    if (const UsbHubLayout* hub = LayoutHub(n); hub && !hub->plugged) return false;
  }
  return true;
}

std::uint64_t UsbTopology::Generations(UsbNodeId id) const {
  std::uint64_t sum = 0;
  for (; id != kTreeRoot; id = nodes_[id].parent)
    if (const UsbHubLayout* hub = LayoutHub(nodes_[id])) sum += hub->generation;
  return sum;
}

const UsbNode* UsbTopology::PresentNode(platform::DevNode node) const {
  if (node < kFirstDevNode || node - kFirstDevNode >= nodes_.size()) return nullptr;
  const UsbNodeId id = node - kFirstDevNode;
  return Present(id) ? &nodes_[id] : nullptr;
}

void UsbTopology::NoteDeparture(const char* kind, std::string detail) const {
  world_.Departures().Note({.timeMs = world_.Clock().NowMs(),
                            .device = "usb",
                            .kind = kind,
                            .detail = std::move(detail)});
}

bool UsbTopology::LocateNode(const std::string& instanceId, platform::DevNode* node) {
  world_.Touch(false);
  for (UsbNodeId id = 0; id < nodes_.size(); ++id) {
    if (SameName(nodes_[id].instanceId, instanceId) && Present(id)) {
      *node = static_cast<platform::DevNode>(id + kFirstDevNode);
      return true;
    }
  }
  return false;
}

bool UsbTopology::Parent(platform::DevNode node, platform::DevNode* parent) {
  world_.Touch(false);
  const UsbNode* n = PresentNode(node);
  if (!n || node == kFirstDevNode + kTreeRoot) return false;
  *parent = static_cast<platform::DevNode>(n->parent + kFirstDevNode);
  return true;
}

bool UsbTopology::Property(platform::DevNode node, platform::NodeProperty property,
                           std::string* value) {
  world_.Touch(false);
  const UsbNode* n = PresentNode(node);
  if (!n) return false;
  if (property == platform::NodeProperty::LocationInformation) {
    *value = LocationInformation(node - kFirstDevNode);
    return !value->empty();
  }
  const std::string& text = property == platform::NodeProperty::Service ? n->service : n->driverKey;
  if (text.empty() || text.size() + 1 > kMaxPropertyText) return false;
  *value = text;
  return true;
}

// The hub driver numbers its hubs, root hubs included, from 1 in the order
// they came; a device directly on a hub port is at "Port_#p.Hub_#h". A
// function of a composite device, or a hub's own root, has no such text.
std::string UsbTopology::LocationInformation(UsbNodeId id) const {
  const UsbNode& hub = nodes_[nodes_[id].parent];
  if (id == kTreeRoot || hub.ports == 0) return {};
  int hubNumber = 0;
  for (UsbNodeId other = 0; other <= nodes_[id].parent; ++other)
    hubNumber += nodes_[other].ports > 0 ? 1 : 0;
  for (const auto& [port, held] : hub.onPort) {
    if (held != id) continue;
    char text[40];
    std::snprintf(text, sizeof text, "Port_#%04d.Hub_#%04d", port, hubNumber);
    return text;
  }
  return {};
}

// The topology's own interface classes: hubs, root hubs included, and host
// controllers.
platform::InterfaceSet UsbTopology::OpenSet(const platform::Guid& interfaceClass) {
  const bool hubs = interfaceClass == kUsbHubInterfaceGuid;
  if (!hubs && !(interfaceClass == kUsbHostControllerInterfaceGuid))
    return world_.Interfaces().OpenSet(interfaceClass);
  world_.Touch(false);
  InterfaceList list{interfaceClass, {}};
  for (UsbNodeId id = 0; id < nodes_.size(); ++id) {
    const UsbNode& n = nodes_[id];
    const bool listed = hubs ? n.ports > 0 : n.hostController >= 0;
    if (listed && !n.interfacePath.empty() && Present(id)) list.paths.push_back(n.interfacePath);
  }
  const platform::InterfaceSet set = nextSet_++;
  sets_[set] = std::move(list);
  return set;
}

bool UsbTopology::InterfacePath(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                                std::uint32_t index, std::string* path) {
  const auto it = sets_.find(set);
  if (it == sets_.end()) return world_.Interfaces().InterfacePath(set, interfaceClass, index, path);
  const InterfaceList& list = it->second;
  if (!(interfaceClass == list.interfaceClass) || index >= list.paths.size()) return false;
  *path = list.paths[index];
  return true;
}

bool UsbTopology::HasInterface(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                               std::uint32_t index) {
  const auto it = sets_.find(set);
  if (it == sets_.end()) return world_.Interfaces().HasInterface(set, interfaceClass, index);
  return interfaceClass == it->second.interfaceClass && index < it->second.paths.size();
}

void UsbTopology::CloseSet(platform::InterfaceSet set) {
  if (sets_.erase(set) == 0) world_.Interfaces().CloseSet(set);
}

}  // namespace nolpa::sim
