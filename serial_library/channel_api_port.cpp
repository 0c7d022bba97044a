#include "serial_library/channel_api_port.h"

#include <cstring>
#include <new>

#include "serial_library/channel_api.h"
#include "serial_library/channel_api_functions.h"
#include "serial_library/channel_api_location.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/printer_at_location.h"
#include "serial_library/services.h"

namespace nolpa::morvalib {

namespace {
bool Fits(std::size_t length, int size) {
  return size >= 0 && length <= static_cast<std::size_t>(size);
}
}  // namespace

TRKZQAPI::TRKZQAPI(UsbLocator locate, std::string deviceIdentifier)
    : locate_(std::move(locate)), deviceIdentifier_(std::move(deviceIdentifier)) {}

TRKZQAPI::~TRKZQAPI() {
  if (connection_) CloseOpenChannel();
  if (loaded_) channel_api::Unload();
}

int TRKZQAPI::SetParams(const OpenParams& params) {
  printerName_ = params.printerName;
  matchedLocation_ = params.usbLocation;
  return 1;
}

int TRKZQAPI::Open() {
  if (connection_) return 1;
  const LibraryServices& services = Services();
  if (LocateChannelApi(services, printerName_).empty()) return 0;
  // The spooler printer is checked again where it is now: the channel API
  // reaches whatever its ports lead to, which must still be the device it
  // was matched to, on the same socket.
  const std::string device = SpoolerPrinterDevice(services, printerName_);
  usbLocation_ = InstanceIdentifier(device) == deviceIdentifier_ && locate_ ? locate_(device) : "";
  moved_ = usbLocation_.empty() || usbLocation_ != matchedLocation_;
  if (moved_) return 0;
  connection_.reset(new (std::nothrow) CCtrlPrinter);
  if (!connection_) return 0;
  loaded_ = channel_api::Load(services, printerName_);
  return 1;
}

int TRKZQAPI::ReadData(std::uint8_t*, int, int* count) {
  if (count != nullptr) *count = 0;
  return 0;
}

void TRKZQAPI::CloseOpenChannel() {
  if (connection_->channel == -1) return;
  channel_api::CloseChannel(connection_->channel);
  connection_->channel = -1;
  connection_->channelType = 0;
}

bool TRKZQAPI::OpenChannelOfType(std::uint32_t type) {
  if (!connection_) return false;
  CloseOpenChannel();
  // The device ID is asked for first, as the API expects before it lists
  // the channels.
  if (!channel_api::DeviceId(printerName_)) return false;
  const auto entries = channel_api::AvailableChannels(printerName_);
  if (!entries) return false;
  for (const channel_api::ChannelEntry& entry : *entries) {
    if (entry.type != type || entry.value == 0) continue;
    const int channel = channel_api::OpenChannel(printerName_, type);
    if (channel <= 0) return false;
    *connection_ = {channel, type, entry.type, entry.value, connection_->receiveWaitMs};
    return true;
  }
  return false;
}

int TRKZQAPI::Send(std::uint32_t type, const std::uint8_t* bytes, int count, int* sent) {
  *sent = 0;
  if (bytes == nullptr || count < 0 || !OpenChannelOfType(type)) return 0;
  if (!channel_api::Send(connection_->channel, bytes, count)) {
    CloseOpenChannel();
    return 0;
  }
  *sent = count;
  return 1;
}

int TRKZQAPI::SendControl(int, const std::uint8_t* bytes, int count, int* sent) {
  return Send(ZQ_CHANNEL_CONTROL, bytes, count, sent);
}

int TRKZQAPI::WriteData(int, const std::uint8_t* bytes, int count, int* written) {
  return Send(ZQ_CHANNEL_DATA, bytes, count, written);
}

int TRKZQAPI::ReceiveControl(std::uint8_t* buffer, int size, int* count) {
  *count = 0;
  if (!connection_ || connection_->channel == -1) return 0;
  const auto reply = channel_api::Receive(connection_->channel, connection_->receiveWaitMs);
  CloseOpenChannel();
  if (!reply) return 0;
  *count = static_cast<int>(reply->size());
  if (buffer != nullptr && Fits(reply->size(), size))
    std::memcpy(buffer, reply->data(), reply->size());
  return 1;
}

int TRKZQAPI::GetDeviceId(int size, char* buffer) {
  if (!connection_ || buffer == nullptr) return -2;
  const auto id = channel_api::DeviceId(printerName_);
  if (!id || !Fits(id->size() + 1, size)) return -2;
  std::memcpy(buffer, id->c_str(), id->size() + 1);
  return 0;
}

int TRKZQAPI::ReadStatus(std::uint32_t type, std::uint8_t* buffer, int size, int* count) {
  *count = 0;
  if (!OpenChannelOfType(type)) return 0;
  const auto status = channel_api::Status(connection_->channel);
  CloseOpenChannel();
  if (!status) return 0;
  *count = static_cast<int>(status->size());
  if (buffer == nullptr || !Fits(status->size(), size)) return 0;
  std::memcpy(buffer, status->data(), status->size());
  return 1;
}

int TRKZQAPI::ReadControlStatus(std::uint8_t* buffer, int size, int* count) {
  return ReadStatus(ZQ_CHANNEL_CONTROL, buffer, size, count);
}

int TRKZQAPI::ReadDataStatus(std::uint8_t* buffer, int size, int* count) {
  return ReadStatus(ZQ_CHANNEL_DATA, buffer, size, count);
}

std::unique_ptr<TRKZQAPI> MakeChannelApiPort(const std::string& callerIdentifier,
                                             const std::string& usbLocation,
                                             std::uint64_t tracedUnder, const UsbLocator& locate,
                                             OpenParams* params) {
  if (usbLocation.empty()) return nullptr;
  std::string printer = SpoolerPrinterOf(Services(), callerIdentifier);
  // Only then are the other printers traced: a call on a machine whose
  // spooler offers no printer (the program stops it) traces one device.
  if (printer.empty() || !OnlyPrinterAt(usbLocation, tracedUnder, callerIdentifier, locate))
    return nullptr;
  params->printerName = std::move(printer);
  params->portKind = kChannelApiPortKind;
  return std::make_unique<TRKZQAPI>(locate, callerIdentifier);
}

}  // namespace nolpa::morvalib
