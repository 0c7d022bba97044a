#include "serial_library/usb_hub_requests.h"

#include <vector>

namespace nolpa::morvalib {

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le32(const Bytes& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One request with `request` as input (none when empty) and an output
// buffer of `outSize` bytes; the bytes the driver filled in, or nothing.
std::optional<Bytes> Ask(platform::UsbHubFiles& files, platform::DeviceHandle handle,
                         std::uint32_t code, const Bytes& request, std::uint32_t outSize) {
  Bytes out(outSize, 0);
  std::uint32_t returned = 0;
  const bool ok =
      files.IoControl(handle, code, request.empty() ? nullptr : request.data(),
                      static_cast<std::uint32_t>(request.size()), out.data(), outSize, &returned);
  if (!ok || returned > outSize) return std::nullopt;
  out.resize(returned);
  return out;
}

// The UTF-16 text from `offset`, narrowed to the low byte of each code unit,
// up to the first unit whose low byte is zero or the end of `bytes`: a
// narrowed name is opened and compared as a C string, which would end there.
std::string NarrowName(const Bytes& bytes, std::size_t offset) {
  std::string text;
  for (std::size_t at = offset; at + 1 < bytes.size(); at += 2) {
    if (bytes[at] == 0) break;
    text += static_cast<char>(bytes[at]);
  }
  return text;
}

// A whole-answer size read from a fixed-size answer: it must cover at least
// the fixed part and stay within reason.
std::optional<std::uint32_t> WholeSize(const Bytes& answer, std::size_t at,
                                       std::uint32_t fixedSize) {
  if (answer.size() < at + 4) return std::nullopt;
  const std::uint32_t size = Le32(answer, at);
  if (size < fixedSize || size > kMaxNameAnswer) return std::nullopt;
  return size;
}

}  // namespace

std::optional<std::string> RootHubName(platform::UsbHubFiles& files,
                                       platform::DeviceHandle controller) {
  const auto head = Ask(files, controller, kIoctlRootHubName, {}, kRootHubNameSize);
  if (!head) return std::nullopt;
  const auto size = WholeSize(*head, 0, kRootHubNameSize);
  if (!size) return std::nullopt;
  const auto whole = Ask(files, controller, kIoctlRootHubName, {}, *size);
  if (!whole) return std::nullopt;
  return NarrowName(*whole, kRootHubNameTextOffset);
}

std::optional<int> HubPortCount(platform::UsbHubFiles& files, platform::DeviceHandle hub) {
  const Bytes request(kNodeInformationSize, 0);
  const auto answer = Ask(files, hub, kIoctlNodeInformation, request, kNodeInformationSize);
  if (!answer || answer->size() <= kNodePortCountOffset) return std::nullopt;
  if (Le32(*answer, 0) != kNodeTypeHub) return std::nullopt;
  return (*answer)[kNodePortCountOffset];
}

std::optional<std::string> PortDriverKey(platform::UsbHubFiles& files, platform::DeviceHandle hub,
                                         std::uint32_t port) {
  // A buffer that holds any usual driver key saves the request for the size.
  Bytes request(kPortDriverKeyFirstAsk, 0);
  PutLe32(request, 0, port);
  const auto head = Ask(files, hub, kIoctlPortDriverKey, request, kPortDriverKeyFirstAsk);
  if (!head) return std::nullopt;
  const auto size = WholeSize(*head, kPortDriverKeyLengthOffset, kPortDriverKeySize);
  if (!size) return std::nullopt;
  if (*size <= head->size()) return NarrowName(*head, kPortDriverKeyTextOffset);
  request.resize(*size, 0);
  const auto whole = Ask(files, hub, kIoctlPortDriverKey, request, *size);
  if (!whole || whole->size() < *size) return std::nullopt;
  return NarrowName(*whole, kPortDriverKeyTextOffset);
}

}  // namespace nolpa::morvalib
