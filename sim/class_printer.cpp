#include "sim/class_printer.h"

#include <algorithm>

namespace nolpa::sim {
namespace {
// The length field is 16 bits wide and counts its own two bytes.
constexpr std::size_t kMaxDeviceIdText = 0xFFFF - 2;
// LPT status: selected, no error, paper present.
constexpr std::uint8_t kLptStatusReady = 0x18;
}  // namespace

ClassPrinter::ClassPrinter(const ClassPrinterConfig& config)
    : SimDevice(config.name, DeviceKind::PrinterClass),
      interfacePath_(config.interfacePath.empty()
                         ? MakeInterfacePath(config.vendorId, config.productId, config.serial,
                                             config.name, kUsbPrintInterfaceGuid)
                         : config.interfacePath),
      vendorId_(config.vendorId),
      productId_(config.productId),
      deviceId_(config.deviceId),
      serial_(config.serial),
      firmware_(config.firmware) {}

void ClassPrinter::SetSerial(std::string serial) {
  serial_ = std::move(serial);
  NotifyStateChanged();
}

std::vector<std::uint8_t> ClassPrinter::DeviceIdReply() const {
  const std::size_t textSize = std::min(deviceId_.size(), kMaxDeviceIdText);
  const std::size_t length = textSize + 2;
  std::vector<std::uint8_t> reply;
  reply.reserve(length + 1);
  reply.push_back(static_cast<std::uint8_t>(length >> 8));
  reply.push_back(static_cast<std::uint8_t>(length & 0xFF));
  reply.insert(reply.end(), deviceId_.begin(), deviceId_.begin() + textSize);
  reply.push_back(0);
  return reply;
}

bool ClassPrinter::AnswersToPath(std::string_view path) const {
  return SameName(path, interfacePath_);
}

std::uint32_t ClassPrinter::Read(std::uint8_t* buffer, std::uint32_t size) {
  return channel_.Take(Now(), buffer, size, Faults().channel);
}

void ClassPrinter::Write(std::span<const std::uint8_t> data) {
  received_.insert(received_.end(), data.begin(), data.end());
}

bool ClassPrinter::IoControl(std::uint32_t code, std::span<const std::uint8_t>,
                             std::vector<std::uint8_t>& answer) {
  switch (code) {
    case kIoctlUsbPrint1284Id:
      answer = DeviceIdReply();
      return true;
    case kIoctlUsbPrintLptStatus:
      answer = {kLptStatusReady};
      return true;
    default:
      return false;
  }
}

}  // namespace nolpa::sim
