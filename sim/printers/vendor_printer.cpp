#include "sim/printers/vendor_printer.h"

#include <cstdio>

#include "sim/core/text.h"

namespace nolpa::sim {
namespace {

std::uint16_t Le16(std::span<const std::uint8_t> in) {
  return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

// The buffers the driver defines for each of its requests; it refuses any
// other size.
struct RequestShape {
  std::uint32_t code;
  std::uint32_t inSize;
  std::uint32_t outSize;
};
constexpr RequestShape kRequestShapes[] = {
    {kIoctlDeviceDescriptor, 0, 18}, {kIoctlStringDescriptors, 0, 1024},
    {kIoctlStatusBlock, 0, 4},       {kIoctlIdName, 0, 512},
    {kIoctlSetBoardAddress, 2, 0},   {kIoctlWriteBoardValue, 2, 0},
    {kIoctlFinishBoardWrite, 16, 0},
};

bool IsBoardRequest(std::uint32_t code) {
  return code == kIoctlSetBoardAddress || code == kIoctlWriteBoardValue ||
         code == kIoctlFinishBoardWrite;
}

std::string Hex(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(v));
  return buf;
}

}  // namespace

VendorPrinter::VendorPrinter(const VendorPrinterConfig& config)
    : SimDevice(config.name, config.kind),
      comPort_(config.kind == DeviceKind::VirtualCom ? config.comPort : 0),
      usb_(config.usb),
      serialUnits_(config.serial),
      idNameUnits_(config.idName),
      printed_(config.printed) {
  protocol_.SetDepartureSink([this](std::string_view kind, std::string detail) {
    NoteDeparture(kind, std::move(detail));
  });
  identity_.model = config.model;
  identity_.firmware = config.firmware;
  identity_.identByte = config.identByte;
  identity_.serial = Narrow(serialUnits_);
  identity_.idName = Narrow(idNameUnits_);
  if (config.kind == DeviceKind::VirtualCom) {
    dosTarget_ = config.dosTarget.empty()
                     ? "\\Device\\KolmxSerial" + std::to_string(config.comPort - 1)
                     : config.dosTarget;
  } else {
    interfacePath_ = config.interfacePath.empty()
                         ? MakeInterfacePath(usb_.vendorId, usb_.productId, identity_.serial,
                                             config.name, kVendorInterfaceGuid)
                         : config.interfacePath;
  }
}

void VendorPrinter::SetSerial(std::u16string units) {
  serialUnits_ = std::move(units);
  identity_.serial = Narrow(serialUnits_);
  NotifyStateChanged();
}

void VendorPrinter::SetIdName(std::u16string units) {
  idNameUnits_ = std::move(units);
  identity_.idName = Narrow(idNameUnits_);
  NotifyStateChanged();
}

void VendorPrinter::SetPrinted(std::string text) {
  printed_ = std::move(text);
  NotifyStateChanged();
}

void VendorPrinter::QueueBytes(const std::vector<std::uint8_t>& bytes, std::uint32_t delayMs,
                               std::uint32_t gapMs) {
  std::vector<TimedByte> timed;
  for (std::size_t i = 0; i < bytes.size(); ++i)
    timed.push_back({i == 0 ? delayMs : gapMs, bytes[i]});
  channel_.QueueTimed(timed, Now());
}

const platform::Guid* VendorPrinter::InterfaceClass() const {
  return Kind() == DeviceKind::VendorDriver ? &kVendorInterfaceGuid : nullptr;
}

bool VendorPrinter::AnswersToPath(std::string_view path) const {
  if (Kind() == DeviceKind::VirtualCom) return ComPortNumber(path, true) == comPort_;
  return SameName(path, interfacePath_ + "\\RK");
}

// A host that leaves without its closing packet leaves the printer waiting
// in an ID session.
void VendorPrinter::Closed() {
  if (protocol_.SessionOpen()) NoteDeparture(departure::kSessionOpenAtClose);
}

bool VendorPrinter::AcceptsRequest(std::uint32_t code, std::span<const std::uint8_t> in,
                                   std::uint32_t outSize) {
  for (const RequestShape& shape : kRequestShapes) {
    if (shape.code != code) continue;
    const auto inSize = static_cast<std::uint32_t>(in.size());
    if (inSize != shape.inSize || outSize != shape.outSize) {
      NoteDeparture(departure::kIoctlBufferSize, Hex(code) + " in " + std::to_string(inSize) +
                                                     " out " + std::to_string(outSize));
      return false;
    }
    if (code == kIoctlFinishBoardWrite && Le16(in) != 0) {
      NoteDeparture(departure::kFinishWordNotZero, Hex(Le16(in)));
      return false;
    }
    if (IsBoardRequest(code) && !OnNwjBoard()) {
      NoteDeparture(departure::kBoardRequestOnboard, Hex(code));
      return false;
    }
    return true;
  }
  NoteDeparture(departure::kUnknownIoctl, Hex(code));
  return false;
}

std::optional<std::uint32_t> VendorPrinter::Read(std::uint8_t* buffer, std::uint32_t size) {
  return channel_.Take(Now(), buffer, size, Faults().channel);
}

std::optional<std::uint64_t> VendorPrinter::NextArrivalMs() {
  if (IsSerialPort()) return std::nullopt;
  return channel_.NextDueMs(Now(), Faults().channel).value_or(kNoArrival);
}

// The printer keeps a copy of what its commands see (8-bit); when a command
// changed an identifier, the USB strings follow it.
void VendorPrinter::SyncUnitsWithIdentity() {
  if (identity_.serial != Narrow(serialUnits_)) serialUnits_ = Widen(identity_.serial);
  if (identity_.idName != Narrow(idNameUnits_)) idNameUnits_ = Widen(identity_.idName);
}

void VendorPrinter::Write(std::span<const std::uint8_t> data) {
  const std::string serialBefore = identity_.serial;
  const std::string idNameBefore = identity_.idName;
  std::vector<std::uint8_t> replies;
  protocol_.SetQueryAnswer(Faults().channel.queryAnswer);
  protocol_.SetInfoAnswers(Faults().channel.infoAnswers);
  const std::size_t printedBefore = protocol_.Printed().size();
  protocol_.Receive(data.data(), data.size(), identity_, replies);
  channel_.QueueReply(replies, Now(), Faults().channel);
  const bool printed = KeepPrinted(printedBefore);
  if (identity_.serial != serialBefore || identity_.idName != idNameBefore) {
    SyncUnitsWithIdentity();
    NotifyStateChanged();
  } else if (printed) {
    NotifyStateChanged();
  }
}

// The paper: what the protocol printed since `before`, after what earlier
// runs printed. Only the most recent kPrintedCapacity bytes are kept.
bool VendorPrinter::KeepPrinted(std::size_t before) {
  const std::string& all = protocol_.Printed();
  if (all.size() <= before) return false;
  printed_.append(all, before);
  if (printed_.size() > kPrintedCapacity) printed_.erase(0, printed_.size() - kPrintedCapacity);
  return true;
}

bool VendorPrinter::IoControl(std::uint32_t code, std::span<const std::uint8_t> in,
                              std::vector<std::uint8_t>& answer) {
  switch (code) {
    case kIoctlDeviceDescriptor: answer = DeviceDescriptor(usb_); return true;
    case kIoctlStringDescriptors: answer = StringBlock(usb_, serialUnits_); return true;
    case kIoctlStatusBlock: answer = StatusBlock(usb_); return true;
    case kIoctlIdName: answer = StringDescriptor(idNameUnits_); return true;
    case kIoctlSetBoardAddress:
    case kIoctlWriteBoardValue:
    case kIoctlFinishBoardWrite: answer.clear(); return BoardRequest(code, in);
    default: return false;
  }
}

// Only an NW-J board has identifier memory (AcceptsRequest refuses board
// requests on onboard interfaces); it takes the images into use when the
// write is finished.
bool VendorPrinter::BoardRequest(std::uint32_t code, std::span<const std::uint8_t> in) {
  if (code == kIoctlFinishBoardWrite) {
    ApplyBoardImages();
    return true;
  }
  if (code == kIoctlSetBoardAddress) {
    board_.SelectAddress(Le16(in));
  } else {
    board_.WriteValue(Le16(in));
    NotifyStateChanged();
  }
  return true;
}

// A broken image (bad length, type or checksum) leaves the old value.
void VendorPrinter::ApplyBoardImages() {
  if (auto code = DecodeBoardImage(board_, kBoardIdCodeBase)) {
    identity_.serial = *code;
    serialUnits_ = Widen(*code);
  }
  if (auto name = DecodeBoardImage(board_, kBoardIdNameBase)) {
    identity_.idName = *name;
    idNameUnits_ = Widen(*name);
  }
  NotifyStateChanged();
}

}  // namespace nolpa::sim
