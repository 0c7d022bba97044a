#include "serial_library/firmware_version.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "serial_library/call_deadline.h"
#include "serial_library/exchange.h"
#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/printer_commands.h"
#include "serial_library/process_lock.h"
#include "serial_library/serial_number.h"
#include "serial_library/services.h"

namespace nolpa::morvalib {

namespace {

constexpr int kControlStatusSize = 512;
constexpr int kDataStatusSize = 1024;
constexpr int kReadChunk = 1020;
constexpr std::size_t kLptStatusSize = 64;
constexpr std::uint8_t kFormFeed = 0x0C;
// The most a read-away drops before the request goes out.
constexpr std::size_t kReadAwayLimit = 64 * 1024;

std::string Bytes(const std::uint8_t* data, int count) {
  return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(count));
}

// The status over the control channel of a port that runs the packet protocol.
std::string ControlChannelStatus(TRKCCC& port) {
  std::array<std::uint8_t, kControlStatusSize> status{};
  int count = 0;
  if (port.PortKind() == kChannelApiPortKind) {
    if (port.ReadControlStatus(status.data(), kControlStatusSize, &count) != 1) return {};
  } else {
    int sent = 0;
    if (port.SendControl(0, kStatusCommand.data(), static_cast<int>(kStatusCommand.size()),
                         &sent) != 1 ||
        port.ReceiveControl(status.data(), kControlStatusSize, &count) != 1)
      return {};
  }
  // A longer status is taken as far as it was received.
  return count > 0 ? Bytes(status.data(), std::min(count, kControlStatusSize)) : std::string();
}

bool DeviceReportsReady(TRKCCC& port) {
  std::array<std::uint8_t, kLptStatusSize> status{};
  std::uint32_t returned = 0;
  const bool ok = Services().files->IoControl(port.GetHandle(), kIoctlLptStatus, nullptr, 0,
                                              status.data(), kLptStatusSize, &returned);
  return ok && returned > 0 && (status[0] & kLptStatusReady) != 0;
}

bool WriteRemoteStatusRequest(TRKCCC& port) {
  int written = 0;
  return port.WriteData(0, kRemoteStatusRequest.data(),
                        static_cast<int>(kRemoteStatusRequest.size()), &written) == 1;
}

// Drops what the printer sent before this call asked anything (the answer
// to an earlier call's second request, above all), so that it is never
// taken for this call's answer. Reads only what is there: no pause.
void ReadAwayData(TRKCCC& port) {
  std::array<std::uint8_t, kReadChunk> scrap{};
  int count = 0;
  for (std::size_t dropped = 0; dropped < kReadAwayLimit;
       dropped += static_cast<std::size_t>(count))
    if (port.ReadData(scrap.data(), kReadChunk, &count) != 1 || count <= 0 || count > kReadChunk)
      return;
}

// The status over the data path of a port without the packet protocol.
std::string DataPathStatus(TRKCCC& port) {
  if (port.PortKind() == kChannelApiPortKind) {
    std::array<std::uint8_t, kDataStatusSize> status{};
    int count = 0;
    if (port.ReadDataStatus(status.data(), kDataStatusSize, &count) != 1) return {};
    return count > 0 ? Bytes(status.data(), std::min(count, kDataStatusSize)) : std::string();
  }
  if (!IsComplete(Services())) return {};
  if (!DeviceReportsReady(port)) return {};
  ReadAwayData(port);
  if (!WriteRemoteStatusRequest(port)) return {};
  platform::Clock& clock = *Services().clock;
  const std::uint64_t workEnd = CurrentCallDeadline(clock).workEndMs;
  const std::uint64_t now = clock.NowMs();
  clock.SleepMs(static_cast<std::uint32_t>(
      std::min<std::uint64_t>(kStatusSettleMs, workEnd > now ? workEnd - now : 0)));
  std::string reply = ReadDataPathReply(port);
  // The request is sent a second time once the answer is in.
  if (reply.empty() || !WriteRemoteStatusRequest(port)) return {};
  return reply;
}

}  // namespace

std::string ReadDataPathReply(TRKCCC& port) {
  platform::Clock& clock = *Services().clock;
  const std::uint64_t workEnd = CurrentCallDeadline(clock).workEndMs;
  std::vector<std::uint8_t> ring(kReadChunk);
  int held = 0;
  int next = 0;
  std::string reply;
  while (reply.size() < kDataStatusSize) {
    const std::uint64_t waitStart = clock.NowMs();
    while (next == held) {
      next = held = 0;
      if (port.ReadData(ring.data(), kReadChunk, &held) != 1 || held < 0 || held > kReadChunk)
        return {};
      if (held > 0) break;
      const std::uint64_t now = clock.NowMs();
      if (now - waitStart >= kStatusByteWaitMs || now >= workEnd) return {};
      clock.SleepMs(1);
    }
    reply += static_cast<char>(ring[static_cast<std::size_t>(next++)]);
    if (static_cast<std::uint8_t>(reply.back()) == kFormFeed &&
        ReplyIsWhole(std::span(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size())))
      return reply;
  }
  return {};
}

int ReadFirmwareVersion(const PortOpener& open, const char* devicePath, char* buffer,
                        int bufferSize, int* length) {
  if (devicePath == nullptr || length == nullptr) return MORVALIB_E_ARGUMENT;
  // Declared first, so that the port is always destroyed before the lock.
  const ProcessLockScope lock;
  std::unique_ptr<TRKCCC> port;
  if (const int opened = open(devicePath, &port); opened != MORVALIB_OK) return opened;
  // Starts the packet protocol where the printer offers it; a printer
  // without it still answers the status on its data path.
  PacketModeCheck(*port);
  const std::int32_t kind = port->PortKind();
  if (kind != kDirectPortKind && kind != kChannelApiPortKind) return MORVALIB_E_FIRMWARE;
  std::string status =
      port->IsPacketMode() != 0 ? ControlChannelStatus(*port) : DataPathStatus(*port);
  port->StopPacketMode();
  if (!port->LeftPacketMode()) status.clear();
  port.reset();
  if (status.empty()) return MORVALIB_E_FIRMWARE;
  const auto version = DecodeStatusReply(
      std::span(reinterpret_cast<const std::uint8_t*>(status.data()), status.size()));
  if (!version) return MORVALIB_E_FIRMWARE;
  return HandOutText(*version, buffer, bufferSize, length);
}

}  // namespace nolpa::morvalib
