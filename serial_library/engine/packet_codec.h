#pragma once
// IEEE 1284.4 packets as pure functions over bytes: the six-byte header, the
// transaction requests the engine sends on socket 0, data packets on a
// channel, and the parsers of the printer's replies and Error packets. No
// parser reads outside the span it is given.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace nolpa::serial_library {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kHeaderSize = 6;
// The transaction channel: every command and its reply travel on socket 0.
inline constexpr std::uint8_t kTransactionSocket = 0x00;

// Transaction commands; a reply carries the request's command with bit 7 set.
enum class Command : std::uint8_t {
  Init = 0x00,
  OpenChannel = 0x01,
  CloseChannel = 0x02,
  Credit = 0x03,
  CreditRequest = 0x04,
  Exit = 0x08,
  Error = 0x7F,
};
inline constexpr std::uint8_t kReplyBit = 0x80;

// The header's control byte: bit 0 marks out-of-band data, bit 1 the end of
// a message (set by the sender on the last packet of a message that spans
// several); the other bits are reserved and zero.
inline constexpr std::uint8_t kOutOfBand = 0x01;
inline constexpr std::uint8_t kEndOfMessage = 0x02;
inline constexpr std::uint8_t kDefinedControlBits = kOutOfBand | kEndOfMessage;

struct PacketHeader {
  std::uint8_t primarySocket = 0;
  std::uint8_t secondarySocket = 0;
  std::uint16_t length = 0;  // the whole packet, header included
  std::uint8_t credit = 0;
  std::uint8_t control = 0;
};

// The header's six bytes; nullopt when fewer than six are given or the
// length field is below the header's own size.
std::optional<PacketHeader> ParseHeader(std::span<const std::uint8_t> bytes);

// --- requests (each on socket 0, header credit 1, control 0) ---
Bytes BuildInit(std::uint8_t revision);
Bytes BuildOpenChannel(std::uint8_t socket, std::uint16_t hostToPrinterSize,
                       std::uint16_t printerToHostSize);
Bytes BuildCloseChannel(std::uint8_t socket);
Bytes BuildCredit(std::uint8_t socket, std::uint16_t credit);
Bytes BuildCreditRequest(std::uint8_t socket, std::uint16_t credit,
                         std::uint16_t maximumOutstanding);
Bytes BuildExit();
// The host's reply to a Credit the printer started: its result and the
// channel's sockets as the printer named them.
Bytes BuildCreditReply(std::uint8_t primarySocket, std::uint8_t secondarySocket,
                       std::uint8_t result);
// The host's reply to a CreditRequest the printer started: its result, the
// sockets as the printer named them, and the credit granted.
Bytes BuildCreditRequestReply(std::uint8_t primarySocket, std::uint8_t secondarySocket,
                              std::uint8_t result, std::uint16_t credit);
// The host's reply to any other transaction the printer started: the
// command with bit 7 set and `result`, nothing more.
Bytes BuildRefusal(std::uint8_t command, std::uint8_t result);
// A data packet on `socket` (primary and secondary alike), header credit 0
// (no credit handed over with it) and control 0. Nullopt when the payload
// does not fit the 16-bit length.
std::optional<Bytes> BuildDataPacket(std::uint8_t socket, std::span<const std::uint8_t> payload);

// --- replies ---
// The result byte of the reply to `request`: the packet must be on socket 0,
// as long as its header says and at least the command and result long, and
// carry request | 0x80. Nullopt otherwise.
std::optional<std::uint8_t> ParseReplyResult(std::span<const std::uint8_t> packet, Command request);

struct OpenChannelReply {
  std::uint8_t result = 0;
  std::uint8_t primarySocket = 0;
  std::uint8_t secondarySocket = 0;
  std::uint16_t hostToPrinterSize = 0;
  std::uint16_t printerToHostSize = 0;
};
// Result, sockets and granted packet sizes; nullopt unless the reply holds
// all of them (14 bytes at least).
std::optional<OpenChannelReply> ParseOpenChannelReply(std::span<const std::uint8_t> packet);

// The credit a CreditRequest reply grants (result, sockets, credit BE16);
// nullopt when the reply is not one or is too short to hold the credit.
std::optional<std::uint16_t> ParseCreditGranted(std::span<const std::uint8_t> packet);

// A Credit the printer started on socket 0 (not a reply): the channel's
// sockets and the credit it grants the host. Nullopt unless the packet is
// one, 11 bytes long as the standard lays it out.
struct PeerCredit {
  std::uint8_t primarySocket = 0;
  std::uint8_t secondarySocket = 0;
  std::uint16_t credit = 0;
};
std::optional<PeerCredit> ParsePeerCredit(std::span<const std::uint8_t> packet);

// A CreditRequest the printer started on socket 0: the channel's sockets.
// Nullopt unless the packet is one and holds at least the two sockets.
struct PeerCreditRequest {
  std::uint8_t primarySocket = 0;
  std::uint8_t secondarySocket = 0;
};
std::optional<PeerCreditRequest> ParsePeerCreditRequest(std::span<const std::uint8_t> packet);

// The kinds of Error packet. The printer's error code selects the kind:
// 0x80 to 0x87 in the order below (the IEEE 1284.4 codes: bad packet length,
// packet without credit, reply with no request outstanding, packet larger
// than the channel allows, data on a channel that is not open, unknown
// result value, credit overflow, reply to a command that does not match);
// any other code, or an Error packet too short to hold a code, is unknown.
enum class ErrorPacketKind {
  PacketLength,
  PacketHasNoCredit,
  ReplyInvalid,
  SizeInvalid,
  ChannelIsNotOpened,
  ResultInvalid,
  CreditOverflow,
  CbtReplyInvalid,
  Unknown,
};

// True when `packet` is an Error packet: socket 0 and command 0x7F.
bool IsErrorPacket(std::span<const std::uint8_t> packet);
// The kind of an Error packet (error code after the command and its two
// socket bytes).
ErrorPacketKind ClassifyErrorPacket(std::span<const std::uint8_t> packet);
// "ERRORPACKET_PACKET_LENGTH" ... "ERCD_UNKNOWN_ERROR".
const char* ErrorPacketName(ErrorPacketKind kind);

}  // namespace nolpa::serial_library
