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

void BuildUsbTopology(const MachineLayout& layout, World& world, UsbTopology& usb) {
  HubsByName hubs;
  const auto addName = [&hubs](const std::string& name, UsbNodeId node) {
    if (!hubs.emplace(name, node).second) throw std::invalid_argument("hub name taken: " + name);
  };
  for (const UsbHostControllerLayout& c : layout.hostControllers)
    addName(c.name, usb.AddHostController(c.number, c.ports, c.drivers));
  for (const UsbHubLayout& h : layout.hubs)
    addName(h.name, usb.AddHub(NamedHub(hubs, h.hub, "hub " + h.name), h.port, h.ports, h.service));
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
