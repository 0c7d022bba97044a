#include "serial_library/direct_port.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "platform/waking_request.h"
#include "serial_library/call_deadline.h"
#include "serial_library/morvalib.h"
#include "serial_library/printer_commands.h"

namespace nolpa::morvalib {

namespace {
constexpr int kLengthPrefix = 2;
}  // namespace

TRKPRN::TRKPRN(platform::DeviceFiles& files, platform::Clock& clock, DeviceFinder find)
    : files_(files), clock_(clock), find_(std::move(find)) {}

TRKPRN::TRKPRN(platform::DeviceFiles& files, platform::Clock& clock, std::string devicePath)
    : files_(files), clock_(clock), devicePath_(std::move(devicePath)) {}

TRKPRN::~TRKPRN() {
  DropEngine();
  files_.Close(handle_);
}

void TRKPRN::DropEngine() {
  if (engine_) {
    engine_->Stop();
    if (!engine_->PlainBytesSafe()) plainUnsafe_ = true;
    if (!engine_->ExitDelivered()) exitUndelivered_ = true;
  }
  if (io_ && io_->FramingLost()) framingLost_ = true;
  engine_.reset();
  heldReply_.clear();
}

serial_library::CPortIO& TRKPRN::Io() {
  if (!io_) io_ = std::make_unique<serial_library::CPortIO>(files_, clock_, handle_);
  return *io_;
}

int TRKPRN::Open() {
  if (handle_ != platform::kInvalidDeviceHandle) return 1;
  if (find_) devicePath_ = find_(usbLocation_);
  if (devicePath_.empty()) return 0;
  const std::uint64_t start = clock_.NowMs();
  for (;;) {
    handle_ = files_.Open(devicePath_);
    if (handle_ != platform::kInvalidDeviceHandle) return 1;
    if (clock_.NowMs() - start >= kOpenRetryMs) return 0;
    clock_.SleepMs(kOpenRetryPauseMs);
  }
}

int TRKPRN::WriteData(int, const std::uint8_t* bytes, int count, int* written) {
  *written = 0;
  if (handle_ == platform::kInvalidDeviceHandle || engine_ || framingLost_ || plainUnsafe_ ||
      bytes == nullptr || count < 0)
    return 0;
  std::size_t sent = 0;
  const bool whole = serial_library::WriteWhole(
      files_, handle_, std::span(bytes, static_cast<std::size_t>(count)), &sent);
  if (sent > 0 && !whole) framingLost_ = true;
  *written = static_cast<int>(sent);
  return whole ? 1 : 0;
}

// Whole transfers, as the engine reads them: the caller's buffer may be
// smaller than what the printer sends in one.
int TRKPRN::ReadData(std::uint8_t* buffer, int size, int* count) {
  *count = 0;
  if (handle_ == platform::kInvalidDeviceHandle || engine_ || buffer == nullptr || size < 0)
    return 0;
  std::size_t copied = 0;
  if (!Io().ReadAvailable(buffer, static_cast<std::size_t>(size), &copied)) return 0;
  *count = static_cast<int>(copied);
  return 1;
}

int TRKPRN::IsOpen() { return handle_ != platform::kInvalidDeviceHandle ? 1 : 0; }

platform::DeviceHandle TRKPRN::GetHandle() { return handle_; }

int TRKPRN::SetParams(const OpenParams& params) {
  if (params.usbLocation.size() > kMaxUsbLocation) return 0;
  usbLocation_ = params.usbLocation;
  waitMs_ = params.waitMs;
  return 1;
}

// Read as the program's USB Printer Class route reads it: the length bytes
// are skipped, not believed, so a printer the route lists is never refused
// here for what its length field says.
int TRKPRN::GetDeviceId(int size, char* buffer) {
  if (handle_ == platform::kInvalidDeviceHandle || buffer == nullptr || size <= kLengthPrefix)
    return MORVALIB_E_BUFFER;
  std::uint32_t returned = 0;
  const bool ok = platform::IoControlWaking(files_, clock_, handle_, kIoctlGet1284Id, nullptr, 0,
                                            buffer, static_cast<std::uint32_t>(size), &returned);
  if (!ok || returned > static_cast<std::uint32_t>(size) || returned < kLengthPrefix) {
    buffer[0] = '\0';  // no stale bytes for a caller that reads on
    return MORVALIB_E_BUFFER;
  }
  const std::uint32_t text = returned - kLengthPrefix;
  std::memmove(buffer, buffer + kLengthPrefix, text);
  buffer[text] = '\0';
  return 0;
}

int TRKPRN::StartPacketMode() {
  if (engine_) return 0;
  if (handle_ == platform::kInvalidDeviceHandle || framingLost_) return -1;
  engine_ = std::make_unique<serial_library::CCBTCtrl>(Io(), serial_library::kEngineConfig,
                                                       CurrentCallDeadline(clock_));
  if (engine_->Start().ok()) return 0;
  DropEngine();
  return -1;
}

void TRKPRN::StopPacketMode() { DropEngine(); }

bool TRKPRN::LeftPacketMode() { return !engine_ && !exitUndelivered_; }

int TRKPRN::IsPacketMode() { return engine_ && engine_->InPacketMode() ? 1 : 0; }

int TRKPRN::SendControl(int, const std::uint8_t* bytes, int count, int* sent) {
  *sent = 0;
  heldReply_.clear();
  if (!engine_ || bytes == nullptr || count < 0) return 0;
  serial_library::Bytes reply;
  const std::span command(bytes, static_cast<std::size_t>(count));
  const auto status = engine_->ControlExchange(
      command, reply, &ReplyIsWhole,
      [command](std::span<const std::uint8_t> message) { return CouldAnswer(command, message); });
  if (!status.ok()) return 0;
  heldReply_ = std::move(reply);
  *sent = count;
  return 1;
}

int TRKPRN::ReceiveControl(std::uint8_t* buffer, int size, int* count) {
  *count = 0;
  if (!engine_) return 0;
  *count = static_cast<int>(heldReply_.size());
  const auto copied = static_cast<std::size_t>(std::clamp(size, 0, *count));
  if (copied > 0 && buffer != nullptr) {
    std::memcpy(buffer, heldReply_.data(), copied);
    heldReply_.erase(heldReply_.begin(), heldReply_.begin() + static_cast<std::ptrdiff_t>(copied));
  }
  return 1;
}

}  // namespace nolpa::morvalib
