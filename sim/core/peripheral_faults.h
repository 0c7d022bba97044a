#pragma once
// Misbehaviour switches of a printer's command interpreter (the answers to
// GS I) and of a printer-class printer's packet-protocol side. The default
// is a printer that behaves.
#include <cstdint>
#include <optional>
#include <vector>

namespace nolpa::sim {

// Fault switch for the identification query GS I 1.
enum class QueryAnswer {
  Normal,         // answer identByte
  OneByteStatus,  // answer the status byte 0x12 instead
  Block,          // answer the block 5F 'x' 00 instead
};

// Fault switch for the printer-information requests GS I C, A and D.
enum class InfoAnswer {
  Normal,         // the block 5F text 00
  Ignore,         // no answer at all
  OneByteStatus,  // the status byte 0x12 instead of the block
  NoTerminator,   // the block 5F text without its closing 00
  OtherBlock,     // a block of another kind: 15 text 00
};

// What the printer answers to a serial-number write.
enum class WriteAnswer { Ok, NotAvailable, Busy };  // "OK;", "NA;", "BUSY;"

// Replies that reach the host later than they would (a printer busy for a
// while): they, and everything the printer sends after them, wait `ms`.
struct LateReply {
  // The transaction (its command byte) whose replies come late; unset: the
  // answers to commands (on the control channel, and the status answered
  // on the plain data path).
  std::optional<std::uint8_t> transaction{};
  std::uint32_t ms = 6000;
  // How many replies come late, counted over the printer's life; 0: all.
  std::uint32_t count = 1;
};

// Transactions the printer starts on socket 0, about the control channel
// (0x02): Credit grants the host one more packet, CreditRequest asks the
// host for credit (a host that has none to give answers with credit 0),
// any other command is one the host does not know and refuses (a reply
// whose result is not 0). The printer waits for the host's reply to each.
struct PrinterTransactions {
  enum class Kind { Credit, CreditRequest, Unknown };
  Kind kind = Kind::Credit;
  std::uint8_t command = 0x20;  // the unknown one's command byte
  // Started after the printer's reply to each transaction of this command
  // (Exit: before its reply, which then waits until the host answered
  // them); unset: after a command on the control channel.
  std::optional<std::uint8_t> on = 0x01;
  std::uint32_t count = 1;  // started at once
  bool flood = false;       // each reply of the host starts another one
};

// Error packets the printer sends unasked, about the control channel.
struct UnaskedError {
  std::uint8_t code = 0x80;
  // After its reply to each transaction of this command; unset: after a
  // command on the control channel.
  std::optional<std::uint8_t> on = 0x03;
  // How many, counted over the printer's life; 0: every time.
  std::uint32_t count = 1;
};

struct PeripheralFaults {
  // Init with any revision is answered with a refusal.
  bool refuseRevision = false;
  // An Error packet with this code takes the place of a transaction's reply;
  // only for transactions of command `errorOn`, or for all when unset. The
  // transaction has no effect, except Exit, which still ends packet mode.
  std::optional<std::uint8_t> errorCode{};
  std::optional<std::uint8_t> errorOn{};
  // Transaction replies go out on socket 0x02 instead of 0, and control
  // replies on the data channel's socket 0x40.
  bool wrongSockets = false;
  // CreditRequest is answered with no credit granted.
  bool noCredit = false;
  // From the first transaction of this command on, the printer sends nothing
  // more until it leaves packet mode.
  std::optional<std::uint8_t> silentFrom{};
  // Commands on the control channel are taken but never answered.
  bool silentCommands = false;
  // OpenChannel grants at most this packet size in either direction.
  std::optional<std::uint16_t> packetSizeLimit{};
  // OpenChannel grants at most this packet size from printer to host (the
  // host's packets keep the size asked): answers go out in several packets.
  std::optional<std::uint16_t> toHostPacketLimit{};
  // The last packet of each answer on a channel carries the end-of-message
  // flag (bit 1 of the header's control byte).
  bool endOfMessage = false;
  // Bytes the printer sends whenever the entry string leads it into packet
  // mode, such as one packet "00 00 00 08 01 00 D1 00".
  std::vector<std::uint8_t> entryAnswer{};
  // Once the control channel is open the printer grants the host one
  // credit of its own accord (a Credit transaction on socket 0), and waits
  // for the host's reply to it.
  bool unaskedCredit = false;
  std::optional<LateReply> lateReply{};
  WriteAnswer writeAnswer = WriteAnswer::Ok;
  // The status reply in the "@BDC ST2" field-list form.
  bool statusFieldList = false;
  // IOCTL_USBPRINT_GET_LPT_STATUS reports an error: bit 0x08 clear.
  bool lptError = false;
  // Each read hands out at most 1, 2, ... up to this many bytes in turn
  // (then 1 again); 0: as many as are due. Not with usbPacketSize.
  std::uint8_t readPieces = 0;
  // The bulk IN endpoint's packet size (64 at full speed, 512 at high
  // speed): what the printer sends in answer to one write is one transfer of
  // packets of this size, and a read takes whole packets up to the end of
  // one transfer; a packet larger than the room left in the read overruns
  // it, the read fails and those bytes are lost. 0: a stream of bytes that
  // reads of any size take.
  std::uint16_t usbPacketSize = 0;
  // A read that gets nothing was cancelled at its bound; the next transfer,
  // when it falls due within this many ms, was already on its way and is
  // lost with it. 0: nothing lost.
  std::uint32_t lostInFlightMs = 0;
  // An earlier answer the printer still holds, such as "tp:00F0:OK;" 0C:
  // each time the control channel is opened, the first credit the host
  // gives it sends this answer ahead of anything else (and uses that
  // credit). Empty: none held.
  std::vector<std::uint8_t> staleAnswer{};
  // CloseChannel, Init and the entry string in packet mode keep the
  // answers a channel still held; they go out once it is open again and
  // the host gives credit. Exit and a power cycle still drop them.
  bool keepAnswers = false;
  // CreditRequest is answered with credit 0, and the credit asked for
  // follows this many ms later in a Credit transaction of the printer's own.
  std::optional<std::uint32_t> lateCreditMs{};
  std::optional<PrinterTransactions> printerTransactions{};
  std::optional<UnaskedError> unaskedError{};
  // Every data packet the printer sends carries this much credit in its
  // header: the host may send that many more packets on the channel.
  std::uint8_t headerCredit = 0;
  // In packet mode the entry string is read as what its first six bytes
  // say: a 27-byte transaction packet with control byte 0x40 and the
  // unknown command 0x51, answered with an Error packet; the printer stays
  // in packet mode until Exit or a power cycle.
  bool entryAsPacket = false;
};

}  // namespace nolpa::sim
