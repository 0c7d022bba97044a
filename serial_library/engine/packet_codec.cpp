#include "serial_library/engine/packet_codec.h"

#include <array>
#include <limits>

namespace nolpa::serial_library {
namespace {

constexpr std::uint8_t kTransactionCredit = 1;
constexpr std::uint8_t kTransactionControl = 0;

void PutBe16(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

std::uint16_t GetBe16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// Header with the length patched in once the body is complete.
Bytes StartPacket(std::uint8_t primary, std::uint8_t secondary, std::uint8_t credit) {
  return Bytes{primary, secondary, 0, 0, credit, kTransactionControl};
}

Bytes FinishPacket(Bytes packet) {
  const auto length = static_cast<std::uint16_t>(packet.size());
  packet[2] = static_cast<std::uint8_t>(length >> 8);
  packet[3] = static_cast<std::uint8_t>(length & 0xFF);
  return packet;
}

Bytes Transaction(Command command) {
  Bytes packet = StartPacket(kTransactionSocket, kTransactionSocket, kTransactionCredit);
  packet.push_back(static_cast<std::uint8_t>(command));
  return packet;
}

// A transaction addressed to one channel: the command, then the channel's
// socket as primary and as secondary socket.
Bytes ChannelTransaction(Command command, std::uint8_t socket) {
  Bytes packet = Transaction(command);
  packet.push_back(socket);
  packet.push_back(socket);
  return packet;
}

// The packet as far as its header says, when it holds at least `minimum`
// bytes, is on socket 0 and carries `command`'s byte; empty otherwise.
std::span<const std::uint8_t> TransactionBody(std::span<const std::uint8_t> packet,
                                              std::uint8_t command, std::size_t minimum) {
  const auto header = ParseHeader(packet);
  if (!header || header->length > packet.size() || header->length < minimum ||
      header->length <= kHeaderSize || header->primarySocket != kTransactionSocket ||
      header->secondarySocket != kTransactionSocket || packet[kHeaderSize] != command)
    return {};
  return packet.first(header->length);
}

std::uint8_t ReplyByte(Command request) {
  return static_cast<std::uint8_t>(static_cast<std::uint8_t>(request) | kReplyBit);
}

}  // namespace

std::optional<PacketHeader> ParseHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kHeaderSize) return std::nullopt;
  PacketHeader header{bytes[0], bytes[1], GetBe16(bytes, 2), bytes[4], bytes[5]};
  if (header.length < kHeaderSize) return std::nullopt;
  return header;
}

Bytes BuildInit(std::uint8_t revision) {
  Bytes packet = Transaction(Command::Init);
  packet.push_back(revision);
  return FinishPacket(std::move(packet));
}

Bytes BuildOpenChannel(std::uint8_t socket, std::uint16_t hostToPrinterSize,
                       std::uint16_t printerToHostSize) {
  Bytes packet = ChannelTransaction(Command::OpenChannel, socket);
  PutBe16(packet, hostToPrinterSize);
  PutBe16(packet, printerToHostSize);
  packet.insert(packet.end(), 4, 0);
  return FinishPacket(std::move(packet));
}

Bytes BuildCloseChannel(std::uint8_t socket) {
  Bytes packet = ChannelTransaction(Command::CloseChannel, socket);
  packet.push_back(0);  // close mode: normal
  return FinishPacket(std::move(packet));
}

Bytes BuildCredit(std::uint8_t socket, std::uint16_t credit) {
  Bytes packet = ChannelTransaction(Command::Credit, socket);
  PutBe16(packet, credit);
  return FinishPacket(std::move(packet));
}

Bytes BuildCreditRequest(std::uint8_t socket, std::uint16_t credit,
                         std::uint16_t maximumOutstanding) {
  Bytes packet = ChannelTransaction(Command::CreditRequest, socket);
  PutBe16(packet, credit);
  PutBe16(packet, maximumOutstanding);
  return FinishPacket(std::move(packet));
}

Bytes BuildExit() { return FinishPacket(Transaction(Command::Exit)); }

Bytes BuildCreditReply(std::uint8_t primarySocket, std::uint8_t secondarySocket,
                       std::uint8_t result) {
  Bytes packet = Transaction(Command::Credit);
  packet.back() |= kReplyBit;
  packet.insert(packet.end(), {result, primarySocket, secondarySocket});
  return FinishPacket(std::move(packet));
}

Bytes BuildCreditRequestReply(std::uint8_t primarySocket, std::uint8_t secondarySocket,
                              std::uint8_t result, std::uint16_t credit) {
  Bytes packet = Transaction(Command::CreditRequest);
  packet.back() |= kReplyBit;
  packet.insert(packet.end(), {result, primarySocket, secondarySocket});
  PutBe16(packet, credit);
  return FinishPacket(std::move(packet));
}

Bytes BuildRefusal(std::uint8_t command, std::uint8_t result) {
  Bytes packet = StartPacket(kTransactionSocket, kTransactionSocket, kTransactionCredit);
  packet.insert(packet.end(), {static_cast<std::uint8_t>(command | kReplyBit), result});
  return FinishPacket(std::move(packet));
}

std::optional<Bytes> BuildDataPacket(std::uint8_t socket, std::span<const std::uint8_t> payload) {
  if (payload.size() > std::numeric_limits<std::uint16_t>::max() - kHeaderSize) return std::nullopt;
  Bytes packet = StartPacket(socket, socket, 0);
  packet.insert(packet.end(), payload.begin(), payload.end());
  return FinishPacket(std::move(packet));
}

std::optional<std::uint8_t> ParseReplyResult(std::span<const std::uint8_t> packet,
                                             Command request) {
  const auto body = TransactionBody(packet, ReplyByte(request), kHeaderSize + 2);
  if (body.empty()) return std::nullopt;
  return body[kHeaderSize + 1];
}

std::optional<OpenChannelReply> ParseOpenChannelReply(std::span<const std::uint8_t> packet) {
  const auto body = TransactionBody(packet, ReplyByte(Command::OpenChannel), 14);
  if (body.empty()) return std::nullopt;
  return OpenChannelReply{body[7], body[8], body[9], GetBe16(body, 10), GetBe16(body, 12)};
}

std::optional<std::uint16_t> ParseCreditGranted(std::span<const std::uint8_t> packet) {
  const auto body = TransactionBody(packet, ReplyByte(Command::CreditRequest), 12);
  if (body.empty()) return std::nullopt;
  return GetBe16(body, 10);
}

std::optional<PeerCredit> ParsePeerCredit(std::span<const std::uint8_t> packet) {
  constexpr std::size_t kCreditLength = 11;
  const auto body =
      TransactionBody(packet, static_cast<std::uint8_t>(Command::Credit), kCreditLength);
  if (body.size() != kCreditLength) return std::nullopt;
  return PeerCredit{body[7], body[8], GetBe16(body, 9)};
}

std::optional<PeerCreditRequest> ParsePeerCreditRequest(std::span<const std::uint8_t> packet) {
  const auto body =
      TransactionBody(packet, static_cast<std::uint8_t>(Command::CreditRequest), kHeaderSize + 3);
  if (body.empty()) return std::nullopt;
  return PeerCreditRequest{body[7], body[8]};
}

bool IsErrorPacket(std::span<const std::uint8_t> packet) {
  return !TransactionBody(packet, static_cast<std::uint8_t>(Command::Error), kHeaderSize + 1)
              .empty();
}

ErrorPacketKind ClassifyErrorPacket(std::span<const std::uint8_t> packet) {
  constexpr std::size_t kCodeAt = kHeaderSize + 3;  // after command, sockets
  constexpr std::uint8_t kFirstCode = 0x80;
  const auto body = TransactionBody(packet, static_cast<std::uint8_t>(Command::Error), kCodeAt + 1);
  if (body.empty()) return ErrorPacketKind::Unknown;
  const std::uint8_t code = body[kCodeAt];
  if (code < kFirstCode || code > kFirstCode + 7) return ErrorPacketKind::Unknown;
  return static_cast<ErrorPacketKind>(code - kFirstCode);
}

const char* ErrorPacketName(ErrorPacketKind kind) {
  static constexpr std::array<const char*, 9> kNames{"ERRORPACKET_PACKET_LENGTH",
                                                     "ERRORPACKET_PACKET_HAS_NO_CREDIT",
                                                     "ERRORPACKET_REPLAY_INVALID",
                                                     "ERRORPACKET_SIZE_INVALID",
                                                     "ERRORPACKET_CHANNEL_IS_NOT_OPENED",
                                                     "ERRORPACKET_RESULT_INVALID",
                                                     "ERRORPACKET_CREDIT_OVERFLOW",
                                                     "ERRORPACKET_CBT_REPLY_INVALID",
                                                     "ERCD_UNKNOWN_ERROR"};
  const auto index = static_cast<std::size_t>(kind);
  return index < kNames.size() ? kNames[index] : kNames.back();
}

}  // namespace nolpa::serial_library
