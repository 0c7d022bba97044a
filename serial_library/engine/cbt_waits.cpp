// The engine's waits: packets cut out of what arrives, each sorted as the
// reply awaited, data for an open channel, a transaction of the printer's
// own (answered), or something to pass over; every one counted against the
// session's bounds, every wait ended by its time and the deadline.
#include <algorithm>

#include "serial_library/engine/cbt_ctrl.h"

namespace nolpa::serial_library {
namespace {

// The result of a reply that refuses what the printer asked: not 0.
constexpr std::uint8_t kRefused = 0x01;

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

CCBTCtrl::ClosingScope::ClosingScope(CCBTCtrl& engine)
    : engine_(engine), saved_(engine.counts_), outer_(engine.closing_) {
  if (outer_) return;
  engine_.closing_ = true;
  engine_.counts_ = {};
}

CCBTCtrl::ClosingScope::~ClosingScope() {
  if (outer_) return;
  engine_.closing_ = false;
  engine_.counts_ = saved_;
}

// One wait lasts the configured read time (500 reads 10 ms apart), or only
// briefly after a silence, and never past the deadline.
std::uint64_t CCBTCtrl::WaitEnd() const {
  const std::uint64_t limit =
      silent_ ? kShortWaitMs : std::uint64_t(config_.readAttempts) * config_.readPauseMs;
  return std::min(io_.clock().NowMs() + limit, closing_ ? deadline_.endMs : deadline_.workEndMs);
}

bool CCBTCtrl::WithinBounds() const {
  const SessionBounds& bounds = closing_ ? kClosingBounds : kSessionBounds;
  return counts_.packets < bounds.packets && counts_.bytes < bounds.bytes &&
         counts_.passedOver <= bounds.passedOver && counts_.answered <= bounds.answered;
}

// Reads packets until what `awaited` names has come, within one wait.
EngineStatus CCBTCtrl::Await(const Awaited& awaited, Bytes& reply) {
  const std::uint64_t until = awaited.drain ? io_.clock().NowMs() : WaitEnd();
  for (;;) {
    if (awaited.data != nullptr && !awaited.data->inbox.empty()) return {};
    if (awaited.credit != nullptr && awaited.credit->creditToSend > 0) return {};
    if (!WithinBounds()) return Fail(EngineError::Noise);
    Bytes packet;
    std::size_t dropped = 0;
    const PacketRead read =
        NextPacket(io_, until, config_.readPauseMs, config_.printerToHost, packet, &dropped);
    counts_.bytes += dropped + packet.size();
    if (read == PacketRead::TimedOut && !awaited.drain) silent_ = true;
    if (read != PacketRead::Done) return FromRead(read);
    ++counts_.packets;
    heardPacket_ = true;
    switch (Place(packet, awaited)) {
      case Placed::Reply: reply = std::move(packet); return {};
      case Placed::Error: return FromErrorPacket(packet);
      case Placed::Kept: break;
      case Placed::Answered: ++counts_.answered; break;
      case Placed::PassedOver: ++counts_.passedOver; break;
    }
  }
}

// Until Init is confirmed nothing the printer sends belongs to this
// conversation but Init's reply: an answer to the entry string, an Error
// packet for it from a printer still in packet mode, an earlier call's late
// replies. Once it is confirmed the printer answers in order, so an Error
// packet is the answer to what was asked.
CCBTCtrl::Placed CCBTCtrl::Place(const Bytes& packet, const Awaited& awaited) {
  const bool transaction = packet[0] == kTransactionSocket && packet[1] == kTransactionSocket;
  if (!transaction) return PlaceData(packet);
  const std::uint8_t code = packet[kHeaderSize];
  if (awaited.reply && code == ReplyByte(*awaited.reply)) return Placed::Reply;
  if (awaited.reply == Command::Init) return Placed::PassedOver;
  if (code == static_cast<std::uint8_t>(Command::Error)) return Placed::Error;
  if ((code & kReplyBit) != 0 || !answering_) return Placed::PassedOver;
  return AnswerPeer(packet) ? Placed::Answered : Placed::PassedOver;
}

// Data of an open channel is kept while the printer had credit for it; its
// header may carry credit for the host. Data without credit, or for a
// channel not open, is passed over.
CCBTCtrl::Placed CCBTCtrl::PlaceData(const Bytes& packet) {
  ChannelState* channel = packetMode_ ? OpenChannelOn(packet[0], packet[1]) : nullptr;
  if (channel == nullptr) return Placed::PassedOver;
  const auto header = ParseHeader(packet);
  channel->AddCreditToSend(header->credit);
  if (channel->creditToReceive == 0) return Placed::PassedOver;
  --channel->creditToReceive;
  channel->inbox.push_back(packet);
  return Placed::Kept;
}

// Every transaction the printer starts gets its reply, as the standard
// wants: a Credit adds to what this side may send (refused for a channel
// not open here), a CreditRequest gets credit 0 (this side grants credit by
// Credit transactions of its own), anything else a refusal.
bool CCBTCtrl::AnswerPeer(const Bytes& packet) {
  if (io_.FramingLost()) return false;
  if (const auto credit = ParsePeerCredit(packet)) {
    ChannelState* channel = OpenChannelOn(credit->primarySocket, credit->secondarySocket);
    if (channel != nullptr) channel->AddCreditToSend(credit->credit);
    Write(BuildCreditReply(credit->primarySocket, credit->secondarySocket, channel ? 0 : kRefused),
          WriteRetry::Once);
    return true;
  }
  if (const auto request = ParsePeerCreditRequest(packet)) {
    const bool open = OpenChannelOn(request->primarySocket, request->secondarySocket) != nullptr;
    Write(BuildCreditRequestReply(request->primarySocket, request->secondarySocket,
                                  open ? 0 : kRefused, 0),
          WriteRetry::Once);
    return true;
  }
  Write(BuildRefusal(packet[kHeaderSize], kRefused), WriteRetry::Once);
  return true;
}

}  // namespace nolpa::serial_library
