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
#include <span>
#include <string>
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
// IOCTL_USB_GET_ROOT_HUB_NAME (host controller) and
// IOCTL_USB_GET_NODE_INFORMATION (hub) share a code.
inline constexpr std::uint32_t kIoctlUsbRootHubName = 0x220408;
inline constexpr std::uint32_t kIoctlUsbNodeInformation = 0x220408;
// IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME.
inline constexpr std::uint32_t kIoctlUsbPortDriverKey = 0x220420;

// A node of the device tree, by its place in the topology.
using UsbNodeId = std::size_t;

struct UsbNode {
  std::string instanceId;                   // "USB\ROOT_HUB\4&1A2B0&0"
  std::string service;                      // "usbhub", "USBHUB3", "usbprint", "usbuhci", ...
  std::string driverKey;                    // "{36fc9e60-...}\0003"
  std::string interfacePath;                // hubs: their path of the hub interface class
  UsbNodeId parent = 0;                     // the root of the tree is its own parent
  int hostController = -1;                  // n of "\\.\HCDn" for a host controller
  int ports = 0;                            // hubs: the port count they report
  std::map<int, UsbNodeId> onPort;          // hubs: what each port holds
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
  // An external hub of `ports` ports on `port` of `hub`, run by `service`;
  // empty: the service of the hub it hangs on, as Windows runs every hub
  // below a controller with that controller's hub driver.
  UsbNodeId AddHub(UsbNodeId hub, int port, int ports, std::string service = {});
  // A device of another kind on `port` of `hub`: a composite device
  // ("usbccgp"), a disk ("usbstor"), ...
  UsbNodeId AddDevice(UsbNodeId hub, int port, std::string service);
  // The printer on `port` of `hub`, or (port 0) a function of the composite
  // device `hub`: its node has the instance identifier its interface path
  // names and the service "usbprint", and is present while it is plugged in.
  UsbNodeId PlugPrinter(UsbNodeId hub, int port, const ClassPrinter& printer);
  // Every printer-class printer of the world not plugged in yet, on the
  // free ports of `hub` from the lowest, in the order the world holds them
  // (a world loaded from a fleet gets a bus this way). Throws
  // std::invalid_argument when the hub runs out of ports.
  void PlugClassPrinters(UsbNodeId hub);

  UsbNode& Node(UsbNodeId id) { return nodes_.at(id); }
  // The root hub's name as its host controller reports it (no "\\?\").
  std::string RootHubName(UsbNodeId rootHub) const;

  // The platform interfaces over this topology. Interfaces() lists the hub
  // interface class itself and hands every other class to the world's.
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
  // Adds `device` on `port` of `hub`; throws std::invalid_argument when the
  // hub has no such free port.
  UsbNodeId PlugInto(UsbNodeId hub, int port, UsbNode device);
  bool Present(UsbNodeId id) const;
  std::string LocationInformation(UsbNodeId id) const;
  const UsbNode* PresentNode(platform::DevNode node) const;
  std::string NextDriverKey();
  void NoteDeparture(const char* kind, std::string detail) const;
  // The whole answer of the node's driver to a request, before it is cut to
  // the caller's buffer; false when the driver refuses it.
  bool Answer(UsbNodeId id, std::uint32_t code, std::span<const std::uint8_t> in,
              std::uint32_t outSize, std::vector<std::uint8_t>& answer) const;
  bool AnswerRootHubName(UsbNodeId controller, std::vector<std::uint8_t>& answer) const;
  bool AnswerDriverKey(const UsbNode& hub, std::span<const std::uint8_t> in,
                       std::vector<std::uint8_t>& answer) const;

  World& world_;
  std::vector<UsbNode> nodes_;
  std::map<platform::DeviceHandle, OpenNode> handles_;
  std::map<platform::InterfaceSet, std::vector<std::string>> sets_;
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
