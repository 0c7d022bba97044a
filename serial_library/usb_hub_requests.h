#pragma once
// The USB host controller and hub requests the printer lookup makes, with
// the request buffers laid out as the system's USB stack defines them
// (usbioctl.h, byte-packed; names in them are UTF-16, narrowed here to the
// low byte of each code unit).
#include <cstdint>
#include <optional>
#include <string>

#include "platform/usb_hub_files.h"

namespace nolpa::morvalib {

// IOCTL_USB_GET_ROOT_HUB_NAME, asked of a host controller, and
// IOCTL_USB_GET_NODE_INFORMATION, asked of a hub, share one code.
inline constexpr std::uint32_t kIoctlRootHubName = 0x220408;
inline constexpr std::uint32_t kIoctlNodeInformation = 0x220408;
// IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, asked of a hub.
inline constexpr std::uint32_t kIoctlPortDriverKey = 0x220420;

// USB_ROOT_HUB_NAME: ULONG ActualLength (the size the whole answer needs),
// WCHAR RootHubName[1].
inline constexpr std::uint32_t kRootHubNameSize = 6;
inline constexpr std::uint32_t kRootHubNameTextOffset = 4;
// USB_NODE_INFORMATION: USB_HUB_NODE NodeType (UsbHub = 0), then the hub
// descriptor (bDescriptorLength, bDescriptorType, bNumberOfPorts, ...) of
// USB_HUB_INFORMATION; 4 + 71 + 1 bytes.
inline constexpr std::uint32_t kNodeInformationSize = 76;
inline constexpr std::uint32_t kNodeTypeHub = 0;
inline constexpr std::uint32_t kNodePortCountOffset = 6;
// USB_NODE_CONNECTION_DRIVERKEY_NAME: ULONG ConnectionIndex (the port, from
// 1), ULONG ActualLength, WCHAR DriverKeyName[1].
inline constexpr std::uint32_t kPortDriverKeySize = 10;
inline constexpr std::uint32_t kPortDriverKeyLengthOffset = 4;
inline constexpr std::uint32_t kPortDriverKeyTextOffset = 8;
// The buffer a driver key is first asked into: room for a key of 120
// characters ("{36FC9E60-C465-11CF-8056-444553540000}\0003" has 43). A
// longer one is asked for again in a buffer of the size the answer gives.
inline constexpr std::uint32_t kPortDriverKeyFirstAsk = kPortDriverKeyTextOffset + 2 * 120;
// Longest answer the lookup accepts for a name: a real one is far shorter.
inline constexpr std::uint32_t kMaxNameAnswer = 4096;

// The root hub's name (without "\\?\") of the host controller open on
// `controller`: the fixed-size answer for the length, then the whole answer.
// Nothing when either request fails or the answer is malformed.
std::optional<std::string> RootHubName(platform::UsbHubFiles& files,
                                       platform::DeviceHandle controller);

// The number of ports of the hub open on `hub`; nothing when the request
// fails, the answer is short or the node is not a hub.
std::optional<int> HubPortCount(platform::UsbHubFiles& files, platform::DeviceHandle hub);

// The driver key name of the device on port `port` (from 1) of the hub open
// on `hub`: asked into kPortDriverKeyFirstAsk bytes, and again into the
// size the answer gives when the key did not fit. Nothing when a request
// fails (no device there, say) or an answer falls short of its size.
std::optional<std::string> PortDriverKey(platform::UsbHubFiles& files, platform::DeviceHandle hub,
                                         std::uint32_t port);

}  // namespace nolpa::morvalib
