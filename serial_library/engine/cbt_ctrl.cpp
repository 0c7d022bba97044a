#include "serial_library/engine/cbt_ctrl.h"

#include <algorithm>

namespace nolpa::serial_library {
namespace {

EngineStatus Fail(EngineError error) { return EngineStatus{error}; }

EngineStatus FromRead(ReadOutcome outcome) {
  switch (outcome) {
    case ReadOutcome::Done: return {};
    case ReadOutcome::TimedOut: return Fail(EngineError::ReadTimedOut);
    case ReadOutcome::Failed: break;
  }
  return Fail(EngineError::ReadFailed);
}

// An Error packet in place of the packet expected fails the operation.
EngineStatus FromErrorPacket(const Bytes& packet) {
  EngineStatus status = Fail(EngineError::ErrorPacket);
  status.errorPacket = ClassifyErrorPacket(packet);
  return status;
}

}  // namespace

const std::array<std::uint8_t, 27> kEntryString{
    0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Q', 'X', 'V', ' ', '1', '2', '8', '4',
    '.',  '4',  '\n', '@',  'Q',  'X', 'V', '\n', '@', 'Q', 'X', 'V', '\n'};

CCBTCtrl::CCBTCtrl(CPortIO& io, const EngineConfig& config)
    : io_(io),
      config_(config),
      channels_{ChannelState{kControlSocket,
                             {config.controlHostToPrinter, config.printerToHost},
                             {config.controlHostToPrinter, config.printerToHost}},
                ChannelState{kDataSocket,
                             {config.dataHostToPrinter, config.printerToHost},
                             {config.dataHostToPrinter, config.printerToHost}}} {}

CCBTCtrl::~CCBTCtrl() { Stop(); }

bool CCBTCtrl::InPacketMode() const {
  std::lock_guard guard(lock_);
  return packetMode_;
}

ChannelSizes CCBTCtrl::Sizes(Channel channel) const {
  std::lock_guard guard(lock_);
  return channels_[static_cast<int>(channel)].adopted;
}

EngineStatus CCBTCtrl::Start() {
  std::lock_guard guard(lock_);
  if (packetMode_) return {};
  if (!io_.WriteAll(kEntryString)) return Fail(EngineError::WriteFailed);
  Bytes reply;
  const EngineStatus status = Transaction(Command::Init, BuildInit(kInitRevision), reply);
  packetMode_ = status.ok();
  return status;
}

EngineStatus CCBTCtrl::Stop() {
  std::lock_guard guard(lock_);
  return StopLocked();
}

EngineStatus CCBTCtrl::StopLocked() {
  if (!packetMode_) return {};
  packetMode_ = false;
  Bytes reply;
  return Transaction(Command::Exit, BuildExit(), reply);
}

// Reads one packet: the header, then as many bytes as its length announces,
// both within one budget of empty reads, so a packet never takes longer than
// the engine's read limit. A length below the header's own, or a payload
// beyond `maxPayload`, is refused before more is read.
EngineStatus CCBTCtrl::ReadPacket(Bytes& packet, std::size_t maxPayload) {
  int emptyReadsLeft = config_.readAttempts;
  packet.assign(kHeaderSize, 0);
  EngineStatus status = FromRead(io_.ReadExactly(packet, &emptyReadsLeft, config_.readPauseMs));
  if (!status.ok()) return status;
  const auto header = ParseHeader(packet);
  if (!header) return Fail(EngineError::Malformed);
  if (header->length - kHeaderSize > maxPayload) return Fail(EngineError::ReplyTooLong);
  packet.resize(header->length);
  return FromRead(io_.ReadExactly(std::span(packet).subspan(kHeaderSize), &emptyReadsLeft,
                                  config_.readPauseMs));
}

EngineStatus CCBTCtrl::Transaction(Command command, const Bytes& request, Bytes& reply) {
  if (!io_.WriteAll(request)) return Fail(EngineError::WriteFailed);
  EngineStatus status = ReadPacket(reply, kMaxControlReply);
  if (!status.ok()) return status;
  if (IsErrorPacket(reply)) return FromErrorPacket(reply);
  const auto result = ParseReplyResult(reply, command);
  if (!result) return Fail(EngineError::Malformed);
  if (*result != 0) {
    status = Fail(EngineError::ResultNotZero);
    status.result = *result;
  }
  return status;
}

EngineStatus CCBTCtrl::OpenChannel(Channel channel) {
  std::lock_guard guard(lock_);
  return OpenChannelLocked(State(channel));
}

EngineStatus CCBTCtrl::CloseChannel(Channel channel) {
  std::lock_guard guard(lock_);
  return CloseChannelLocked(State(channel));
}

EngineStatus CCBTCtrl::GrantCredit(Channel channel) {
  std::lock_guard guard(lock_);
  return GrantCreditLocked(State(channel));
}

EngineStatus CCBTCtrl::RequestCredit(Channel channel) {
  std::lock_guard guard(lock_);
  return RequestCreditLocked(State(channel));
}

// The printer may grant smaller packets than asked, never larger ones: a
// larger grant is held to what was asked.
EngineStatus CCBTCtrl::OpenChannelLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  channel.adopted = channel.asked;
  channel.creditToSend = 0;
  Bytes reply;
  const EngineStatus status = Transaction(
      Command::OpenChannel,
      BuildOpenChannel(channel.socket, channel.asked.hostToPrinter,
                       channel.asked.printerToHost),
      reply);
  if (!status.ok()) return status;
  const auto granted = ParseOpenChannelReply(reply);
  if (!granted) return Fail(EngineError::Malformed);
  if (granted->primarySocket != channel.socket || granted->secondarySocket != channel.socket)
    return Fail(EngineError::WrongSockets);
  channel.adopted = {std::min(granted->hostToPrinterSize, channel.asked.hostToPrinter),
                     std::min(granted->printerToHostSize, channel.asked.printerToHost)};
  return status;
}

EngineStatus CCBTCtrl::CloseChannelLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  channel.creditToSend = 0;
  Bytes reply;
  return Transaction(Command::CloseChannel, BuildCloseChannel(channel.socket), reply);
}

EngineStatus CCBTCtrl::GrantCreditLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  Bytes reply;
  return Transaction(Command::Credit, BuildCredit(channel.socket, config_.credit), reply);
}

EngineStatus CCBTCtrl::RequestCreditLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  Bytes reply;
  const EngineStatus status = Transaction(
      Command::CreditRequest,
      BuildCreditRequest(channel.socket, config_.credit, config_.maximumOutstandingCredit),
      reply);
  if (!status.ok()) return status;
  const auto granted = ParseCreditGranted(reply);
  if (!granted) return Fail(EngineError::Malformed);
  channel.creditToSend = static_cast<std::uint16_t>(
      std::min<unsigned>(channel.creditToSend + *granted, 0xFFFF));
  return status;
}

EngineStatus CCBTCtrl::SendCommandLocked(ChannelState& channel,
                                         std::span<const std::uint8_t> command) {
  if (channel.creditToSend == 0) return Fail(EngineError::NoCredit);
  const auto packet = BuildDataPacket(channel.socket, command);
  if (!packet || packet->size() > channel.adopted.hostToPrinter)
    return Fail(EngineError::CommandTooLong);
  if (!io_.WriteAll(*packet)) return Fail(EngineError::WriteFailed);
  --channel.creditToSend;
  return {};
}

EngineStatus CCBTCtrl::ReceiveReplyLocked(ChannelState& channel, Bytes& reply) {
  Bytes packet;
  const EngineStatus status = ReadPacket(packet, kMaxControlReply);
  if (!status.ok()) return status;
  if (IsErrorPacket(packet)) return FromErrorPacket(packet);
  if (packet[0] != channel.socket || packet[1] != channel.socket)
    return Fail(EngineError::WrongSockets);
  reply.assign(packet.begin() + kHeaderSize, packet.end());
  return status;
}

EngineStatus CCBTCtrl::ControlExchange(std::span<const std::uint8_t> command, Bytes& reply) {
  std::lock_guard guard(lock_);
  reply.clear();
  ChannelState& control = State(Channel::Control);
  EngineStatus status = OpenChannelLocked(control);
  // The printer may hold the channel from here on: a lost reply does not
  // mean the request was lost.
  const bool mayBeOpen = status.ok() || status.error == EngineError::ReadFailed;
  if (status.ok()) status = GrantCreditLocked(control);
  if (status.ok()) status = RequestCreditLocked(control);
  if (status.ok()) status = SendCommandLocked(control, command);
  Bytes received;
  if (status.ok()) status = ReceiveReplyLocked(control, received);
  const bool closing = status.ok();
  if (closing) status = CloseChannelLocked(control);
  // A close whose reply was lost reached the printer: it is not sent again.
  const bool closeReached = closing && status.error == EngineError::ReadFailed;
  if (!status.ok() && mayBeOpen && !closeReached) CloseAfterBrokenCall(control, status);
  if (status.ok()) reply = std::move(received);
  return status;
}

// A read or write call that failed leaves the link usable as far as we
// know, so the channel is closed rather than left to Exit. Nothing is sent
// after a write that went out in part, nor after a silence or a reply the
// engine could not place: more bytes would only be misread.
void CCBTCtrl::CloseAfterBrokenCall(ChannelState& channel, const EngineStatus& failure) {
  if (failure.error != EngineError::WriteFailed && failure.error != EngineError::ReadFailed) return;
  if (io_.FramingLost()) return;
  CloseChannelLocked(channel);
}

const char* EngineErrorName(EngineError error) {
  switch (error) {
    case EngineError::None: return "none";
    case EngineError::NotInPacketMode: return "not in packet mode";
    case EngineError::WriteFailed: return "write failed";
    case EngineError::ReadFailed: return "read failed";
    case EngineError::ReadTimedOut: return "read timed out";
    case EngineError::Malformed: return "malformed reply";
    case EngineError::ResultNotZero: return "result not zero";
    case EngineError::ErrorPacket: return "error packet";
    case EngineError::WrongSockets: return "reply on wrong sockets";
    case EngineError::ReplyTooLong: return "reply too long";
    case EngineError::NoCredit: return "no credit";
    case EngineError::CommandTooLong: return "command too long";
  }
  return "unknown";
}

}  // namespace nolpa::serial_library
