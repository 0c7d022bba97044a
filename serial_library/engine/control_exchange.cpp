// The engine's whole control exchange: a command out on the control channel
// and its reply in, however many packets the reply takes.
#include <algorithm>

#include "serial_library/engine/cbt_ctrl.h"

namespace nolpa::serial_library {
namespace {

EngineStatus Fail(EngineError error) { return EngineStatus{error}; }

// Whether a command fits one packet of `packetSize` bytes, header included.
bool Fits(std::span<const std::uint8_t> command, std::uint16_t packetSize) {
  return command.size() + kHeaderSize <= packetSize;
}

// The printer closes a channel that never opened with a refusal; nothing
// is left to close then.
bool RefusedToOpen(const EngineStatus& status) {
  return status.error == EngineError::ResultNotZero || status.error == EngineError::ErrorPacket;
}

}  // namespace

EngineStatus CCBTCtrl::SendCommandLocked(ChannelState& channel,
                                         std::span<const std::uint8_t> command) {
  if (channel.creditToSend == 0) return Fail(EngineError::NoCredit);
  const auto packet = BuildDataPacket(channel.socket, command);
  if (!packet) return Fail(EngineError::CommandTooLong);
  if (!io_.WriteAll(*packet)) return Fail(EngineError::WriteFailed);
  --channel.creditToSend;
  return {};
}

// Takes the channel's data packets in order until one carries the
// end-of-message flag or `whole` accepts what came so far. When the printer
// has used the credit it was given, it is given one more; each further
// packet waits at most one read limit, and the reply may grow no longer
// than kMaxControlReply.
EngineStatus CCBTCtrl::ReceiveMessageLocked(ChannelState& channel, const WholeReply& whole,
                                            Bytes& reply) {
  Bytes message;
  for (;;) {
    while (!channel.inbox.empty()) {
      const Bytes packet = std::move(channel.inbox.front());
      channel.inbox.pop_front();
      if (channel.creditToReceive > 0) --channel.creditToReceive;
      if (packet.size() > channel.adopted.printerToHost ||
          message.size() + packet.size() - kHeaderSize > kMaxControlReply)
        return Fail(EngineError::ReplyTooLong);
      message.insert(message.end(), packet.begin() + kHeaderSize, packet.end());
      if ((packet[5] & kEndOfMessage) != 0 || whole(message)) {
        channel.inbox.clear();  // nothing after the reply was asked for
        reply = std::move(message);
        return {};
      }
    }
    EngineStatus status;
    Bytes none;
    if (channel.creditToReceive == 0)
      status = GrantCreditLocked(channel);
    else
      status = Await(std::nullopt, &channel, none);
    if (!status.ok()) return status;
  }
}

EngineStatus CCBTCtrl::ControlExchange(std::span<const std::uint8_t> command, Bytes& reply,
                                       const WholeReply& whole) {
  std::lock_guard guard(lock_);
  reply.clear();
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  ChannelState& control = State(Channel::Control);
  if (!Fits(command, control.asked.hostToPrinter)) return Fail(EngineError::CommandTooLong);
  EngineStatus status = OpenChannelLocked(control);
  const bool mayBeOpen = !RefusedToOpen(status) && status.error != EngineError::WriteFailed;
  if (status.ok() && !Fits(command, control.adopted.hostToPrinter))
    status = Fail(EngineError::CommandTooLong);
  if (status.ok()) status = GrantCreditLocked(control);
  if (status.ok()) status = RequestCreditLocked(control);
  if (status.ok()) status = SendCommandLocked(control, command);
  Bytes received;
  if (status.ok()) status = ReceiveMessageLocked(control, whole, received);
  // The reply is whole: the printer answered, and Exit ends the channel
  // should the close fail.
  if (status.ok() || (mayBeOpen && !io_.FramingLost())) CloseChannelLocked(control);
  if (status.ok()) reply = std::move(received);
  return status;
}

}  // namespace nolpa::serial_library
