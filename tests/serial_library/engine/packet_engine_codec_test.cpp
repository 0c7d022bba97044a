// The packet codec's parsers on raw bytes: the Error packet kinds, and
// replies that are foreign, truncated or random. (The requests are held
// against their layouts where the engine sends them.)
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "serial_library/engine/packet_codec.h"

namespace nolpa::serial_library {
namespace {

TEST(PacketEngineCodec, RepliesAreTakenOnlyFromTheirOwnCommandAndSocket) {
  EXPECT_EQ(ParseReplyResult(Bytes{0, 0, 0, 8, 1, 0, 0x88, 0x05}, Command::Exit), 0x05);
  EXPECT_FALSE(ParseReplyResult(Bytes{0, 0, 0, 8, 1, 0, 0x08, 0}, Command::Exit));
  EXPECT_FALSE(ParseReplyResult(Bytes{0, 0, 0, 8, 1, 0, 0x80, 0}, Command::Exit));
  EXPECT_FALSE(ParseReplyResult(Bytes{2, 2, 0, 8, 1, 0, 0x88, 0}, Command::Exit));
  EXPECT_EQ(ParseCreditGranted(Bytes{0, 0, 0, 12, 1, 0, 0x84, 0, 2, 2, 0x01, 0x02}), 0x102);
  EXPECT_FALSE(BuildDataPacket(0x02, Bytes(65530, 0)).has_value());
}

TEST(PacketEngineCodec, ErrorPacketsAreClassifiedByCode) {
  const std::pair<std::uint8_t, const char*> cases[] = {
      {0x80, "ERRORPACKET_PACKET_LENGTH"},
      {0x81, "ERRORPACKET_PACKET_HAS_NO_CREDIT"},
      {0x82, "ERRORPACKET_REPLAY_INVALID"},
      {0x83, "ERRORPACKET_SIZE_INVALID"},
      {0x84, "ERRORPACKET_CHANNEL_IS_NOT_OPENED"},
      {0x85, "ERRORPACKET_RESULT_INVALID"},
      {0x86, "ERRORPACKET_CREDIT_OVERFLOW"},
      {0x87, "ERRORPACKET_CBT_REPLY_INVALID"},
      {0x88, "ERCD_UNKNOWN_ERROR"},
      {0x00, "ERCD_UNKNOWN_ERROR"},
      {0x7F, "ERCD_UNKNOWN_ERROR"},
      {0xFF, "ERCD_UNKNOWN_ERROR"},
  };
  for (const auto& [code, name] : cases) {
    const Bytes packet{0, 0, 0, 10, 1, 0, 0x7F, 0x02, 0x02, code};
    EXPECT_TRUE(IsErrorPacket(packet));
    EXPECT_STREQ(ErrorPacketName(ClassifyErrorPacket(packet)), name) << int(code);
  }
  // Too short to hold a code: an Error packet all the same, of unknown kind.
  const Bytes shortError{0, 0, 0, 9, 1, 0, 0x7F, 0x02, 0x02};
  EXPECT_TRUE(IsErrorPacket(shortError));
  EXPECT_EQ(ClassifyErrorPacket(shortError), ErrorPacketKind::Unknown);
}

// Runs every parser on `bytes` as an exactly sized heap block, so that a read
// past the end trips AddressSanitizer. Returns how many parsers accepted it.
int ParseAll(const Bytes& bytes) {
  const auto heap = std::make_unique<std::uint8_t[]>(bytes.size());
  std::copy(bytes.begin(), bytes.end(), heap.get());
  const std::span<const std::uint8_t> view(heap.get(), bytes.size());
  int accepted = ParseHeader(view).has_value() ? 1 : 0;
  accepted += ParseReplyResult(view, Command::OpenChannel).has_value();
  accepted += ParseOpenChannelReply(view).has_value();
  accepted += ParseCreditGranted(view).has_value();
  accepted += IsErrorPacket(view);
  accepted += ClassifyErrorPacket(view) != ErrorPacketKind::Unknown;
  return accepted;
}

TEST(PacketEngineCodec, TruncatedPacketsAreRefused) {
  const Bytes whole[] = {
      {0, 0, 0, 16, 1, 0, 0x81, 0x00, 0x02, 0x02, 0x00, 0x40, 0x02, 0x00, 0, 1},
      {0, 0, 0, 12, 1, 0, 0x84, 0, 2, 2, 0, 1},
      {0, 0, 0, 10, 1, 0, 0x7F, 0x02, 0x02, 0x83},
  };
  for (const Bytes& packet : whole) {
    EXPECT_GE(ParseAll(packet), 2);
    for (std::size_t n = 0; n < packet.size(); ++n)
      EXPECT_EQ(ParseAll(Bytes(packet.begin(), packet.begin() + n)), n >= 6 ? 1 : 0)
          << "prefix " << n << " of command " << int(packet[6]);
  }
  // A header whose length is below its own size is no header at all.
  EXPECT_EQ(ParseAll(Bytes{0, 0, 0, 5, 1, 0, 0x81, 0, 2, 2, 0, 0x40, 2, 0}), 0);
}

TEST(PacketEngineCodec, RandomBytesNeverReadOutOfBounds) {
  std::mt19937 random(1284);
  for (int round = 0; round < 3000; ++round) {
    Bytes bytes(random() % 24);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() % 4 == 0 ? 0 : random());
    if (bytes.size() > 3 && random() % 2) bytes[3] = static_cast<std::uint8_t>(random() % 26);
    const int accepted = ParseAll(bytes);
    EXPECT_LE(accepted, 3);  // no packet is both an Error packet and a reply
  }
}

}  // namespace
}  // namespace nolpa::serial_library
