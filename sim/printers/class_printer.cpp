#include "sim/printers/class_printer.h"

#include <algorithm>
#include <string>

namespace nolpa::sim {
namespace {
// The length field is 16 bits wide and counts its own two bytes.
constexpr std::size_t kMaxDeviceIdText = 0xFFFF - 2;
// LPT status: selected, no error (0x08), paper present.
constexpr std::uint8_t kLptStatusReady = 0x18;
constexpr std::uint8_t kLptNoError = 0x08;

// The value of `key` ("CMD:") in a device ID, up to its ";" or the end.
std::string_view DeviceIdValue(std::string_view deviceId, std::string_view key) {
  const std::size_t at = deviceId.find(key);
  if (at == std::string_view::npos) return {};
  const std::string_view rest = deviceId.substr(at + key.size());
  return rest.substr(0, rest.find(';'));
}

// True when the device ID's "CMD:" value lists "D4".
bool OffersD4(std::string_view deviceId) {
  return DeviceIdValue(deviceId, "CMD:").find("D4") != std::string_view::npos;
}
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
      seat_(config.spoolerSeat),
      peripheral_(OffersD4(config.deviceId),
                  ClassPrinterCommands(config.serial, config.firmware,
                                       ModelBytesFor(DeviceIdValue(config.deviceId, "MDL:")))) {
  peripheral_.SetDepartureSink([this](std::string_view kind, std::string detail) {
    NoteDeparture(kind, std::move(detail));
  });
}

void ClassPrinter::SetDeviceId(std::string deviceId) {
  deviceId_ = std::move(deviceId);
  peripheral_.SetOffersPacketProtocol(OffersD4(deviceId_));
  peripheral_.Commands().SetModel(ModelBytesFor(DeviceIdValue(deviceId_, "MDL:")));
}

void ClassPrinter::SetSerial(std::string serial) {
  peripheral_.Commands().SetSerial(std::move(serial));
  NotifyStateChanged();
}

// What the printer had queued for the host is lost with its power.
void ClassPrinter::PowerCycle() {
  channel_.Clear();
  if (peripheral_.PowerCycle()) NotifyStateChanged();
}

void ClassPrinter::OnUnplugged() { PowerCycle(); }

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

std::optional<std::uint32_t> ClassPrinter::Read(std::uint8_t* buffer, std::uint32_t size) {
  const PeripheralFaults& faults = Faults().peripheral;
  std::uint32_t taken = 0;
  if (faults.usbPacketSize != 0) {
    const ReplyChannel::Transfer got =
        channel_.TakeTransfer(Now(), buffer, size, faults.usbPacketSize, Faults().channel);
    if (got.overrun != 0) {
      NoteDeparture(departure::kTransferOverrun, "packet of " + std::to_string(got.overrun) +
                                                     " bytes, read of " + std::to_string(size));
      return std::nullopt;
    }
    taken = got.count;
  } else {
    taken = TakePieces(buffer, size);
  }
  if (taken == 0 && faults.lostInFlightMs != 0) channel_.LoseInFlight(Now(), faults.lostInFlightMs);
  return taken;
}

std::optional<std::uint64_t> ClassPrinter::NextArrivalMs() {
  return channel_.NextDueMs(Now(), Faults().channel).value_or(kNoArrival);
}

// A stream of bytes, handed out in pieces of 1, 2, ... bytes where the
// printer is made to.
std::uint32_t ClassPrinter::TakePieces(std::uint8_t* buffer, std::uint32_t size) {
  const std::uint8_t pieces = Faults().peripheral.readPieces;
  if (pieces == 0) return channel_.Take(Now(), buffer, size, Faults().channel);
  if (nextPiece_ == 0 || nextPiece_ > pieces) nextPiece_ = 1;
  const std::uint32_t taken =
      channel_.Take(Now(), buffer, std::min<std::uint32_t>(size, nextPiece_), Faults().channel);
  if (taken > 0) ++nextPiece_;
  return taken;
}

void ClassPrinter::Write(std::span<const std::uint8_t> data) {
  received_.insert(received_.end(), data.begin(), data.end());
  const std::optional<std::string> pending = peripheral_.Commands().PendingSerial();
  std::vector<std::uint8_t> out;
  std::vector<D4Peripheral::Delay> delays;
  peripheral_.Receive(data, Faults().peripheral, out, &delays);
  QueueOutput(out, delays);
  if (peripheral_.Commands().PendingSerial() != pending) NotifyStateChanged();
}

// Each late part, and everything after it, reaches the host its delay later.
void ClassPrinter::QueueOutput(const std::vector<std::uint8_t>& out,
                               const std::vector<D4Peripheral::Delay>& delays) {
  std::uint64_t at = Now();
  std::size_t from = 0;
  for (const D4Peripheral::Delay& delay : delays) {
    if (delay.at > from)
      channel_.QueueReply(std::vector<std::uint8_t>(out.begin() + from, out.begin() + delay.at), at,
                          Faults().channel);
    at += delay.ms;
    from = delay.at;
  }
  if (from < out.size())
    channel_.QueueReply(std::vector<std::uint8_t>(out.begin() + from, out.end()), at,
                        Faults().channel);
}

void ClassPrinter::ControlCommand(std::span<const std::uint8_t> command,
                                  std::vector<std::uint8_t>& reply) {
  const std::optional<std::string> pending = peripheral_.Commands().PendingSerial();
  peripheral_.Commands().Receive(command, Faults().peripheral, reply);
  if (peripheral_.Commands().PendingSerial() != pending) NotifyStateChanged();
}

bool ClassPrinter::IoControl(std::uint32_t code, std::span<const std::uint8_t>,
                             std::vector<std::uint8_t>& answer) {
  switch (code) {
    case kIoctlUsbPrint1284Id: answer = DeviceIdReply(); return true;
    case kIoctlUsbPrintLptStatus:
      answer = {static_cast<std::uint8_t>(
          Faults().peripheral.lptError ? kLptStatusReady & ~kLptNoError : kLptStatusReady)};
      return true;
    default: return false;
  }
}

}  // namespace nolpa::sim
