// The engine's whole control exchange: a command out on the control channel
// and its reply in, however many packets the reply takes, and only its own
// reply: what reached the channel before the command went out is dropped,
// and a message that does not answer the command is passed over.
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

// A printer that still held an answer to an earlier command sends it as
// soon as it has credit, which it gets before the command goes out: so
// whatever the channel received by then is read (without waiting) and
// dropped. The credit it used is given again when the reply is awaited.
EngineStatus CCBTCtrl::DropQueued(ChannelState& channel) {
  Bytes none;
  const EngineStatus status = Await({.drain = true}, none);
  channel.inbox.clear();
  return status.error == EngineError::ReadTimedOut ? EngineStatus{} : status;
}

EngineStatus CCBTCtrl::SendCommandLocked(ChannelState& channel,
                                         std::span<const std::uint8_t> command) {
  if (channel.creditToSend == 0) return Fail(EngineError::NoCredit);
  const auto packet = BuildDataPacket(channel.socket, command);
  if (!packet) return Fail(EngineError::CommandTooLong);
  if (const EngineStatus dropped = DropQueued(channel); !dropped.ok()) return dropped;
  if (!io_.WriteAll(*packet)) return Fail(EngineError::WriteFailed);
  --channel.creditToSend;
  return {};
}

// Takes the channel's data packets in order until one carries the
// end-of-message flag or `whole` accepts what came so far. When the printer
// has used the credit it was given, it is given one more; each further
// packet is one wait, and the message may grow no longer than
// kMaxControlReply.
EngineStatus CCBTCtrl::NextMessageLocked(ChannelState& channel, const WholeReply& whole,
                                         Bytes& message) {
  message.clear();
  for (;;) {
    while (!channel.inbox.empty()) {
      const Bytes packet = std::move(channel.inbox.front());
      channel.inbox.pop_front();
      if (packet.size() > channel.adopted.printerToHost ||
          message.size() + packet.size() - kHeaderSize > kMaxControlReply)
        return Fail(EngineError::ReplyTooLong);
      message.insert(message.end(), packet.begin() + kHeaderSize, packet.end());
      if ((packet[5] & kEndOfMessage) != 0 || whole(message)) return {};
    }
    Bytes none;
    const EngineStatus status =
        channel.creditToReceive == 0 ? GrantCreditLocked(channel) : Await({.data = &channel}, none);
    if (!status.ok()) return status;
  }
}

// Messages that do not answer the command (an earlier command's answer the
// printer sent late) are passed over, as other packets are.
EngineStatus CCBTCtrl::ReceiveMessageLocked(ChannelState& channel, const WholeReply& whole,
                                            const AnswersCommand& answers, Bytes& reply) {
  for (;;) {
    Bytes message;
    const EngineStatus status = NextMessageLocked(channel, whole, message);
    if (!status.ok()) return status;
    if (answers(message)) {
      channel.inbox.clear();  // nothing after the reply was asked for
      reply = std::move(message);
      return {};
    }
    ++counts_.passedOver;
    if (!WithinBounds()) return Fail(EngineError::Noise);
  }
}

EngineStatus CCBTCtrl::ControlExchange(std::span<const std::uint8_t> command, Bytes& reply,
                                       const WholeReply& whole, const AnswersCommand& answers) {
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
  if (status.ok()) status = ReceiveMessageLocked(control, whole, answers, received);
  // The reply is whole: the printer answered, and Exit ends the channel
  // should the close fail.
  if (status.ok() || (mayBeOpen && !io_.FramingLost())) CloseChannelLocked(control);
  if (status.ok()) reply = std::move(received);
  return status;
}

}  // namespace nolpa::serial_library
