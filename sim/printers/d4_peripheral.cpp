#include "sim/printers/d4_peripheral.h"

#include <algorithm>
#include <cstdio>

#include "sim/core/departures.h"
#include "sim/printers/d4_wire.h"

namespace nolpa::sim {

using namespace d4;

namespace {

const TransactionShape* ShapeOf(std::uint8_t command) {
  for (const auto& s : kShapes)
    if (s.command == command) return &s;
  return nullptr;
}

bool StartsWith(std::span<const std::uint8_t> rest, std::span<const std::uint8_t> pattern) {
  const std::size_t n = std::min(rest.size(), pattern.size());
  return std::equal(rest.begin(), rest.begin() + n, pattern.begin());
}

// 00 00 <length> 01 00 <command>: a transaction a host sent too early. True
// also while fewer than 7 bytes could still become one.
bool TransactionShaped(std::span<const std::uint8_t> rest) {
  static constexpr std::uint8_t kFixed[] = {0x00, 0x00};
  if (!StartsWith(rest, kFixed)) return false;
  if (rest.size() < 7) return true;
  const TransactionShape* shape = ShapeOf(rest[6]);
  return shape && Be16(&rest[2]) == shape->length && rest[4] == 0x01 && rest[5] == 0x00;
}

}  // namespace

D4Peripheral::D4Peripheral(bool offersPacketProtocol, ClassPrinterCommands commands)
    : offersPacketProtocol_(offersPacketProtocol), commands_(std::move(commands)) {}

void D4Peripheral::SetDepartureSink(DepartureSink sink) {
  departureSink_ = sink;
  commands_.SetDepartureSink(std::move(sink));
}

void D4Peripheral::Depart(std::string_view kind, std::string detail) {
  if (departureSink_) departureSink_(kind, std::move(detail));
}

void D4Peripheral::Receive(std::span<const std::uint8_t> data, const PeripheralFaults& faults,
                           std::vector<std::uint8_t>& out, std::vector<Delay>* delays) {
  Out o{*this, faults, out, delays};
  inbox_.insert(inbox_.end(), data.begin(), data.end());
  for (;;) {
    const Mode before = mode_;
    if (mode_ == Mode::Plain) {
      std::size_t pos = 0;
      while (mode_ == Mode::Plain && pos < inbox_.size()) {
        const std::size_t used = PlainStep(Bytes(inbox_).subspan(pos), o);
        if (used == 0) break;
        pos += used;
      }
      inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(pos));
    } else {
      PacketSteps(o);
    }
    if ((mode_ == Mode::Plain) == (before == Mode::Plain) || inbox_.empty()) return;
  }
}

// One plain-mode step: the entry string, the remote status request, a packet
// sent too early, or one byte of print data. 0 while more bytes are needed.
std::size_t D4Peripheral::PlainStep(Bytes rest, Out& o) {
  if (StartsWith(rest, kEntryString)) {
    if (rest.size() < sizeof kEntryString) return 0;
    if (offersPacketProtocol_) {
      Enter(o);
      return sizeof kEntryString;
    }
    Depart(departure::kEntryWithoutD4, "taken as print data");
  } else if (StartsWith(rest, kRemoteStatusRequest)) {
    if (rest.size() < sizeof kRemoteStatusRequest) return 0;
    const std::vector<std::uint8_t> status = commands_.StatusReply(o.faults);
    if (!o.faults.silentCommands) {
      if (TakeLate(o.faults, std::nullopt)) o.Late();
      o.bytes.insert(o.bytes.end(), status.begin(), status.end());
    }
    return sizeof kRemoteStatusRequest;
  } else if (TransactionShaped(rest)) {
    if (rest.size() < 7) return 0;
    const std::size_t length = Be16(&rest[2]);
    if (rest.size() < length) return 0;
    Depart(departure::kPacketBeforeEntry, "command " + Hex2(rest[6]));
    printed_.insert(printed_.end(), rest.begin(), rest.begin() + length);
    return length;
  } else {
    printed_.push_back(rest[0]);
    return 1;
  }
  printed_.insert(printed_.end(), rest.begin(), rest.begin() + sizeof kEntryString);
  return sizeof kEntryString;
}

void D4Peripheral::PacketSteps(Out& o) {
  while (mode_ != Mode::Plain && inbox_.size() >= kHeaderSize) {
    // A host that could not know the printer's mode starts afresh; some
    // printers read the entry string as the packet its header makes it.
    if (!o.faults.entryAsPacket && inbox_.size() >= sizeof kEntryString &&
        StartsWith(inbox_, kEntryString)) {
      inbox_.erase(inbox_.begin(), inbox_.begin() + sizeof kEntryString);
      Enter(o);
      continue;
    }
    const std::size_t length = Be16(&inbox_[2]);
    if (length < kHeaderSize) {
      Depart(departure::kTransactionLength, "packet length " + std::to_string(length));
      o.Error(inbox_[0], inbox_[1], kErrorMalformed);
      inbox_.clear();  // no way to find the next packet
      return;
    }
    if (inbox_.size() < length) return;
    const std::vector<std::uint8_t> packet(inbox_.begin(), inbox_.begin() + length);
    inbox_.erase(inbox_.begin(), inbox_.begin() + length);
    if (packet[0] == kTransactionSocket && packet[1] == kTransactionSocket)
      Transaction(packet, o);
    else
      Data(packet, o);
  }
}

void D4Peripheral::Transaction(Bytes packet, Out& o) {
  if (packet.size() <= kHeaderSize) {
    Depart(departure::kTransactionLength, "no command byte");
    o.Error(kTransactionSocket, kTransactionSocket, kErrorMalformed);
    return;
  }
  const std::uint8_t command = packet[kHeaderSize];
  if (OwnReply(packet, o)) return;
  if (!TransactionAllowed(command, packet, o)) return;
  const Bytes params = packet.subspan(kHeaderSize + 1);
  if (o.faults.silentFrom && *o.faults.silentFrom == command) silenced_ = true;
  if (o.faults.errorCode && (!o.faults.errorOn || *o.faults.errorOn == command)) {
    const bool aboutChannel = command != kInit && command != kExit;
    o.Error(aboutChannel ? params[0] : 0, aboutChannel ? params[1] : 0, *o.faults.errorCode);
    if (command == kExit) LeavePacketMode();
    return;
  }
  Apply(command, params, o);
  if (command != kExit) StartTriggered(command, o);
}

// Checks what every transaction must satisfy; false when it is not applied.
bool D4Peripheral::TransactionAllowed(std::uint8_t command, Bytes packet, Out& o) {
  if (packet[4] != 1 || packet[5] != 0)
    Depart(departure::kTransactionHeader,
           "credit " + Hex2(packet[4]) + ", control " + Hex2(packet[5]));
  const TransactionShape* shape = ShapeOf(command);
  const char* refusal = nullptr;
  if (!shape) {
    Depart(departure::kUnknownTransaction, "command " + Hex2(command));
    refusal = "unknown";
  } else if (packet.size() != shape->length) {
    Depart(departure::kTransactionLength,
           "command " + Hex2(command) + ", length " + std::to_string(packet.size()));
    refusal = "length";
  } else if (mode_ == Mode::Entered && command != kInit && command != kExit) {
    Depart(departure::kTransactionBeforeInit, "command " + Hex2(command));
    refusal = "before Init";
  }
  if (refusal) o.Error(kTransactionSocket, kTransactionSocket, kErrorMalformed);
  return refusal == nullptr;
}

void D4Peripheral::Apply(std::uint8_t command, Bytes params, Out& o) {
  switch (command) {
    case kInit: return Init(params, o);
    case kOpenChannel: return Open(params, o);
    case kCloseChannel: return Close(params, o);
    case kCredit: return Credit(params, o);
    case kCreditRequest: return CreditRequest(params, o);
    default: return Exit(o);
  }
}

void D4Peripheral::Init(Bytes params, Out& o) {
  if (mode_ == Mode::Ready) Depart(departure::kInitTwice, {});
  if (o.faults.refuseRevision || params[0] != kRevision) {
    o.Reply(kInit, {kResultRevision, kRevision});
    return;
  }
  KeepAnswers(o.faults);
  channels_.clear();  // a new conversation
  commands_.Reset();
  mode_ = Mode::Ready;
  o.Reply(kInit, {kResultOk, kRevision});
}

void D4Peripheral::Open(Bytes params, Out& o) {
  const std::uint8_t socket = params[0];
  std::vector<std::uint8_t> reply = {kResultRefused, params[0], params[1]};
  if (params[0] != params[1] || (socket != kControlSocket && socket != kDataSocket)) {
    reply.insert(reply.end(), 6, 0x00);
    return o.Reply(kOpenChannel, reply);
  }
  if (channels_.count(socket)) {
    Depart(departure::kChannelOpenedTwice, "socket " + Hex2(socket));
    reply.insert(reply.end(), 6, 0x00);
    return o.Reply(kOpenChannel, reply);
  }
  const std::uint16_t limit = std::min(kMaxPacket, o.faults.packetSizeLimit.value_or(kMaxPacket));
  const std::uint16_t toHostLimit =
      std::min(limit, o.faults.toHostPacketLimit.value_or(kMaxPacket));
  Channel& channel = channels_[socket];
  channel.toPrinterSize = std::min(Be16(&params[2]), limit);
  channel.toHostSize = std::min(Be16(&params[4]), toHostLimit);
  channel.staleHeld = socket == kControlSocket && !o.faults.staleAnswer.empty();
  if (const auto kept = kept_.find(socket); kept != kept_.end()) {
    channel.outbox = std::move(kept->second);
    kept_.erase(kept);
  }
  reply[0] = kResultOk;
  PutBe16(reply, channel.toPrinterSize);
  PutBe16(reply, channel.toHostSize);
  PutBe16(reply, 0);  // no credit until the host asks for it
  o.Reply(kOpenChannel, reply);
  if (o.faults.unaskedCredit && socket == kControlSocket) StartOwn(kCredit, socket, 1, o);
}

bool D4Peripheral::TakeLate(const PeripheralFaults& faults,
                            std::optional<std::uint8_t> transaction) {
  const std::optional<LateReply>& late = faults.lateReply;
  if (!late || late->transaction != transaction) return false;
  if (late->count != 0 && lateGiven_ >= late->count) return false;
  ++lateGiven_;
  return true;
}

// Packet mode begins (again): no channel is open, Init is awaited, and the
// printer answers the entry string where it is made to.
void D4Peripheral::Enter(Out& o) {
  KeepAnswers(o.faults);
  std::map<std::uint8_t, std::deque<Message>> kept = std::move(kept_);
  LeavePacketMode();
  kept_ = std::move(kept);
  mode_ = Mode::Entered;
  o.bytes.insert(o.bytes.end(), o.faults.entryAnswer.begin(), o.faults.entryAnswer.end());
}

void D4Peripheral::Close(Bytes params, Out& o) {
  const bool open = OpenChannelFor(params[0], "CloseChannel") && params[0] == params[1];
  if (open) {
    if (o.faults.keepAnswers && !channels_[params[0]].outbox.empty())
      kept_[params[0]] = std::move(channels_[params[0]].outbox);
    channels_.erase(params[0]);
    if (params[0] == kControlSocket) commands_.Reset();
  }
  o.Reply(kCloseChannel, {open ? kResultOk : kResultRefused, params[0], params[1]});
}

void D4Peripheral::Credit(Bytes params, Out& o) {
  Channel* channel = params[0] == params[1] ? OpenChannelFor(params[0], "Credit") : nullptr;
  if (channel) TakeCredit(*channel, Be16(&params[2]), o.faults);
  o.Reply(kCredit, {channel ? kResultOk : kResultRefused, params[0], params[1]});
  if (channel) Flush(params[0], *channel, o);
}

void D4Peripheral::CreditRequest(Bytes params, Out& o) {
  Channel* channel = params[0] == params[1] ? OpenChannelFor(params[0], "CreditRequest") : nullptr;
  std::uint16_t grant = 0;
  if (channel && !o.faults.noCredit) grant = std::min(Be16(&params[2]), kMaxGrant);
  // The credit may come later, in a Credit of the printer's own.
  const bool later = grant != 0 && o.faults.lateCreditMs.has_value();
  if (channel && !later) channel->hostCredit += grant;
  std::vector<std::uint8_t> reply = {channel ? kResultOk : kResultRefused, params[0], params[1]};
  PutBe16(reply, later ? 0 : grant);
  o.Reply(kCreditRequest, reply);
  if (!later) return;
  o.After(*o.faults.lateCreditMs);
  StartOwn(kCredit, params[0], grant, o);
}

void D4Peripheral::Exit(Out& o) {
  if (!channels_.empty() && !exitHeld_) {
    std::string open;
    for (const auto& [socket, channel] : channels_) open += " " + Hex2(socket);
    Depart(departure::kChannelOpenAtExit, "sockets" + open);
  }
  if (!own_.empty()) {
    NoteUnanswered("at Exit");
  } else if (!exitHeld_ && StartTriggered(kExit, o)) {
    exitHeld_ = true;  // the reply waits for the host's answers
    return;
  }
  o.Reply(kExit, {kResultOk});
  LeavePacketMode();
}

void D4Peripheral::Data(Bytes packet, Out& o) {
  const std::uint8_t socket = packet[0];
  Channel* channel = nullptr;
  if (packet[0] == packet[1] && mode_ == Mode::Ready)
    channel = OpenChannelFor(socket, "data packet");
  else
    Depart(departure::kChannelNotOpen, "data packet on " + Hex2(packet[0]) + "/" + Hex2(packet[1]));
  if (!channel) return o.Error(packet[0], packet[1], kErrorNotOpen);
  if (packet.size() > channel->toPrinterSize) {
    Depart(departure::kPacketTooLong, std::to_string(packet.size()) + " bytes, granted " +
                                          std::to_string(channel->toPrinterSize));
    return o.Error(socket, socket, kErrorTooLong);
  }
  if (channel->hostCredit == 0) {
    Depart(departure::kDataWithoutCredit, "socket " + Hex2(socket));
    return o.Error(socket, socket, kErrorNoCredit);
  }
  --channel->hostCredit;
  TakeCredit(*channel, packet[4], o.faults);  // credit piggybacked on the header
  const Bytes payload = packet.subspan(kHeaderSize);
  if (socket == kControlSocket) {
    Message answer;
    commands_.Receive(payload, o.faults, answer.bytes);
    answer.late = !answer.bytes.empty() && TakeLate(o.faults, std::nullopt);
    if (!answer.bytes.empty()) channel->outbox.push_back(std::move(answer));
  } else {
    printed_.insert(printed_.end(), payload.begin(), payload.end());
  }
  Flush(socket, *channel, o);
  if (socket == kControlSocket) StartTriggered(std::nullopt, o);
}

// Credit the host gave the printer on a channel; the first after the
// channel opened lets out an answer it still held from before.
void D4Peripheral::TakeCredit(Channel& channel, std::uint32_t credit,
                              const PeripheralFaults& faults) {
  if (credit == 0) return;
  channel.printerCredit += credit;
  if (channel.staleHeld) channel.outbox.push_front({faults.staleAnswer});
  channel.staleHeld = false;
}

D4Peripheral::Channel* D4Peripheral::OpenChannelFor(std::uint8_t socket, const char* what) {
  const auto it = channels_.find(socket);
  if (it != channels_.end()) return &it->second;
  Depart(departure::kChannelNotOpen, std::string(what) + " for socket " + Hex2(socket));
  return nullptr;
}

// Sends what the channel holds, one packet per credit the host has given,
// each within the packet size granted; a packet never holds the end of one
// answer and the start of the next.
void D4Peripheral::Flush(std::uint8_t socket, Channel& channel, Out& o) {
  const std::size_t room = channel.toHostSize > kHeaderSize ? channel.toHostSize - kHeaderSize : 1;
  const std::uint8_t replySocket =
      o.faults.wrongSockets ? (socket == kControlSocket ? kDataSocket : kControlSocket) : socket;
  while (!channel.outbox.empty() && channel.printerCredit > 0) {
    Message& answer = channel.outbox.front();
    if (answer.sent == 0 && answer.late) o.Late();
    const std::size_t n = std::min(room, answer.bytes.size() - answer.sent);
    const auto from = answer.bytes.begin() + static_cast<std::ptrdiff_t>(answer.sent);
    answer.sent += n;
    const bool last = answer.sent == answer.bytes.size();
    // Credit in the header: the host may send that many more packets.
    o.Packet(replySocket, replySocket, o.faults.headerCredit,
             std::vector<std::uint8_t>(from, from + static_cast<std::ptrdiff_t>(n)),
             last && o.faults.endOfMessage ? kEndOfMessage : 0x00);
    channel.hostCredit += o.faults.headerCredit;
    if (last) channel.outbox.pop_front();
    --channel.printerCredit;
  }
}

void D4Peripheral::LeavePacketMode() {
  mode_ = Mode::Plain;
  channels_.clear();
  silenced_ = false;
  own_.clear();
  exitHeld_ = false;
  kept_.clear();
  commands_.Reset();
}

// With keepAnswers, what the open channels still hold outlives them.
void D4Peripheral::KeepAnswers(const PeripheralFaults& faults) {
  if (!faults.keepAnswers) return;
  for (auto& [socket, channel] : channels_) {
    std::deque<Message>& kept = kept_[socket];
    for (Message& m : channel.outbox) kept.push_back(std::move(m));
  }
}

void D4Peripheral::HostClosed() {
  if (InPacketMode()) {
    if (!channels_.empty()) Depart(departure::kChannelOpenAtClose, {});
    if (!own_.empty()) NoteUnanswered("at close");
    Depart(departure::kClosedInPacketMode, {});
    return;
  }
  printed_.insert(printed_.end(), inbox_.begin(), inbox_.end());  // a cut-off request
  inbox_.clear();
}

bool D4Peripheral::PowerCycle() {
  LeavePacketMode();
  inbox_.clear();
  return commands_.PowerCycle();
}

}  // namespace nolpa::sim
