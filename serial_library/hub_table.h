#pragma once
// The process-wide table of USB hubs that a UsbLocation counts its root hubs
// in (usb_location.h), with the device-tree node of each entry, so that a
// trace can tell the hubs on its way from other nodes without asking the
// configuration manager for every entry on every call.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/device_interfaces.h"
#include "platform/device_tree.h"

namespace nolpa::morvalib {

// {F18A0E88-C30C-11D0-8815-00A0C906BED8}: GUID_DEVINTERFACE_USB_HUB.
inline constexpr platform::Guid kUsbHubInterface = {
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};
// {3ABF6F2D-71C4-462A-8A92-1E6861E6AF27}: GUID_DEVINTERFACE_USB_HOST_CONTROLLER.
inline constexpr platform::Guid kUsbHostControllerInterface = {
    0x3ABF6F2D, 0x71C4, 0x462A, {0x8A, 0x92, 0x1E, 0x68, 0x61, 0xE6, 0xAF, 0x27}};

// Longest hub table entry (256 with its NUL).
inline constexpr std::size_t kMaxHubPath = 255;
// Host controllers asked for their root hub by name: "\\.\HCD0" to "\\.\HCD15".
inline constexpr int kHostControllers = 16;

// One build of the table. Entries, in order: "\\?\" + the root hub name of
// each host controller "\\.\HCD0" to "\\.\HCD15" that names one; the root
// hub of each controller of the host-controller interface class not listed
// yet (machines whose controllers have no such names); every present hub
// of the USB hub interface class not listed yet. Names are compared without
// regard to case; a controller that answers with an empty name has no root
// hub; paths longer than kMaxHubPath, or that yield no instance identifier,
// are left out.
struct HubTableBuild {
  std::vector<std::string> paths;
  // The node each path's device had when the table was built; none where
  // it was not found.
  std::vector<std::optional<platform::DevNode>> nodes;
  // Counts the builds since the library was loaded, from 1.
  std::uint64_t generation = 0;

  // The position of `node` among the entries.
  std::optional<std::size_t> IndexOf(platform::DevNode node) const;
};

// The table in force, built on first use; null while the USB tracing
// services are not installed. Kept until RebuildHubTable or DropHubTable.
std::shared_ptr<const HubTableBuild> CurrentHubTable();
// Builds the table anew from the bus as it is now and puts it in force;
// null without the tracing services.
std::shared_ptr<const HubTableBuild> RebuildHubTable();

// The paths of the table in force (built on first use); empty, and not
// kept, while the tracing services are not installed.
const std::vector<std::string>& HubTable();
// Forgets the table: the next trace builds it again.
void DropHubTable();
// The generation of the table in force; 0 when none is. A caller that
// compares locations traced at different times compares them only when
// this did not change in between: a location's text counts the table.
std::uint64_t HubTableGeneration();

// True when every present interface of the USB hub class is listed in
// `table`: no hub that exposes the interface has come since it was built.
// False when the set cannot be enumerated or an interface cannot be read.
bool ListsEveryHubInterface(const HubTableBuild& table);

}  // namespace nolpa::morvalib
