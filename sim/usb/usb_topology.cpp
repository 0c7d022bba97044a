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

UsbNodeId UsbTopology::PlugInto(UsbNodeId hub, int port, UsbNode device) {
  const UsbNode& h = nodes_.at(hub);
  if (h.ports == 0) throw std::invalid_argument("not a hub: " + h.instanceId);
  if (port < 1 || port > h.ports) throw std::invalid_argument("no such port on the hub");
  if (h.onPort.count(port)) throw std::invalid_argument("port taken");
  device.parent = hub;
  const UsbNodeId id = AddNode(std::move(device));
  nodes_[hub].onPort[port] = id;
  return id;
}

UsbNodeId UsbTopology::AddHostController(int number, int ports,
                                         const HostControllerDrivers& drivers) {
  if (ports < 1 || ports > 255) throw std::invalid_argument("port count out of range");
  if (number < 0) throw std::invalid_argument("host controller number out of range");
  for (const UsbNode& n : nodes_)
    if (n.hostController == number) throw std::invalid_argument("host controller taken");
  UsbNode controller;
  controller.instanceId = "PCI\\VEN_0000&DEV_0001\\3&2A1F0&0&" + std::to_string(number);
  controller.service = drivers.controllerService;
  controller.driverKey = NextDriverKey();
  controller.hostController = number;
  const UsbNodeId c = AddNode(controller);
  UsbNode root;
  const std::string unique = "4&" + Hex(0x1A2B0 + number) + "&0";
  const std::string kind = drivers.usb3 ? "ROOT_HUB30" : "ROOT_HUB";
  root.instanceId = "USB\\" + kind + "\\" + unique;
  root.service = drivers.hubService;
  root.driverKey = NextDriverKey();
  // Enumerated in lower case; the controller names it in upper case.
  root.interfacePath = "\\\\?\\usb#" + kind + "#" + unique + "#" + GuidText(kUsbHubInterfaceGuid);
  for (char& ch : root.interfacePath)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  root.parent = c;
  root.ports = ports;
  return AddNode(root);
}

UsbNodeId UsbTopology::AddHub(UsbNodeId hub, int port, int ports, std::string service) {
  if (ports < 1 || ports > 255) throw std::invalid_argument("port count out of range");
  UsbNode external;
  if (service.empty()) service = nodes_.at(hub).service;
  const std::string unique = "5&" + Hex(0x3C4D0 + static_cast<std::uint32_t>(nodes_.size())) +
                             "&0&" + std::to_string(port);
  external.instanceId = "USB\\VID_0000&PID_0001\\" + unique;
  external.service = std::move(service);
  external.driverKey = NextDriverKey();
  external.interfacePath =
      "\\\\?\\usb#vid_0000&pid_0001#" + unique + "#" + GuidText(kUsbHubInterfaceGuid);
  external.ports = ports;
  return PlugInto(hub, port, std::move(external));
}

UsbNodeId UsbTopology::AddDevice(UsbNodeId hub, int port, std::string service) {
  UsbNode device;
  device.instanceId = "USB\\VID_0000&PID_0002\\6&" + Hex(0x5E6F0 + nodes_.size()) + "&0";
  device.service = std::move(service);
  device.driverKey = NextDriverKey();
  return PlugInto(hub, port, std::move(device));
}

UsbNodeId UsbTopology::PlugPrinter(UsbNodeId hub, int port, const ClassPrinter& printer) {
  UsbNode node;
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
    while (nodes_.at(hub).onPort.count(port)) ++port;
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

platform::InterfaceSet UsbTopology::OpenSet(const platform::Guid& interfaceClass) {
  if (!(interfaceClass == kUsbHubInterfaceGuid)) return world_.Interfaces().OpenSet(interfaceClass);
  world_.Touch(false);
  std::vector<std::string> paths;
  for (UsbNodeId id = 0; id < nodes_.size(); ++id)
    if (!nodes_[id].interfacePath.empty() && Present(id)) paths.push_back(nodes_[id].interfacePath);
  const platform::InterfaceSet set = nextSet_++;
  sets_[set] = std::move(paths);
  return set;
}

bool UsbTopology::InterfacePath(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                                std::uint32_t index, std::string* path) {
  const auto it = sets_.find(set);
  if (it == sets_.end()) return world_.Interfaces().InterfacePath(set, interfaceClass, index, path);
  if (!(interfaceClass == kUsbHubInterfaceGuid) || index >= it->second.size()) return false;
  *path = it->second[index];
  return true;
}

bool UsbTopology::HasInterface(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                               std::uint32_t index) {
  const auto it = sets_.find(set);
  if (it == sets_.end()) return world_.Interfaces().HasInterface(set, interfaceClass, index);
  return interfaceClass == kUsbHubInterfaceGuid && index < it->second.size();
}

void UsbTopology::CloseSet(platform::InterfaceSet set) {
  if (sets_.erase(set) == 0) world_.Interfaces().CloseSet(set);
}

}  // namespace nolpa::sim
