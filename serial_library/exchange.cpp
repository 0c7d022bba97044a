#include "serial_library/exchange.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/process_lock.h"

namespace nolpa::morvalib {

namespace {
constexpr std::string_view kCommandSetKey = "CMD:";
constexpr std::string_view kPacketProtocol = "D4";
constexpr std::size_t kMaxCommandSet = 127;
}  // namespace

bool PacketModeCheck(TRKCCC& port) {
  char deviceId[kDeviceIdBufferSize] = {};
  if (port.GetDeviceId(kDeviceIdBufferSize, deviceId) != 0) return false;
  deviceId[kDeviceIdBufferSize - 1] = '\0';
  const std::string_view text(deviceId);
  const std::size_t key = text.find(kCommandSetKey);
  if (key == std::string_view::npos) return false;
  const std::string_view value = text.substr(key + kCommandSetKey.size());
  const std::size_t end = value.find(';');
  if (end > kMaxCommandSet) return false;  // no ';' gives npos, above any bound
  if (value.substr(0, end).find(kPacketProtocol) == std::string_view::npos) return false;
  return port.StartPacketMode() == 0;
}

int ExchangeControl(const PortOpener& open, const char* devicePath, const std::uint8_t* command,
                    int commandLength, std::uint8_t* reply, int replySize, int* replyLength) {
  if (replyLength != nullptr) *replyLength = 0;
  if (devicePath == nullptr || command == nullptr || replyLength == nullptr || commandLength < 0)
    return MORVALIB_E_ARGUMENT;
  // Declared first, so that the port is always destroyed before the lock.
  const ProcessLockScope lock;
  std::unique_ptr<TRKCCC> port;
  if (const int opened = open(devicePath, &port); opened != MORVALIB_OK) return opened;
  if (!PacketModeCheck(*port)) return MORVALIB_E_NO_PACKET;
  int sent = 0;
  if (port->SendControl(0, command, commandLength, &sent) != 1 || sent < 0) return MORVALIB_E_SEND;

  std::unique_ptr<WorkBuffer> received;
  try {
    received = std::make_unique<WorkBuffer>(
        static_cast<std::size_t>(std::max(kReplyBufferStep, replySize)));
  } catch (const std::bad_alloc&) {
    return MORVALIB_E_RECEIVE;
  }
  int count = 0;
  const int size = received->size();
  if (port->ReceiveControl(received->data(), size, &count) != 1 || count < 0)
    return MORVALIB_E_RECEIVE;
  // A printer that could not be told to leave the packet protocol is not
  // left there with a success.
  port->StopPacketMode();
  if (!port->LeftPacketMode()) return MORVALIB_E_SEND;
  port.reset();  // the printer is closed before the caller sees the reply

  // A reply longer than the receive buffer (never smaller than the
  // caller's) was cut by the port: its length is all the caller gets.
  *replyLength = count;
  if (reply == nullptr || count > replySize || count > size) return MORVALIB_E_BUFFER;
  std::memcpy(reply, received->data(), static_cast<std::size_t>(count));
  return MORVALIB_OK;
}

}  // namespace nolpa::morvalib
