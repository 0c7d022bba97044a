#include "serial_library/engine/cbt_ctrl.h"

#include <algorithm>

namespace nolpa::serial_library {
namespace {

EngineStatus Fail(EngineError error) { return EngineStatus{error}; }

}  // namespace

const std::array<std::uint8_t, 27> kEntryString{0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Q', 'X',  'V',
                                                ' ',  '1',  '2',  '8',  '4',  '.', '4', '\n', '@',
                                                'Q',  'X',  'V',  '\n', '@',  'Q', 'X', 'V',  '\n'};

bool EndsWithClosingByte(std::span<const std::uint8_t> reply) {
  constexpr std::uint8_t kClosingByte = 0x0C;
  return !reply.empty() && reply.back() == kClosingByte;
}

CCBTCtrl::CCBTCtrl(CPortIO& io, const EngineConfig& config, std::optional<SessionDeadline> deadline)
    : io_(io),
      config_(config),
      deadline_(deadline ? *deadline : SessionDeadlineFrom(io.clock().NowMs())),
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

bool CCBTCtrl::PlainBytesSafe() const {
  std::lock_guard guard(lock_);
  return entryWhole_ && !entrySent_ && !exitUndelivered_ && (!heardPacket_ || exitAcknowledged_);
}

bool CCBTCtrl::ExitDelivered() const {
  std::lock_guard guard(lock_);
  return !exitUndelivered_;
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
  entryWhole_ = whole;
  if (entrySent_) heardPacket_ = exitAcknowledged_ = exitUndelivered_ = false;
  if (!whole) return Fail(EngineError::WriteFailed);
  Bytes reply;
  const EngineStatus status = Transaction(Command::Init, BuildInit(kInitRevision), reply);
  packetMode_ = answering_ = status.ok();
  return status;
}

EngineStatus CCBTCtrl::Stop() {
  std::lock_guard guard(lock_);
  return StopLocked();
}

// The printer leaves packet mode on Exit, and on nothing else a host can
// send: so Exit goes out whenever the entry string did, and its reply is
// awaited only briefly after a silence. While it is awaited, what the
// printer starts is still answered.
EngineStatus CCBTCtrl::StopLocked() {
  if (!entrySent_) return {};
  entrySent_ = packetMode_ = false;
  ResetChannels();
  const ClosingScope closing(*this);
  Bytes reply;
  const Bytes exit = BuildExit();
  if (!Write(exit, WriteRetry::Once)) {
    exitUndelivered_ = true;
    answering_ = false;
    return Fail(EngineError::WriteFailed);
  }
  EngineStatus status = Await({.reply = Command::Exit}, reply);
  answering_ = false;
  if (!status.ok()) return status;
  const auto result = ParseReplyResult(reply, Command::Exit);
  if (!result) return Fail(EngineError::Malformed);
  if (*result != 0) {
    status = Fail(EngineError::ResultNotZero);
    status.result = *result;
    return status;
  }
  exitAcknowledged_ = true;
  return status;
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
  EngineStatus status = Await({.reply = command}, reply);
  if (!status.ok()) return status;
  const auto result = ParseReplyResult(reply, command);
  if (!result) return Fail(EngineError::Malformed);
  if (*result != 0) {
    status = Fail(EngineError::ResultNotZero);
    status.result = *result;
  }
  return status;
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
  const ClosingScope closing(*this);
  Bytes reply;
  return Transaction(Command::CloseChannel, BuildCloseChannel(channel.socket), reply,
                     WriteRetry::Once);
}

// The credit counts before the request goes out: a printer may send the
// packet it allows before its reply to the Credit.
EngineStatus CCBTCtrl::GrantCreditLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  channel.creditToReceive += config_.credit;
  Bytes reply;
  return Transaction(Command::Credit, BuildCredit(channel.socket, config_.credit), reply);
}

// A printer with no credit to give at once answers 0 and may grant it later
// by a Credit of its own: that is waited for, within the wait's time.
EngineStatus CCBTCtrl::RequestCreditLocked(ChannelState& channel) {
  if (!packetMode_) return Fail(EngineError::NotInPacketMode);
  Bytes reply;
  const EngineStatus status = Transaction(
      Command::CreditRequest,
      BuildCreditRequest(channel.socket, config_.credit, config_.maximumOutstandingCredit), reply);
  if (!status.ok()) return status;
  const auto granted = ParseCreditGranted(reply);
  if (!granted) return Fail(EngineError::Malformed);
  channel.AddCreditToSend(*granted);
  if (channel.creditToSend > 0) return status;
  Bytes none;
  const EngineStatus later = Await({.credit = &channel}, none);
  return later.error == EngineError::ReadTimedOut ? Fail(EngineError::NoCredit) : later;
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
