#pragma once
// The USB topology of a simulated world: host controllers with their root
// hubs, external hubs in chains, the ports they hang on, and the devices on
// those ports, as the configuration manager's device tree and the USB hub
// driver show them. Printer-class printers of the world are plugged into it
// by reference, so the printer the library opens and the one it traces are
// the same.
//
//   UsbTopology usb(world);
//   UsbNodeId root = usb.AddHostController(0, 4);   // \\.\HCD0, 4 ports
//   UsbNodeId hub = usb.AddHub(root, 2, 7);         // on port 2
//   usb.PlugPrinter(hub, 5, world.PrinterClass("p1"));
//   services.deviceTree = &usb.Tree(); ... hubFiles, interfaces
//
// It keeps its own copies of the request codes and buffer layouts, refuses
// buffers of the wrong size and ports the hub does not have, and notes those
// departures in the world's log.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/device_interfaces.h"
#include "platform/device_tree.h"
#include "platform/usb_hub_files.h"
#include "sim/printers/class_printer.h"
#include "sim/usb/machine_layout.h"
#include "sim/world.h"

namespace nolpa::sim {

// {F18A0E88-C30C-11D0-8815-00A0C906BED8}: GUID_DEVINTERFACE_USB_HUB.
inline constexpr platform::Guid kUsbHubInterfaceGuid = {
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};
// {3ABF6F2D-71C4-462A-8A92-1E6861E6AF27}: GUID_DEVINTERFACE_USB_HOST_CONTROLLER.
inline constexpr platform::Guid kUsbHostControllerInterfaceGuid = {
    0x3ABF6F2D, 0x71C4, 0x462A, {0x8A, 0x92, 0x1E, 0x68, 0x61, 0xE6, 0xAF, 0x27}};
// IOCTL_USB_GET_ROOT_HUB_NAME (host controller) and
// IOCTL_USB_GET_NODE_INFORMATION (hub) share a code.
inline constexpr std::uint32_t kIoctlUsbRootHubName = 0x220408;
inline constexpr std::uint32_t kIoctlUsbNodeInformation = 0x220408;
// IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME.
inline constexpr std::uint32_t kIoctlUsbPortDriverKey = 0x220420;
// IOCTL_USB_GET_NODE_CONNECTION_NAME: the name of the hub on a port.
inline constexpr std::uint32_t kIoctlUsbPortHubName = 0x220414;
// IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX: the device on a port.
inline constexpr std::uint32_t kIoctlUsbPortConnection = 0x220448;
// Since Windows 8 (the "USBHUB3" driver only): IOCTL_USB_GET_PORT_CONNECTOR_PROPERTIES
// (the port sharing a connector with this one) and
// IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2 (the protocols of a port,
// the speed of its device).
inline constexpr std::uint32_t kIoctlUsbPortConnector = 0x220458;
inline constexpr std::uint32_t kIoctlUsbPortProtocols = 0x22045C;

// A node of the device tree, by its place in the topology.
using UsbNodeId = std::size_t;

struct UsbNode {
  std::string instanceId;           // "USB\ROOT_HUB\4&1A2B0&0"
  std::string service;              // "usbhub", "USBHUB3", "usbprint", "usbuhci", ...
  std::string driverKey;            // "{36fc9e60-...}\0003"
  std::string interfacePath;        // hubs and host controllers: of their interface class
  UsbNodeId parent = 0;             // the root of the tree is its own parent
  int hostController = -1;          // n of "\\.\HCDn" for a host controller
  bool hcdName = true;              // host controllers: reached as "\\.\HCDn" too
  int ports = 0;                    // hubs: the port count they report
  std::map<int, UsbNodeId> onPort;  // hubs: what each port holds
  // USB 3: a SuperSpeed device (a SuperSpeed hub among them); a hub's
  // SuperSpeed ports (all of a SuperSpeed hub's, the last ones of an xHCI
  // root hub's); and for a port that shares its connector with another,
  // that port on `companionHub` (a root hub's are its own, and the two hubs
  // a USB 3 hub shows as are each other's companions).
  bool superSpeed = false;
  std::set<int> superSpeedPorts;
  std::map<int, int> companionPort;
  UsbNodeId companionHub = 0;
  const ClassPrinter* printer = nullptr;    // present while it is plugged in
  std::vector<std::uint32_t> refusedCodes;  // requests this node's driver refuses
  // The entry of the world's Machine() it was built from (BuildUsbTopology):
  // a hub is present while that entry is plugged in, and misbehaves as its
  // faults say; a host controller and its root hub share their entry.
  int layoutHub = -1;
  int layoutController = -1;
};

class UsbTopology : private platform::DeviceTree,
                    private platform::UsbHubFiles,
                    private platform::DeviceInterfaces {
 public:
  // Notes its departures in `world`'s log and lists other interface classes
  // through it: the world must outlive the topology.
  explicit UsbTopology(World& world);
  // Notes kUsbHandleLeaked for every handle or set still open.
  ~UsbTopology() override;
  UsbTopology(const UsbTopology&) = delete;
  UsbTopology& operator=(const UsbTopology&) = delete;

  // Host controller "\\.\HCD<number>" and its root hub of `ports` ports,
  // run by `drivers` (the older USB 2 stack by default); returns the root
  // hub. Every driver answers the root-hub name, node information and
  // driver-key requests alike.
  UsbNodeId AddHostController(int number, int ports, const HostControllerDrivers& drivers = {});
  // The same as `layout` says (its name and faults aside): a controller
  // without "\\.\HCDn" or without a root hub; returns the controller
  // itself when it has no root hub.
  UsbNodeId AddHostController(const UsbHostControllerLayout& layout);
  // An external hub of `ports` ports on `port` of `hub`, run by `service`;
  // empty: the service of the hub it hangs on, as Windows runs every hub
  // below a controller with that controller's hub driver. A `usb3` hub is
  // two hubs: the one returned, a USB 2 hub on the USB 2 side of the
  // connector, and (its companionHub) a SuperSpeed hub on the SuperSpeed
  // side, when the connector has one.
  UsbNodeId AddHub(UsbNodeId hub, int port, int ports, std::string service = {}, bool usb3 = false);
  // A device of another kind on `port` of `hub`: a composite device
  // ("usbccgp"), a disk ("usbstor"), ...
  UsbNodeId AddDevice(UsbNodeId hub, int port, std::string service, bool superSpeed = false);
  // The printer on `port` of `hub`, or (port 0) a function of the composite
  // device `hub`: its node has the instance identifier its interface path
  // names and the service "usbprint", and is present while it is plugged in.
  // A device lands on the side of the port's connector its speed takes: a
  // SuperSpeed one on the SuperSpeed port where there is one, any other on
  // the USB 2 port. Throws std::invalid_argument when there is no such side.
  UsbNodeId PlugPrinter(UsbNodeId hub, int port, const ClassPrinter& printer,
                        bool superSpeed = false);
  // Every printer-class printer of the world not plugged in yet, on the
  // free ports of `hub` from the lowest, in the order the world holds them
  // (a world loaded from a fleet gets a bus this way). Throws
  // std::invalid_argument when the hub runs out of ports.
  void PlugClassPrinters(UsbNodeId hub);

  UsbNode& Node(UsbNodeId id) { return nodes_.at(id); }
  // The root hub's name as its host controller reports it (no "\\?\").
  std::string RootHubName(UsbNodeId rootHub) const;

  // The platform interfaces over this topology. Interfaces() lists the hub
  // and host-controller interface classes itself and hands every other
  // class to the world's.
  platform::DeviceTree& Tree() { return *this; }
  platform::UsbHubFiles& HubFiles() { return *this; }
  platform::DeviceInterfaces& Interfaces() { return *this; }

  // The layout hub of `node`, if it was built from one.
  const UsbHubLayout* LayoutHub(const UsbNode& node) const;

  // Controller and hub handles, and hub interface sets, not yet closed.
  std::size_t OpenHandles() const { return handles_.size(); }
  std::size_t OpenSets() const { return sets_.size(); }
  // Every hub request asked, as "<code> <path>", in order, while the
  // world's recorder is on (it is off in long runs).
  const std::vector<std::string>& Requests() const { return requests_; }

 private:
  // platform::DeviceTree
  bool LocateNode(const std::string& instanceId, platform::DevNode* node) override;
  bool Parent(platform::DevNode node, platform::DevNode* parent) override;
  bool Property(platform::DevNode node, platform::NodeProperty property,
                std::string* value) override;
  // platform::UsbHubFiles
  platform::DeviceHandle Open(const std::string& path) override;
  bool IoControl(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                 std::uint32_t inSize, void* out, std::uint32_t outSize,
                 std::uint32_t* returned) override;
  void Close(platform::DeviceHandle handle) override;
  // platform::DeviceInterfaces
  platform::InterfaceSet OpenSet(const platform::Guid& interfaceClass) override;
  bool InterfacePath(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                     std::uint32_t index, std::string* path) override;
  bool HasInterface(platform::InterfaceSet set, const platform::Guid& interfaceClass,
                    std::uint32_t index) override;
  void CloseSet(platform::InterfaceSet set) override;

  struct OpenNode {
    UsbNodeId node;
    std::uint64_t generations;  // Generations() when it was opened
  };

  UsbNodeId AddNode(UsbNode node);
  // The sum of the generations of the layout hubs from `id` up: it grows
  // whenever one of them comes back, which kills handles opened before.
  std::uint64_t Generations(UsbNodeId id) const;
  // The faults of the node's layout entry, if any.
  HubFaults* FaultsOf(const UsbNode& node);
  // Counts an answered request against a hub's drop fault and drops the hub
  // when it fires.
  void CountTowardsDrop(const UsbNode& node);
  // Adds `device` on `port` of `hub`, on the side of the connector its
  // speed takes; throws std::invalid_argument when the hub has no such free
  // port.
  UsbNodeId PlugInto(UsbNodeId hub, int port, UsbNode device);
  // The hub and port a device of that speed takes for `port` of `hub`.
  std::pair<UsbNodeId, int> Side(UsbNodeId hub, int port, bool superSpeed) const;
  bool Present(UsbNodeId id) const;
  std::string LocationInformation(UsbNodeId id) const;
  const UsbNode* PresentNode(platform::DevNode node) const;
  std::string NextDriverKey();
  void NoteDeparture(const char* kind, std::string detail) const;
  // The whole answer of the node's driver to a request, before it is cut to
  // the caller's buffer; false when the driver refuses it.
  bool Answer(UsbNodeId id, std::uint32_t code, std::span<const std::uint8_t> in,
              std::uint32_t outSize, std::vector<std::uint8_t>& answer);
  bool AnswerRootHubName(UsbNodeId controller, std::vector<std::uint8_t>& answer) const;
  // The requests about one port of `hub` (usb_port_requests.cpp).
  bool AnswerPortRequest(const UsbNode& hub, std::uint32_t code, std::span<const std::uint8_t> in,
                         std::vector<std::uint8_t>& answer) const;
  std::vector<std::uint8_t> ConnectionInformation(std::uint32_t port, UsbNodeId device) const;
  std::vector<std::uint8_t> ConnectorProperties(const UsbNode& hub, std::uint32_t port,
                                                std::span<const std::uint8_t> in) const;
  bool AnswerProtocols(const UsbNode& hub, std::uint32_t port, UsbNodeId device,
                       std::span<const std::uint8_t> in, std::vector<std::uint8_t>& answer) const;

  World& world_;
  std::vector<UsbNode> nodes_;
  std::map<platform::DeviceHandle, OpenNode> handles_;
  struct InterfaceList {
    platform::Guid interfaceClass;
    std::vector<std::string> paths;
  };
  std::map<platform::InterfaceSet, InterfaceList> sets_;
  platform::DeviceHandle nextHandle_ = 0x7E000000;
  platform::InterfaceSet nextSet_ = 0x7F000000;
  std::vector<std::string> requests_;
};

// Builds `layout`'s bus in `usb`: the host controllers, the hubs in order,
// every printer-class printer of `world` on its socket and those without one
// on the free ports of the first root hub, in the world's order. Throws
// std::invalid_argument for a hub or controller not named before, a port a
// hub does not have or that is taken, or a socket of a device that is no
// printer-class printer.
void BuildUsbTopology(const MachineLayout& layout, World& world, UsbTopology& usb);

}  // namespace nolpa::sim
