#include "sim/vendor_printer.h"

#include "sim/text.h"

namespace nolpa::sim {
namespace {

std::uint16_t Le16(std::span<const std::uint8_t> in) {
  return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

}  // namespace

VendorPrinter::VendorPrinter(const VendorPrinterConfig& config)
    : SimDevice(config.name, config.kind),
      comPort_(config.kind == DeviceKind::VirtualCom ? config.comPort : 0),
      usb_(config.usb),
      serialUnits_(config.serial),
      idNameUnits_(config.idName),
      printed_(config.printed) {
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

std::uint32_t VendorPrinter::Read(std::uint8_t* buffer, std::uint32_t size) {
  return channel_.Take(Now(), buffer, size, Faults().channel);
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
  printed_.append(all, before, std::string::npos);
  if (printed_.size() > kPrintedCapacity) printed_.erase(0, printed_.size() - kPrintedCapacity);
  return true;
}

bool VendorPrinter::IoControl(std::uint32_t code, std::span<const std::uint8_t> in,
                              std::vector<std::uint8_t>& answer) {
  switch (code) {
    case kIoctlDeviceDescriptor:
      answer = DeviceDescriptor(usb_);
      return true;
    case kIoctlStringDescriptors:
      answer = StringBlock(usb_, serialUnits_);
      return true;
    case kIoctlStatusBlock:
      answer = StatusBlock(usb_);
      return true;
    case kIoctlIdName:
      answer = StringDescriptor(idNameUnits_);
      return true;
    case kIoctlSetBoardAddress:
    case kIoctlWriteBoardValue:
    case kIoctlFinishBoardWrite:
      answer.clear();
      return BoardRequest(code, in);
    default:
      return false;
  }
}

// The driver passes board requests on whatever the board; only an NW-J
// board takes the images into use when the write is finished.
bool VendorPrinter::BoardRequest(std::uint32_t code, std::span<const std::uint8_t> in) {
  if (code == kIoctlFinishBoardWrite) {
    if (OnNwjBoard()) ApplyBoardImages();
    return true;
  }
  if (in.size() < 2) return false;
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
