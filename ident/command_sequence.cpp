#include "ident/command_sequence.h"

#include <optional>

#include "printerio/reply_reader.h"

namespace nolpa::ident {
namespace {

using Packet9 = std::array<std::uint8_t, 9>;
using Packet10 = std::array<std::uint8_t, 10>;

constexpr std::size_t kMarkerPosition = 3;
constexpr Packet9 kOpeningTemplate = {0x1C, 0x7C, 0x7F, 0x00, 0x01, 0xFE, 0x80, 0x00, 0x00};
constexpr Packet9 kClosingTemplate = {0x1C, 0x7C, 0x7F, 0x00, 0x02, 0xFD, 0x01, 0x00, 0x00};
constexpr std::size_t kKeyPosition = 9;
constexpr Packet10 kStoreHeaderTemplate = {0x1D, 0x28, 0x43, 0x00, 0x00,
                                           0x00, 0x01, 0x80, 0x23, 0x00};
constexpr Packet10 kClearTemplate = {0x1D, 0x28, 0x43, 0x05, 0x00, 0x00, 0x00, 0x80, 0x23, 0x00};
constexpr std::array<std::uint8_t, 1> kStoreEnd = {0xFF};
// Bytes a store's count covers besides the text: 00 01 80 23 K and FF.
constexpr std::size_t kStoreOverhead = 6;

template <std::size_t N>
std::array<std::uint8_t, N> WithByte(std::array<std::uint8_t, N> packet, std::size_t position,
                                     std::uint8_t value) {
  packet[position] = value;
  return packet;
}

// The printer's answer to the identification query: exactly one byte of
// kind ReplyOther. Anything else, silence included, is no answer.
std::optional<std::uint8_t> ReadIdentificationByte(printerio::ByteChannel& channel) {
  printerio::ReplyBuffer reply{};
  int count = 0;
  const printerio::ReplyKind kind = printerio::ReadReply(channel, reply, count);
  if (kind != printerio::ReplyOther || count != 1) return std::nullopt;
  return reply[0];
}

// Brings one record up to date: clear, store, or leave alone.
bool SendIdentifier(printerio::ByteChannel& channel, std::uint8_t key, std::string_view newValue,
                    std::string_view storedValue) {
  if (newValue.empty()) return channel.WriteAll(ClearCommand(key));
  if (newValue == storedValue) return true;
  return channel.WriteAll(StoreHeader(key, newValue.size())) && channel.WriteAll(newValue) &&
         channel.WriteAll(kStoreEnd);
}

}  // namespace

Packet9 OpeningPacket(std::uint8_t m) { return WithByte(kOpeningTemplate, kMarkerPosition, m); }

Packet9 ClosingPacket(std::uint8_t m) { return WithByte(kClosingTemplate, kMarkerPosition, m); }

Packet10 StoreHeader(std::uint8_t key, std::size_t length) {
  const std::size_t counted = length + kStoreOverhead;
  Packet10 header = WithByte(kStoreHeaderTemplate, kKeyPosition, key);
  header[3] = static_cast<std::uint8_t>(counted & 0xFF);
  header[4] = static_cast<std::uint8_t>((counted >> 8) & 0xFF);
  return header;
}

Packet10 ClearCommand(std::uint8_t key) { return WithByte(kClearTemplate, kKeyPosition, key); }

bool WriteIdByCommands(printerio::ByteChannel& channel, std::string_view newCode,
                       std::string_view newName, std::string_view storedCode,
                       std::string_view storedName) {
  // A longer text would wrap the store's count and the printer would take
  // part of the text for the next command.
  if (newCode.size() > kMaxCommandTextLength || newName.size() > kMaxCommandTextLength)
    return false;
  // A reset that does not go through shows up in the steps that follow.
  channel.WriteAll(kResetSequence);
  if (!printerio::EmptyChannel(channel)) return false;
  if (!channel.WriteAll(kIdentificationQuery)) return false;
  const std::optional<std::uint8_t> m = ReadIdentificationByte(channel);
  if (!m) return false;
  if (!channel.WriteAll(OpeningPacket(*m))) return false;
  if (!SendIdentifier(channel, kIdCodeKey, newCode, storedCode)) return false;
  if (!SendIdentifier(channel, kIdNameKey, newName, storedName)) return false;
  return channel.WriteAll(ClosingPacket(*m));
}

}  // namespace nolpa::ident
