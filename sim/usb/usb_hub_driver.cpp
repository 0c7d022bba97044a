// The USB host controller and hub drivers of the simulated topology: the
// controller names its root hub, a hub reports its port count and answers
// the requests about its ports (usb_port_requests.cpp), with the request
// buffers laid out as usbioctl.h defines them (byte-packed, names in UTF-16).
#include <cstdio>
#include <cstring>

#include "sim/usb/usb_request_bytes.h"
#include "sim/usb/usb_topology.h"

namespace nolpa::sim {

namespace {

using namespace usb_bytes;

// USB_ROOT_HUB_NAME {ULONG ActualLength; WCHAR RootHubName[1];}.
constexpr std::uint32_t kRootHubNameFixed = 6;
// USB_NODE_INFORMATION {USB_HUB_NODE NodeType; USB_HUB_INFORMATION}: 4 + the
// 71-byte hub descriptor + HubIsBusPowered.
constexpr std::uint32_t kNodeInformationSize = 76;
constexpr std::uint8_t kHubDescriptorType = 0x29;

// The requests a hub answers, with the size of the structure each reads
// from its input and writes to its output (at least its fixed part).
struct HubRequest {
  std::uint32_t code;
  std::uint32_t fixed;
  bool sinceWindows8;  // answered by the "USBHUB3" driver only
};
constexpr HubRequest kHubRequests[] = {
    {kIoctlUsbNodeInformation, kNodeInformationSize, false},
    // USB_NODE_CONNECTION_DRIVERKEY_NAME and USB_NODE_CONNECTION_NAME
    // {ULONG ConnectionIndex; ULONG ActualLength; WCHAR Name[1];}.
    {kIoctlUsbPortDriverKey, 10, false},
    {kIoctlUsbPortHubName, 10, false},
    // USB_NODE_CONNECTION_INFORMATION_EX without pipes: 4 + the 18-byte
    // device descriptor + 1 + 1 + 1 + 2 + 4 + 4.
    {kIoctlUsbPortConnection, 35, false},
    // USB_PORT_CONNECTOR_PROPERTIES {ULONG ConnectionIndex; ULONG
    // ActualLength; ULONG UsbPortProperties; USHORT CompanionIndex; USHORT
    // CompanionPortNumber; WCHAR CompanionHubSymbolicLinkName[1];}.
    {kIoctlUsbPortConnector, 18, true},
    // USB_NODE_CONNECTION_INFORMATION_EX_V2 {ULONG ConnectionIndex; ULONG
    // Length; USB_PROTOCOLS SupportedUsbProtocols; Flags}.
    {kIoctlUsbPortProtocols, 16, true},
};
constexpr char kWindows8HubService[] = "USBHUB3";

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

// Counts a control request against the fault that fails requests for a
// while; true when this one must fail.
bool FailDue(HubFaults& faults, std::uint32_t code) {
  if (!faults.fail || (faults.fail->code && *faults.fail->code != code)) return false;
  HubFaults::Fail& fail = *faults.fail;
  ++fail.seen;
  return fail.seen > fail.after && fail.seen - fail.after <= fail.count;
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
    const bool hcd = n.hostController >= 0 && n.hcdName &&
                     SameName(path, "\\\\.\\HCD" + std::to_string(n.hostController));
    const bool named = hcd || (!n.interfacePath.empty() && SameName(path, n.interfacePath));
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
                         std::uint32_t outSize, Bytes& answer) {
  const UsbNode& node = nodes_[id];
  const bool controller = node.hostController >= 0;
  const HubRequest* request = nullptr;
  for (const HubRequest& r : kHubRequests)
    if (r.code == code) request = &r;
  if (controller ? code != kIoctlUsbRootHubName : request == nullptr) {
    NoteDeparture(departure::kUnknownIoctl, DescribeRequest(code, in.size(), outSize));
    return false;
  }
  const std::uint32_t fixed = controller ? kRootHubNameFixed : request->fixed;
  // The controller takes no input; a hub reads its request from the input.
  if (outSize < fixed || (!controller && in.size() < fixed)) {
    NoteDeparture(departure::kIoctlBufferSize, DescribeRequest(code, in.size(), outSize));
    return false;
  }
  for (std::uint32_t refused : node.refusedCodes)
    if (refused == code) return false;
  if (HubFaults* faults = FaultsOf(node); faults && FailDue(*faults, code)) return false;
  if (controller) return AnswerRootHubName(id, answer);
  // An older hub driver does not know the requests Windows 8 brought.
  if (request->sinceWindows8 && !SameName(node.service, kWindows8HubService)) return false;
  if (code == kIoctlUsbNodeInformation) {
    answer = NodeInformation(node.ports);
    return true;
  }
  return AnswerPortRequest(node, code, in, answer);
}

// A controller whose root hub is removed or stopped answers with success
// and an empty name.
bool UsbTopology::AnswerRootHubName(UsbNodeId controller, Bytes& answer) const {
  std::string rootHub;
  for (UsbNodeId id = 0; id < nodes_.size() && rootHub.empty(); ++id)
    if (nodes_[id].parent == controller && nodes_[id].ports > 0) rootHub = RootHubName(id);
  const Bytes name = WideName(rootHub);
  PutLe32(answer, static_cast<std::uint32_t>(4 + name.size()));
  answer.insert(answer.end(), name.begin(), name.end());
  return true;
}

}  // namespace nolpa::sim
