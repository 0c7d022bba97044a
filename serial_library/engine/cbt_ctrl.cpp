#include "serial_library/engine/cbt_ctrl.h"

#include <algorithm>

namespace nolpa::serial_library {
namespace {

EngineStatus Fail(EngineError error) { return EngineStatus{error}; }

EngineStatus FromRead(PacketRead read) {
  switch (read) {
    case PacketRead::Done: return {};
    case PacketRead::TimedOut: return Fail(EngineError::ReadTimedOut);
    case PacketRead::Noise: return Fail(EngineError::Noise);
    case PacketRead::Failed: break;
  }
  return Fail(EngineError::ReadFailed);
}

// An Error packet in place of the packet expected fails the operation.
EngineStatus FromErrorPacket(const Bytes& packet) {
  EngineStatus status = Fail(EngineError::ErrorPacket);
  status.errorPacket = ClassifyErrorPacket(packet);
  return status;
}

std::uint8_t ReplyByte(Command command) {
  return static_cast<std::uint8_t>(static_cast<std::uint8_t>(command) | kReplyBit);
}

}  // namespace

const std::array<std::uint8_t, 27> kEntryString{0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Q', 'X',  'V',
                                                ' ',  '1',  '2',  '8',  '4',  '.', '4', '\n', '@',
                                                'Q',  'X',  'V',  '\n', '@',  'Q', 'X', 'V',  '\n'};

bool EndsWithClosingByte(std::span<const std::uint8_t> reply) {
  constexpr std::uint8_t kClosingByte = 0x0C;
  return !reply.empty() && reply.back() == kClosingByte;
}

CCBTCtrl::CCBTCtrl(CPortIO& io, const EngineConfig& config)
    : io_(io),
      config_(config),
      channels_{ChannelState{.socket = kControlSocket,
                             .asked = {config.controlHostToPrinter, config.printerToHost},
                             .adopted = {config.controlHostToPrinter, config.printerToHost},
                             .inbox = {}},
                ChannelState{.socket = kDataSocket,
                             .asked = {config.dataHostToPrinter, config.printerToHost},
                             .adopted = {config.dataHostToPrinter, config.printerToHost},
                             .inbox = {}}} {}

CCBTCtrl::~CCBTCtrl() { Stop(); }

bool CCBTCtrl::InPacketMode() const {
  std::lock_guard guard(lock_);
  return packetMode_;
}

ChannelSizes CCBTCtrl::Sizes(Channel channel) const {
  std::lock_guard guard(lock_);
  return channels_[static_cast<int>(channel)].adopted;
}

std::size_t CCBTCtrl::ReadAwayCount() const {
  std::lock_guard guard(lock_);
  return readAway_;
}

EngineStatus CCBTCtrl::Start() {
  std::lock_guard guard(lock_);
  return StartLocked();
}

EngineStatus CCBTCtrl::StartLocked() {
  if (packetMode_) return {};
  if (entrySent_) StopLocked();  // a start that failed before: end it first
  silent_ = false;
  ResetChannels();
  readAway_ = io_.ReadAway(kReadAwayLimit);
  const bool whole = io_.WriteAll(kEntryString);
  entrySent_ = whole || io_.FramingLost();
  if (!whole) return Fail(EngineError::WriteFailed);
  Bytes reply;
  const EngineStatus status = Transaction(Command::Init, BuildInit(kInitRevision), reply);
  packetMode_ = status.ok();
  return status;
}

EngineStatus CCBTCtrl::Stop() {
  std::lock_guard guard(lock_);
  return StopLocked();
}

// The printer leaves packet mode on Exit, and on nothing else a host can
// send: so Exit goes out whenever the entry string did, and its reply is
// awaited only briefly after a silence.
EngineStatus CCBTCtrl::StopLocked() {
  if (!entrySent_) return {};
  entrySent_ = packetMode_ = false;
  ResetChannels();
  Bytes reply;
  return Transaction(Command::Exit, BuildExit(), reply, WriteRetry::Once);
}

// What must reach the printer whatever went before (the closing
// transactions, a reply the printer waits for) is written once more when a
// write call failed outright, nothing of it taken.
bool CCBTCtrl::Write(const Bytes& packet, WriteRetry retry) {
  if (io_.WriteAll(packet)) return true;
  return retry == WriteRetry::Once && !io_.FramingLost() && io_.WriteAll(packet);
}

void CCBTCtrl::ResetChannels() {
  for (ChannelState& channel : channels_) {
    channel.adopted = channel.asked;
    channel.open = false;
    channel.creditToSend = 0;
    channel.creditToReceive = 0;
    channel.inbox.clear();
  }
}

EngineStatus CCBTCtrl::Transaction(Command command, const Bytes& request, Bytes& reply,
                                   WriteRetry retry) {
  if (!Write(request, retry)) return Fail(EngineError::WriteFailed);
  EngineStatus status = Await(command, nullptr, reply);
  if (!status.ok()) return status;
  const auto result = ParseReplyResult(reply, command);
  if (!result) return Fail(EngineError::Malformed);
  if (*result != 0) {
    status = Fail(EngineError::ResultNotZero);
    status.result = *result;
  }
  return status;
}

// Reads packets until the reply to `command` comes (or, with no command, a
// data packet of `dataFor`), within one read limit for the whole wait.
// Data of an open channel is kept for its reader, a Credit the printer
// starts is answered, and the rest is passed over, up to kMaxPassedOver.
EngineStatus CCBTCtrl::Await(std::optional<Command> command, ChannelState* dataFor, Bytes& reply) {
  ReadBudget budget{silent_ ? kShortReadAttempts : config_.readAttempts, config_.readPauseMs};
  int passedOver = 0;
  for (;;) {
    if (dataFor != nullptr && !dataFor->inbox.empty()) return {};
    Bytes packet;
    const PacketRead read = ReadPacket(io_, budget, config_.printerToHost, packet);
    if (read == PacketRead::TimedOut) silent_ = true;
    if (read != PacketRead::Done) return FromRead(read);
    switch (Place(packet, command)) {
      case Placed::Reply: reply = std::move(packet); return {};
      case Placed::Error: return FromErrorPacket(packet);
      case Placed::Kept: break;
      case Placed::PassedOver:
        if (++passedOver > kMaxPassedOver) return Fail(EngineError::Noise);
        break;
    }
  }
}

// Until Init is confirmed nothing the printer sends belongs to this
// conversation but Init's reply: an answer to the entry string, an Error
// packet for it from a printer still in packet mode, an earlier call's late
// replies. Once it is confirmed the printer answers in order, so an Error
// packet is the answer to what was asked.
CCBTCtrl::Placed CCBTCtrl::Place(const Bytes& packet, std::optional<Command> command) {
  const bool transaction = packet[0] == kTransactionSocket && packet[1] == kTransactionSocket;
  if (!transaction) {
    ChannelState* channel = packetMode_ ? OpenChannelOn(packet[0], packet[1]) : nullptr;
    if (channel == nullptr) return Placed::PassedOver;
    channel->inbox.push_back(packet);
    return Placed::Kept;
  }
  const std::uint8_t code = packet[kHeaderSize];
  if (command && code == ReplyByte(*command)) return Placed::Reply;
  if (!packetMode_ && command == Command::Init) return Placed::PassedOver;
  if (code == static_cast<std::uint8_t>(Command::Error)) return Placed::Error;
  return packetMode_ && AnswerPeer(packet) ? Placed::Kept : Placed::PassedOver;
}

// A Credit the printer starts for an open channel lets us send more; the
// standard wants every transaction answered, so it is, also one for a
// channel this side does not hold open (refused then).
bool CCBTCtrl::AnswerPeer(const Bytes& packet) {
  constexpr std::uint8_t kRefused = 0x01;
  const auto credit = ParsePeerCredit(packet);
  if (!credit) return false;
  ChannelState* channel = OpenChannelOn(credit->primarySocket, credit->secondarySocket);
  if (channel != nullptr)
    channel->creditToSend = static_cast<std::uint16_t>(
        std::min<unsigned>(channel->creditToSend + credit->credit, 0xFFFF));
  Write(BuildCreditReply(credit->primarySocket, credit->secondarySocket, channel ? 0 : kRefused),
        WriteRetry::Once);
  return true;
}

CCBTCtrl::ChannelState* CCBTCtrl::OpenChannelOn(std::uint8_t primary, std::uint8_t secondary) {
  for (ChannelState& channel : channels_)
    if (channel.open && channel.socket == primary && channel.socket == secondary) return &channel;
  return nullptr;
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
  channel.creditToReceive = 0;
  channel.inbox.clear();
  Bytes reply;
  const EngineStatus status = Transaction(
      Command::OpenChannel,
      BuildOpenChannel(channel.socket, channel.asked.hostToPrinter, channel.asked.printerToHost),
      reply);
  if (!status.ok()) return status;
  const auto granted = ParseOpenChannelReply(reply);
  if (!granted) return Fail(EngineError::Malformed);
  if (granted->primarySocket != channel.socket || granted->secondarySocket != channel.socket)
    return Fail(EngineError::WrongSockets);
  channel.adopted = {std::min(granted->hostToPrinterSize, channel.asked.hostToPrinter),
                     std::min(granted->printerToHostSize, channel.asked.printerToHost)};
  channel.open = true;
  return status;
}

EngineStatus CCBTCtrl::CloseChannelLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  channel.open = false;
  channel.creditToSend = 0;
  channel.creditToReceive = 0;
  channel.inbox.clear();
  Bytes reply;
  return Transaction(Command::CloseChannel, BuildCloseChannel(channel.socket), reply,
                     WriteRetry::Once);
}

EngineStatus CCBTCtrl::GrantCreditLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  Bytes reply;
  const EngineStatus status =
      Transaction(Command::Credit, BuildCredit(channel.socket, config_.credit), reply);
  if (status.ok()) channel.creditToReceive += config_.credit;
  return status;
}

EngineStatus CCBTCtrl::RequestCreditLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  Bytes reply;
  const EngineStatus status = Transaction(
      Command::CreditRequest,
      BuildCreditRequest(channel.socket, config_.credit, config_.maximumOutstandingCredit), reply);
  if (!status.ok()) return status;
  const auto granted = ParseCreditGranted(reply);
  if (!granted) return Fail(EngineError::Malformed);
  channel.creditToSend =
      static_cast<std::uint16_t>(std::min<unsigned>(channel.creditToSend + *granted, 0xFFFF));
  return status;
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
    case EngineError::Noise: return "too much that was not the reply";
  }
  return "unknown";
}

}  // namespace nolpa::serial_library
