// The USB host controller and hub drivers of the simulated topology: the
// controller names its root hub, a hub reports its port count and the
// driver key of the device on each port, with the request buffers laid out
// as usbioctl.h defines them (byte-packed, names in UTF-16).
#include <cstdio>
#include <cstring>

#include "sim/usb/usb_topology.h"

namespace nolpa::sim {

namespace {

using Bytes = std::vector<std::uint8_t>;

// USB_ROOT_HUB_NAME {ULONG ActualLength; WCHAR RootHubName[1];}.
constexpr std::uint32_t kRootHubNameFixed = 6;
// USB_NODE_INFORMATION {USB_HUB_NODE NodeType; USB_HUB_INFORMATION}: 4 + the
// 71-byte hub descriptor + HubIsBusPowered.
constexpr std::uint32_t kNodeInformationSize = 76;
// USB_NODE_CONNECTION_DRIVERKEY_NAME {ULONG ConnectionIndex; ULONG
// ActualLength; WCHAR DriverKeyName[1];}.
constexpr std::uint32_t kDriverKeyFixed = 10;
constexpr std::uint8_t kHubDescriptorType = 0x29;

void PutLe32(Bytes& bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The name as UTF-16 code units with their NUL.
Bytes WideName(const std::string& name) {
  Bytes wide;
  for (char c : name) {
    wide.push_back(static_cast<std::uint8_t>(c));
    wide.push_back(0);
  }
  wide.insert(wide.end(), {0, 0});
  return wide;
}

Bytes NodeInformation(int ports) {
  Bytes info;
  PutLe32(info, 0);  // UsbHub
  // USB_HUB_DESCRIPTOR: length, type, bNumberOfPorts, wHubCharacteristics,
  // bPowerOnToPowerGood, bHubControlCurrent, bRemoveAndPowerMask[64].
  info.push_back(static_cast<std::uint8_t>(7 + 2 * ((ports + 8) / 8)));
  info.push_back(kHubDescriptorType);
  info.push_back(static_cast<std::uint8_t>(ports));
  info.resize(kNodeInformationSize, 0);  // the rest, and bus-powered FALSE
  return info;
}

std::uint32_t Le32(std::span<const std::uint8_t> in) {
  return in[0] | in[1] << 8 | in[2] << 16 | static_cast<std::uint32_t>(in[3]) << 24;
}

std::string DescribeRequest(std::uint32_t code, std::size_t inSize, std::uint32_t outSize) {
  char text[64];
  std::snprintf(text, sizeof text, "code 0x%06X in %zu out %u", static_cast<unsigned>(code), inSize,
                static_cast<unsigned>(outSize));
  return text;
}

}  // namespace

platform::DeviceHandle UsbTopology::Open(const std::string& path) {
  world_.Touch(false);
  for (UsbNodeId id = 0; id < nodes_.size(); ++id) {
    const UsbNode& n = nodes_[id];
    const bool named = n.hostController >= 0
                           ? SameName(path, "\\\\.\\HCD" + std::to_string(n.hostController))
                           : !n.interfacePath.empty() && SameName(path, n.interfacePath);
    if (named && Present(id)) {
      const platform::DeviceHandle handle = nextHandle_;
      nextHandle_ += 4;
      handles_[handle] = {id, Generations(id)};
      return handle;
    }
  }
  return platform::kInvalidDeviceHandle;
}

void UsbTopology::Close(platform::DeviceHandle handle) { handles_.erase(handle); }

bool UsbTopology::IoControl(platform::DeviceHandle handle, std::uint32_t code, const void* in,
                            std::uint32_t inSize, void* out, std::uint32_t outSize,
                            std::uint32_t* returned) {
  if (returned) *returned = 0;
  world_.Touch(false);
  const auto it = handles_.find(handle);
  // A handle of a hub that has gone, or has come back since, is dead.
  if (it == handles_.end() || !Present(it->second.node) ||
      Generations(it->second.node) != it->second.generations)
    return false;
  const UsbNodeId id = it->second.node;
  // Kept as long as the world records requests: off in long runs.
  if (world_.Recorder().Enabled())
    requests_.push_back(std::to_string(code) + " " + nodes_[id].instanceId);
  const auto* bytes = static_cast<const std::uint8_t*>(in);
  const std::span<const std::uint8_t> request(bytes, bytes ? inSize : 0);
  Bytes answer;
  const bool ok = Answer(id, code, request, out ? outSize : 0, answer);
  const std::uint32_t count = ok ? std::min<std::uint32_t>(outSize, answer.size()) : 0;
  if (count > 0) std::memcpy(out, answer.data(), count);
  if (returned) *returned = count;
  CountTowardsDrop(nodes_[id]);
  return ok;
}

HubFaults* UsbTopology::FaultsOf(const UsbNode& node) {
  MachineLayout& machine = world_.Machine();
  if (node.layoutHub >= 0 && static_cast<std::size_t>(node.layoutHub) < machine.hubs.size())
    return &machine.hubs[static_cast<std::size_t>(node.layoutHub)].faults;
  const auto controller = static_cast<std::size_t>(node.layoutController);
  if (node.layoutController >= 0 && controller < machine.hostControllers.size())
    return &machine.hostControllers[controller].faults;
  return nullptr;
}

void UsbTopology::CountTowardsDrop(const UsbNode& node) {
  HubFaults* faults = FaultsOf(node);
  const UsbHubLayout* hub = LayoutHub(node);
  if (faults == nullptr || hub == nullptr || !faults->drop) return;
  HubFaults::Drop& drop = *faults->drop;
  if (++drop.seen != drop.after) return;
  world_.UnplugFor(hub->name, drop.backAfterRequests, drop.backAfterMs);
}

bool UsbTopology::Answer(UsbNodeId id, std::uint32_t code, std::span<const std::uint8_t> in,
                         std::uint32_t outSize, Bytes& answer) const {
  const UsbNode& node = nodes_[id];
  const bool controller = node.hostController >= 0;
  const bool known =
      code == kIoctlUsbRootHubName || (!controller && code == kIoctlUsbPortDriverKey);
  if (!known) {
    NoteDeparture(departure::kUnknownIoctl, DescribeRequest(code, in.size(), outSize));
    return false;
  }
  const std::uint32_t fixed = controller                         ? kRootHubNameFixed
                              : code == kIoctlUsbNodeInformation ? kNodeInformationSize
                                                                 : kDriverKeyFixed;
  // The controller takes no input; a hub reads its request from the input.
  if (outSize < fixed || (!controller && in.size() < fixed)) {
    NoteDeparture(departure::kIoctlBufferSize, DescribeRequest(code, in.size(), outSize));
    return false;
  }
  for (std::uint32_t refused : node.refusedCodes)
    if (refused == code) return false;
  if (controller) return AnswerRootHubName(id, answer);
  if (code == kIoctlUsbNodeInformation) {
    answer = NodeInformation(node.ports);
    return true;
  }
  return AnswerDriverKey(node, in, answer);
}

bool UsbTopology::AnswerRootHubName(UsbNodeId controller, Bytes& answer) const {
  for (UsbNodeId id = 0; id < nodes_.size(); ++id) {
    if (nodes_[id].parent != controller || nodes_[id].ports == 0) continue;
    const Bytes name = WideName(RootHubName(id));
    PutLe32(answer, static_cast<std::uint32_t>(4 + name.size()));
    answer.insert(answer.end(), name.begin(), name.end());
    return true;
  }
  return false;
}

bool UsbTopology::AnswerDriverKey(const UsbNode& hub, std::span<const std::uint8_t> in,
                                  Bytes& answer) const {
  const std::uint32_t port = Le32(in);
  if (port < 1 || port > static_cast<std::uint32_t>(hub.ports)) {
    NoteDeparture(departure::kHubPortOutOfRange, hub.instanceId + " port " + std::to_string(port));
    return false;
  }
  const auto it = hub.onPort.find(static_cast<int>(port));
  // An empty port, or a device that has gone: the hub has no driver key.
  if (it == hub.onPort.end() || !Present(it->second)) return false;
  const Bytes name = WideName(nodes_[it->second].driverKey);
  PutLe32(answer, port);
  PutLe32(answer, static_cast<std::uint32_t>(8 + name.size()));
  answer.insert(answer.end(), name.begin(), name.end());
  return true;
}

}  // namespace nolpa::sim
