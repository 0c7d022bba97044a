// The hub driver's requests about one of its ports: the driver key of the
// device on it and the name of a hub on it, what is connected there, and,
// since Windows 8, the port sharing its connector and the protocols it
// speaks.
#include "sim/core/usb_descriptors.h"
#include "sim/usb/usb_request_bytes.h"
#include "sim/usb/usb_topology.h"

namespace nolpa::sim {
namespace {

using namespace usb_bytes;

constexpr std::uint32_t kConnectionInformationSize = 35;
constexpr std::uint8_t kHubClass = 0x09;
constexpr std::uint8_t kUsbHighSpeed = 2;        // USB_DEVICE_SPEED
constexpr std::uint32_t kDeviceConnected = 1;    // USB_CONNECTION_STATUS
constexpr std::uint32_t kUserConnectable = 0x1;  // USB_PORT_PROPERTIES
constexpr std::uint32_t kUsb110 = 0x1;           // USB_PROTOCOLS
constexpr std::uint32_t kUsb200 = 0x2;
constexpr std::uint32_t kUsb300 = 0x4;
constexpr std::uint32_t kAtSuperSpeed = 0x1;  // USB_NODE_CONNECTION_INFORMATION_EX_V2_FLAGS
constexpr std::uint32_t kSuperSpeedCapable = 0x2;
constexpr std::uint32_t kProtocolsSize = 16;

// {ULONG ConnectionIndex; ULONG ActualLength; WCHAR Name[]}.
Bytes PortName(std::uint32_t port, const std::string& name) {
  const Bytes wide = WideName(name);
  Bytes answer;
  PutLe32(answer, port);
  PutLe32(answer, static_cast<std::uint32_t>(8 + wide.size()));
  answer.insert(answer.end(), wide.begin(), wide.end());
  return answer;
}

// A hub's name as the hub driver gives it: its interface path without "\\?\".
std::string SymbolicName(const UsbNode& hub) { return hub.interfacePath.substr(4); }

}  // namespace

bool UsbTopology::AnswerPortRequest(const UsbNode& hub, std::uint32_t code,
                                    std::span<const std::uint8_t> in, Bytes& answer) const {
  const std::uint32_t port = Le32(in);
  if (port < 1 || port > static_cast<std::uint32_t>(hub.ports)) {
    NoteDeparture(departure::kHubPortOutOfRange, hub.instanceId + " port " + std::to_string(port));
    return false;
  }
  const auto held = hub.onPort.find(static_cast<int>(port));
  // 0 (the tree's root, never on a port): an empty port, or a device gone.
  const UsbNodeId device =
      held != hub.onPort.end() && Present(held->second) ? held->second : UsbNodeId{0};
  switch (code) {
    case kIoctlUsbPortDriverKey:
      if (device == 0) return false;  // nothing there has a driver key
      answer = PortName(port, nodes_[device].driverKey);
      return true;
    case kIoctlUsbPortHubName:
      answer = PortName(port, device != 0 && nodes_[device].ports > 0 ? SymbolicName(nodes_[device])
                                                                      : std::string());
      return true;
    case kIoctlUsbPortConnection: answer = ConnectionInformation(port, device); return true;
    case kIoctlUsbPortConnector: answer = ConnectorProperties(hub, port, in); return true;
    default: return AnswerProtocols(hub, port, device, in, answer);
  }
}

// The device's descriptor as it gave it at enumeration; the speed field
// tells no more than high speed (the protocols request tells SuperSpeed).
Bytes UsbTopology::ConnectionInformation(std::uint32_t port, UsbNodeId device) const {
  Bytes info;
  PutLe32(info, port);
  if (device == 0) {  // only the port, no device connected
    info.resize(kConnectionInformationSize, 0);
    return info;
  }
  const UsbNode& node = nodes_[device];
  const bool hub = node.ports > 0;
  // A composite device describes itself as its printer function does.
  const ClassPrinter* printer = node.printer;
  for (const UsbNode& function : nodes_)
    if (printer == nullptr && !hub && function.parent == device) printer = function.printer;
  UsbDeviceInfo usb;
  usb.vendorId = printer ? printer->VendorId() : 0;
  usb.productId = printer ? printer->ProductId() : !hub ? 2 : node.superSpeed ? 3 : 1;
  usb.bcdUsb = node.superSpeed ? 0x0300 : 0x0200;
  Bytes descriptor = DeviceDescriptor(usb);
  if (node.superSpeed) descriptor[7] = 9;  // bMaxPacketSize0: 2 to the 9th
  if (hub) {
    descriptor[4] = kHubClass;
    descriptor[6] = node.superSpeed ? 3 : 1;  // SuperSpeed hub, or high speed with one TT
    descriptor[14] = descriptor[15] = descriptor[16] = 0;  // no strings
  }
  info.insert(info.end(), descriptor.begin(), descriptor.end());
  info.push_back(1);  // CurrentConfigurationValue
  info.push_back(kUsbHighSpeed);
  info.push_back(hub ? 1 : 0);
  PutLe16(info, static_cast<std::uint32_t>(device % 127 + 1));  // DeviceAddress
  PutLe32(info, 0);                                             // NumberOfOpenPipes
  PutLe32(info, kDeviceConnected);
  return info;
}

// A port's companion on the other side of its connector; a CompanionIndex
// past 0 asks for a further one, which no port here has.
Bytes UsbTopology::ConnectorProperties(const UsbNode& hub, std::uint32_t port,
                                       std::span<const std::uint8_t> in) const {
  const std::uint32_t index = in[12] | in[13] << 8;
  const auto companion = hub.companionPort.find(static_cast<int>(port));
  const bool paired = index == 0 && companion != hub.companionPort.end() && hub.companionHub != 0;
  const Bytes name = WideName(paired ? SymbolicName(nodes_[hub.companionHub]) : std::string());
  Bytes answer;
  PutLe32(answer, port);
  PutLe32(answer, static_cast<std::uint32_t>(16 + name.size()));
  PutLe32(answer, kUserConnectable);
  PutLe16(answer, index);
  PutLe16(answer, paired ? static_cast<std::uint32_t>(companion->second) : 0);
  answer.insert(answer.end(), name.begin(), name.end());
  return answer;
}

// The caller names the structure's length and asks for USB 3 at least,
// else Windows refuses the request as an invalid parameter.
bool UsbTopology::AnswerProtocols(const UsbNode& hub, std::uint32_t port, UsbNodeId device,
                                  std::span<const std::uint8_t> in, Bytes& answer) const {
  if (Le32(in, 4) != kProtocolsSize || (Le32(in, 8) & kUsb300) == 0) {
    NoteDeparture(departure::kHubRequestMalformed,
                  hub.instanceId + ": Length " + std::to_string(Le32(in, 4)) + ", protocols " +
                      std::to_string(Le32(in, 8)));
    return false;
  }
  const bool superSpeedPort = hub.superSpeedPorts.count(static_cast<int>(port)) > 0;
  std::uint32_t flags = 0;
  if (device != 0 && nodes_[device].superSpeed)
    flags = kSuperSpeedCapable | (superSpeedPort ? kAtSuperSpeed : 0);
  PutLe32(answer, port);
  PutLe32(answer, kProtocolsSize);
  PutLe32(answer, superSpeedPort ? kUsb300 : kUsb110 | kUsb200);
  PutLe32(answer, flags);
  return true;
}

}  // namespace nolpa::sim
