// A fleet's machine built as a USB topology: controllers, hubs, printers on
// their sockets.
#include <map>
#include <stdexcept>
#include <utility>

#include "sim/usb/usb_topology.h"

namespace nolpa::sim {

namespace {

using HubsByName = std::map<std::string, UsbNodeId>;

UsbNodeId NamedHub(const HubsByName& hubs, const std::string& name, const std::string& what) {
  const auto found = hubs.find(name);
  if (found == hubs.end())
    throw std::invalid_argument(what + ": no hub or host controller named \"" + name + "\"");
  return found->second;
}

// Plugs `printer` into its socket; functions naming one composite socket
// share its composite device.
void PlugIntoSocket(UsbTopology& usb, const HubsByName& hubs, const UsbSocket& socket,
                    const ClassPrinter& printer,
                    std::map<std::pair<UsbNodeId, int>, UsbNodeId>& composites) {
  const UsbNodeId hub = NamedHub(hubs, socket.hub, "socket of " + printer.Name());
  if (!socket.composite) {
    usb.PlugPrinter(hub, socket.port, printer);
    return;
  }
  const auto key = std::pair(hub, socket.port);
  auto device = composites.find(key);
  if (device == composites.end())
    device = composites.emplace(key, usb.AddDevice(hub, socket.port, "usbccgp")).first;
  usb.PlugPrinter(device->second, 0, printer);
}

}  // namespace

bool MachineLayout::NamesHub(const std::string& name) const {
  for (const UsbHostControllerLayout& c : hostControllers)
    if (c.name == name) return true;
  for (const UsbHubLayout& h : hubs)
    if (h.name == name) return true;
  return false;
}

UsbHubLayout* MachineLayout::FindHub(std::string_view name) {
  for (UsbHubLayout& h : hubs)
    if (h.name == name) return &h;
  return nullptr;
}

const UsbHubLayout* MachineLayout::FindHub(std::string_view name) const {
  return const_cast<MachineLayout*>(this)->FindHub(name);
}

bool MachineLayout::HubPresent(const std::string& name) const {
  const std::string* next = &name;
  // Hubs hang on hubs named before them; the bound keeps a hand-made loop finite.
  for (std::size_t step = 0; step <= hubs.size(); ++step) {
    const UsbHubLayout* hub = FindHub(*next);
    if (hub == nullptr) return true;
    if (!hub->plugged) return false;
    next = &hub->hub;
  }
  return true;
}

void BuildUsbTopology(const MachineLayout& layout, World& world, UsbTopology& usb) {
  HubsByName hubs;
  const auto addName = [&hubs](const std::string& name, UsbNodeId node) {
    if (!hubs.emplace(name, node).second) throw std::invalid_argument("hub name taken: " + name);
  };
  for (std::size_t i = 0; i < layout.hostControllers.size(); ++i) {
    const UsbHostControllerLayout& c = layout.hostControllers[i];
    const UsbNodeId root = usb.AddHostController(c.number, c.ports, c.drivers);
    usb.Node(root).layoutController = static_cast<int>(i);
    usb.Node(usb.Node(root).parent).layoutController = static_cast<int>(i);
    addName(c.name, root);
  }
  for (std::size_t i = 0; i < layout.hubs.size(); ++i) {
    const UsbHubLayout& h = layout.hubs[i];
    const UsbNodeId hub =
        usb.AddHub(NamedHub(hubs, h.hub, "hub " + h.name), h.port, h.ports, h.service);
    usb.Node(hub).layoutHub = static_cast<int>(i);
    addName(h.name, hub);
  }
  for (const auto& [device, socket] : layout.sockets)
    if (dynamic_cast<const ClassPrinter*>(world.FindDevice(device)) == nullptr)
      throw std::invalid_argument("socket of " + device +
                                  ": no printer-class printer of that name");
  std::map<std::pair<UsbNodeId, int>, UsbNodeId> composites;
  for (const auto& device : world.Devices()) {
    const auto* printer = dynamic_cast<const ClassPrinter*>(device.get());
    const auto socket = layout.sockets.find(device->Name());
    if (printer != nullptr && socket != layout.sockets.end())
      PlugIntoSocket(usb, hubs, socket->second, *printer, composites);
  }
  if (!layout.hostControllers.empty())
    usb.PlugClassPrinters(hubs.at(layout.hostControllers.front().name));
}

}  // namespace nolpa::sim
