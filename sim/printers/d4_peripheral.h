#pragma once
// The IEEE 1284.4 ("D4") side of a printer-class printer. In plain mode the
// bytes the host writes are print data, except the remote status request
// (answered with the status) and the entry string, which switches a printer
// that offers the packet protocol into packet mode. In packet mode it answers
// the transactions on socket 0 (Init, OpenChannel, CloseChannel, Credit,
// CreditRequest, Exit), hands data packets of the control channel (socket
// 0x02) to the command interpreter and sends its answers back as data packets
// while the host has given credit, one packet per credit, each no longer than
// the packet size granted. Every packet: primary socket, secondary socket,
// 16-bit big-endian length counting the 6-byte header, credit, control, then
// the payload. Packet mode ends with Exit or a power cycle only: a printer is
// told nothing when a handle closes. The entry string (whose first six bytes
// are a packet header of its own length) starts packet mode afresh even in
// packet mode, unless the printer is made to read it as that packet. Made
// to, it also starts transactions of its own, sends Error packets unasked,
// holds earlier answers, and grants credit late or in data headers
// (peripheral_faults.h). Pure: bytes in, bytes out; no I/O, no clock.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/core/peripheral_faults.h"
#include "sim/printers/class_printer_commands.h"

namespace nolpa::sim {

// 0x00 0x00 0x00 0x1B 0x01 "@QXV 1284.4" LF "@QXV" LF "@QXV" LF.
inline constexpr std::uint8_t kEntryString[] = {0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Q', 'X',  'V',
                                                ' ',  '1',  '2',  '8',  '4',  '.', '4', '\n', '@',
                                                'Q',  'X',  'V',  '\n', '@',  'Q', 'X', 'V',  '\n'};

inline constexpr std::uint8_t kControlSocket = 0x02;
inline constexpr std::uint8_t kDataSocket = 0x40;

class D4Peripheral {
 public:
  using DepartureSink = std::function<void(std::string_view kind, std::string detail)>;

  D4Peripheral(bool offersPacketProtocol, ClassPrinterCommands commands);

  // The bytes of an output from `at` on reach the host `ms` later than the
  // bytes before them (a reply made late).
  struct Delay {
    std::size_t at = 0;
    std::uint32_t ms = 0;
  };

  // Feeds bytes the host wrote; appends the printer's output to `out`, and
  // where a reply is late, a Delay to `delays` (when given). Packets and
  // commands may come split across calls.
  void Receive(std::span<const std::uint8_t> data, const PeripheralFaults& faults,
               std::vector<std::uint8_t>& out, std::vector<Delay>* delays = nullptr);

  // The host closed the device. A printer still in packet mode notes it (the
  // host left it there) and stays in it, with whatever it holds.
  void HostClosed();
  // Power lost: back to plain mode, the pending serial number applied.
  // True when the serial number changed.
  bool PowerCycle();

  bool OffersPacketProtocol() const { return offersPacketProtocol_; }
  void SetOffersPacketProtocol(bool offers) { offersPacketProtocol_ = offers; }
  bool InPacketMode() const { return mode_ != Mode::Plain; }
  bool Initialised() const { return mode_ == Mode::Ready; }
  bool ChannelOpen(std::uint8_t socket) const { return channels_.count(socket) != 0; }

  ClassPrinterCommands& Commands() { return commands_; }
  const ClassPrinterCommands& Commands() const { return commands_; }
  // Print data: plain-mode bytes and data-channel payloads, in order.
  const std::vector<std::uint8_t>& Printed() const { return printed_; }

  void SetDepartureSink(DepartureSink sink);

 private:
  enum class Mode { Plain, Entered, Ready };
  // One answer waiting to go out, and how much of it went.
  struct Message {
    std::vector<std::uint8_t> bytes;
    std::size_t sent = 0;
    bool late = false;
  };
  struct Channel {
    std::uint16_t toPrinterSize = 0;  // granted packet sizes, header included
    std::uint16_t toHostSize = 0;
    std::uint32_t hostCredit = 0;     // data packets the host may still send
    std::uint32_t printerCredit = 0;  // data packets the printer may still send
    std::deque<Message> outbox;
    bool staleHeld = false;  // the stale answer goes out with the first credit
  };
  using Bytes = std::span<const std::uint8_t>;
  struct Out;

  std::size_t PlainStep(Bytes rest, Out& out);
  void PacketSteps(Out& out);
  void Transaction(Bytes packet, Out& out);
  bool TransactionAllowed(std::uint8_t command, Bytes packet, Out& out);
  void Apply(std::uint8_t command, Bytes params, Out& out);
  void Init(Bytes params, Out& out);
  void Open(Bytes params, Out& out);
  void Close(Bytes params, Out& out);
  void Credit(Bytes params, Out& out);
  void CreditRequest(Bytes params, Out& out);
  void Exit(Out& out);
  void Data(Bytes packet, Out& out);
  Channel* OpenChannelFor(std::uint8_t socket, const char* what);
  void Flush(std::uint8_t socket, Channel& channel, Out& out);
  void TakeCredit(Channel& channel, std::uint32_t credit, const PeripheralFaults& faults);
  void Enter(Out& out);
  bool TakeLate(const PeripheralFaults& faults, std::optional<std::uint8_t> transaction);
  void LeavePacketMode();
  void KeepAnswers(const PeripheralFaults& faults);
  void Depart(std::string_view kind, std::string detail);
  // Transactions the printer starts (d4_printer_transactions.cpp).
  void StartOwn(std::uint8_t command, std::uint8_t socket, std::uint16_t grant, Out& out);
  bool StartTriggered(std::optional<std::uint8_t> after, Out& out);
  bool OwnReply(Bytes packet, Out& out);
  void CheckOwnReply(std::uint8_t command, std::uint8_t socket, Bytes packet, Out& out);
  void NoteUnanswered(const char* when);

  bool offersPacketProtocol_;
  ClassPrinterCommands commands_;
  Mode mode_ = Mode::Plain;
  bool silenced_ = false;
  // The printer's own transactions the host has not answered: command, socket.
  std::deque<std::pair<std::uint8_t, std::uint8_t>> own_;
  bool exitHeld_ = false;          // the reply to Exit waits for the host's answers
  std::uint32_t lateGiven_ = 0;    // replies made late so far
  std::uint32_t errorsGiven_ = 0;  // unasked Error packets sent so far
  std::vector<std::uint8_t> inbox_;
  std::map<std::uint8_t, Channel> channels_;
  std::map<std::uint8_t, std::deque<Message>> kept_;  // answers of channels not open
  std::vector<std::uint8_t> printed_;
  DepartureSink departureSink_;
};

}  // namespace nolpa::sim
