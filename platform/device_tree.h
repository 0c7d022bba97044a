#pragma once
// The system's device tree, as the configuration manager shows it: device
// nodes found by instance identifier, their parents and two of their
// registry properties. Real implementation: CM_Locate_DevNodeA /
// CM_Get_Parent / CM_Get_DevNode_Registry_PropertyA. The simulator
// implements the same contract.
#include <cstdint>
#include <string>

namespace nolpa::platform {

// Opaque device node (a DEVINST): valid while the device stays present.
using DevNode = std::uint32_t;

// The registry properties of a node the library and the console read.
enum class NodeProperty {
  Service,  // CM_DRP_SERVICE: the name of the node's driver service ("usbhub")
  Driver,   // CM_DRP_DRIVER: the node's driver key name ("{class guid}\0003")
  // CM_DRP_LOCATION_INFORMATION: where a USB device is plugged in, as the
  // USB hub driver names it ("Port_#0002.Hub_#0003").
  LocationInformation,
};

class DeviceTree {
 public:
  virtual ~DeviceTree() = default;

  // CM_Locate_DevNodeA with CM_LOCATE_DEVNODE_NORMAL: the node of the present
  // device whose instance identifier is `instanceId` (compared without
  // regard to case). False when there is no such present device.
  virtual bool LocateNode(const std::string& instanceId, DevNode* node) = 0;

  // CM_Get_Parent: the node `node` hangs off. False for the root of the tree
  // or a node that is no longer present.
  virtual bool Parent(DevNode node, DevNode* parent) = 0;

  // CM_Get_DevNode_Registry_PropertyA into a buffer of kMaxPropertyText
  // bytes: the property's text without its NUL. False when the node has no
  // such property, it is not a text, or it does not fit.
  virtual bool Property(DevNode node, NodeProperty property, std::string* value) = 0;

  static constexpr std::uint32_t kMaxPropertyText = 512;
};

}  // namespace nolpa::platform
