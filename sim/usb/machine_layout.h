#pragma once
// The machine a fleet's printer-class printers are attached to: the Windows
// it runs (32- or 64-bit), the host controllers with their root hubs, the
// external hubs on given ports, and the socket of each printer, with the
// driver service that runs every controller and hub. A world without host
// controllers gets the simple bus LibraryWorld lays out from its printers
// alone.
//
//   layout.hostControllers.push_back({.name = "xhci", .ports = 4, .drivers = kXhciDrivers});
//   layout.hubs.push_back({.name = "desk", .hub = "xhci", .port = 4, .ports = 4});
//   layout.sockets["rk-l5200"] = {.hub = "desk", .port = 2};
//   BuildUsbTopology(layout, world, usb);  // usb_topology.h
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nolpa::sim {

// The driver services that run a host controller and the hubs below it:
// the older USB 2 stack ("usbuhci", "usbhub"), an xHCI controller on
// Windows 8 and later ("USBXHCI", "USBHUB3" for its root hub and every hub
// below), or a vendor's USB 3 stack on Windows 7 ("iusb3xhc", "iusb3hub").
struct HostControllerDrivers {
  std::string controllerService = "usbuhci";
  std::string hubService = "usbhub";
  // A USB 3 root hub: its instance identifier is "USB\ROOT_HUB30\...".
  bool usb3 = false;
  friend bool operator==(const HostControllerDrivers&, const HostControllerDrivers&) = default;
};

// An xHCI controller as Windows 8 and later run it: USBHUB3 for its root
// hub and every hub below.
inline const HostControllerDrivers kXhciDrivers{"USBXHCI", "USBHUB3", true};

// A hub's driver misbehaving for a while: a fleet's "faults" of a hub (or of
// a host controller, for its own and its root hub's requests). The counters
// count control requests to the hub from when the switch was set (a fleet's
// load), like a device's counted faults; they are not part of what a fleet
// describes, and equality leaves them out.
struct HubFaults {
  // The hub is unplugged right after it answered its `after`-th control
  // request, with everything below it, and plugged in again (a new
  // generation) after `backAfterRequests` more requests to the machine (any
  // request of the world or the bus) or `backAfterMs` ms, whichever is
  // given; neither: it stays away.
  struct Drop {
    std::uint32_t after = 1;
    std::optional<std::uint32_t> backAfterRequests{};
    std::optional<std::uint32_t> backAfterMs{};
    std::uint32_t seen = 0;
    friend bool operator==(const Drop& a, const Drop& b) {
      return a.after == b.after && a.backAfterRequests == b.backAfterRequests &&
             a.backAfterMs == b.backAfterMs;
    }
  };
  // Control requests numbered after + 1 to after + count fail (the driver
  // refuses them, returning nothing), then the hub answers again; with
  // `code`, only requests of that code are counted and failed.
  struct Fail {
    std::uint32_t after = 0;
    std::uint32_t count = 1;
    std::optional<std::uint32_t> code{};
    std::uint32_t seen = 0;
    friend bool operator==(const Fail& a, const Fail& b) {
      return a.after == b.after && a.count == b.count && a.code == b.code;
    }
  };
  std::optional<Drop> drop{};
  std::optional<Fail> fail{};
  friend bool operator==(const HubFaults&, const HubFaults&) = default;
};

struct UsbHostControllerLayout {
  std::string name{};  // names its root hub for hubs and sockets
  int number = 0;      // "\\.\HCD<number>"
  int ports = 4;       // of its root hub
  HostControllerDrivers drivers{};
  // Also reached as "\\.\HCD<number>"; either way it is listed in the
  // interface class GUID_DEVINTERFACE_USB_HOST_CONTROLLER.
  bool hcdName = true;
  // An xHCI root hub's ports of both kinds: the last `superSpeedPorts` of
  // its `ports` are SuperSpeed ports, and SuperSpeed port ports - n + k
  // shares its connector with USB 2 port k.
  int superSpeedPorts = 0;
  // Without a root hub (removed or stopped), the controller answers the
  // root-hub-name request with success and an empty name.
  bool rootHub = true;
  HubFaults faults{};
  friend bool operator==(const UsbHostControllerLayout&, const UsbHostControllerLayout&) = default;
};

struct UsbHubLayout {
  std::string name;
  std::string hub;  // the hub or host controller (its root hub) it is plugged into
  int port = 0;
  int ports = 4;
  std::string service{};  // empty: the service of the hub it hangs on
  // A USB 3 hub: a SuperSpeed hub on the SuperSpeed side of its connector
  // (where it has one) and a USB 2 hub on the USB 2 side, each of `ports`.
  bool usb3 = false;
  // Unplugged, it takes everything below it with it (World::Unplug).
  bool plugged = true;
  HubFaults faults{};
  // How often it was plugged in: a handle opened on it, or on a hub below,
  // before it last came back is dead. The world's bookkeeping, left out of
  // equality.
  std::uint32_t generation = 1;
  friend bool operator==(const UsbHubLayout& a, const UsbHubLayout& b) {
    return a.name == b.name && a.hub == b.hub && a.port == b.port && a.ports == b.ports &&
           a.service == b.service && a.usb3 == b.usb3 && a.plugged == b.plugged &&
           a.faults == b.faults;
  }
};

// Where a printer-class printer is plugged in. A composite printer is a
// function of a composite device ("usbccgp") on that port; printers that
// name the same composite socket are functions of one device.
struct UsbSocket {
  std::string hub;
  int port = 0;
  bool composite = false;
  // A SuperSpeed printer: on the SuperSpeed side of the connector where it
  // has one; any other is on the USB 2 side, whichever port the socket names.
  bool superSpeed = false;
  friend bool operator==(const UsbSocket&, const UsbSocket&) = default;
};

struct MachineLayout {
  // 64-bit Windows: two registry views, and a spooler whose drivers are of
  // the environment "Windows x64".
  bool windows64 = false;
  std::vector<UsbHostControllerLayout> hostControllers;
  std::vector<UsbHubLayout> hubs;
  std::map<std::string, UsbSocket> sockets;  // by printer-class device name

  bool HasBus() const { return !hostControllers.empty(); }
  // True when `name` is a host controller's or a hub's name.
  bool NamesHub(const std::string& name) const;
  // The hub (not a host controller) of that name, or null.
  UsbHubLayout* FindHub(std::string_view name);
  const UsbHubLayout* FindHub(std::string_view name) const;
  // Whether the hub or host controller `name` and every hub above it are
  // plugged in (true for a name that is no hub).
  bool HubPresent(const std::string& name) const;
  friend bool operator==(const MachineLayout&, const MachineLayout&) = default;
};

}  // namespace nolpa::sim
