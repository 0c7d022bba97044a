// The transactions a printer-class printer starts on socket 0 of its own
// accord (Credit, CreditRequest, a command the host does not know), the
// unasked Error packets it sends, and the host's replies to its
// transactions: each is checked against what it answers and taken off the
// list of those still awaited.
#include <algorithm>
#include <string>

#include "sim/core/departures.h"
#include "sim/printers/d4_wire.h"

namespace nolpa::sim {

using namespace d4;

namespace {

constexpr std::size_t kCreditReplyLength = 10;         // header, 83, result, sockets
constexpr std::size_t kCreditRequestReplyLength = 12;  // ... and the credit granted
constexpr std::size_t kShortestReply = 8;              // header, command, result

std::uint8_t CommandOf(const PrinterTransactions& t) {
  switch (t.kind) {
    case PrinterTransactions::Kind::Credit: return kCredit;
    case PrinterTransactions::Kind::CreditRequest: return kCreditRequest;
    case PrinterTransactions::Kind::Unknown: return t.command;
  }
  return t.command;
}

std::string NameOf(std::uint8_t command) {
  if (command == kCredit) return "Credit";
  if (command == kCreditRequest) return "CreditRequest";
  return "command " + Hex2(command);
}

}  // namespace

// One transaction of the printer's own about channel `socket`; a Credit
// grants the host `grant` more packets on it.
void D4Peripheral::StartOwn(std::uint8_t command, std::uint8_t socket, std::uint16_t grant,
                            Out& o) {
  if (silenced_) return;
  own_.emplace_back(command, socket);
  std::vector<std::uint8_t> fields = {command, socket, socket};
  if (command == kCredit) {
    if (const auto channel = channels_.find(socket); channel != channels_.end())
      channel->second.hostCredit += grant;
    PutBe16(fields, grant);
  } else if (command == kCreditRequest) {
    PutBe16(fields, 1);          // one packet more
    PutBe16(fields, kMaxGrant);  // and no more outstanding than its buffers
  }
  o.Packet(o.TransactionSocket(), o.TransactionSocket(), 1, fields);
}

// What the printer sends unasked after its reply to transaction `after`
// (unset: after a command on the control channel). True when it started
// transactions of its own.
bool D4Peripheral::StartTriggered(std::optional<std::uint8_t> after, Out& o) {
  const std::size_t before = own_.size();
  if (const auto& t = o.faults.printerTransactions; t && t->on == after)
    for (std::uint32_t i = 0; i < t->count; ++i) StartOwn(CommandOf(*t), kControlSocket, 1, o);
  if (const auto& e = o.faults.unaskedError;
      e && e->on == after && (e->count == 0 || errorsGiven_ < e->count)) {
    ++errorsGiven_;
    o.Error(kControlSocket, kControlSocket, e->code);
  }
  return own_.size() > before;
}

// A reply of the host to a transaction the printer started: taken (and
// nothing answered to it) while one of that command is awaited; otherwise
// it is no reply at all, and the caller refuses it.
bool D4Peripheral::OwnReply(Bytes packet, Out& o) {
  const std::uint8_t reply = packet[kHeaderSize];
  if ((reply & kReplyBit) == 0) return false;
  const std::uint8_t command = reply & static_cast<std::uint8_t>(~kReplyBit);
  const auto awaited = std::find_if(own_.begin(), own_.end(),
                                    [command](const auto& own) { return own.first == command; });
  if (awaited == own_.end()) return false;
  const std::uint8_t socket = awaited->second;
  own_.erase(awaited);
  if (packet[4] != 1 || packet[5] != 0)
    Depart(departure::kTransactionHeader,
           "credit " + Hex2(packet[4]) + ", control " + Hex2(packet[5]));
  CheckOwnReply(command, socket, packet, o);
  const auto& t = o.faults.printerTransactions;
  if (t && t->flood && CommandOf(*t) == command) StartOwn(command, kControlSocket, 1, o);
  if (own_.empty() && exitHeld_) {
    o.Reply(kExit, {kResultOk});
    LeavePacketMode();
  }
  return true;
}

// Notes a reply that does not fit the transaction; a CreditRequest granted
// lets the printer send what it holds.
void D4Peripheral::CheckOwnReply(std::uint8_t command, std::uint8_t socket, Bytes packet, Out& o) {
  const bool sockets =
      packet.size() >= kCreditReplyLength && packet[8] == socket && packet[9] == socket;
  std::string wrong;
  if (command == kCredit) {
    if (packet.size() != kCreditReplyLength || !sockets)
      wrong = "Credit reply of " + std::to_string(packet.size()) + " bytes";
  } else if (command == kCreditRequest) {
    if (packet.size() != kCreditRequestReplyLength || !sockets) {
      wrong = "CreditRequest reply of " + std::to_string(packet.size()) + " bytes";
    } else if (const auto channel = channels_.find(socket);
               packet[7] == kResultOk && channel != channels_.end()) {
      TakeCredit(channel->second, Be16(&packet[10]), o.faults);
      Flush(socket, channel->second, o);
    }
  } else if (packet.size() < kShortestReply || packet[7] == kResultOk) {
    wrong = NameOf(command) + (packet.size() < kShortestReply ? ": no result" : ": result 0");
  }
  if (!wrong.empty()) Depart(departure::kPrinterTransactionAnsweredWrongly, wrong);
}

void D4Peripheral::NoteUnanswered(const char* when) {
  std::string awaited;
  for (const auto& [command, socket] : own_) awaited += " " + NameOf(command);
  Depart(departure::kPrinterTransactionUnanswered, std::string(when) + ":" + awaited);
}

}  // namespace nolpa::sim
