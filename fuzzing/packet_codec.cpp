// The packet codec's parsers of what the printer sends: the header, the
// replies to each transaction, and Error packets. The input is one packet.
#include "serial_library/engine/packet_codec.h"
#include "fuzzing/support/fuzz_input.h"

namespace {

using namespace nolpa::serial_library;

constexpr Command kCommands[] = {Command::Init,   Command::OpenChannel,   Command::CloseChannel,
                                 Command::Credit, Command::CreditRequest, Command::Exit,
                                 Command::Error};

std::size_t DeclaredLength(std::span<const std::uint8_t> packet) {
  return static_cast<std::size_t>(packet[2] << 8 | packet[3]);
}

// A transaction reply the parsers accept is on socket 0, no longer than the
// bytes given, and carries the command's byte.
void CheckTransaction(std::span<const std::uint8_t> packet, std::uint8_t command,
                      std::size_t minimum) {
  FUZZ_CHECK(packet.size() >= minimum);
  FUZZ_CHECK(packet[0] == kTransactionSocket && packet[1] == kTransactionSocket);
  FUZZ_CHECK(DeclaredLength(packet) >= minimum && DeclaredLength(packet) <= packet.size());
  FUZZ_CHECK(packet[kHeaderSize] == command);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> packet(data, size);
  if (const auto header = ParseHeader(packet)) {
    FUZZ_CHECK(header->length >= kHeaderSize && header->length == DeclaredLength(packet));
    FUZZ_CHECK(header->primarySocket == packet[0] && header->secondarySocket == packet[1]);
  }
  for (const Command command : kCommands) {
    const auto reply = static_cast<std::uint8_t>(static_cast<std::uint8_t>(command) | kReplyBit);
    if (const auto result = ParseReplyResult(packet, command)) {
      CheckTransaction(packet, reply, kHeaderSize + 2);
      FUZZ_CHECK(*result == packet[kHeaderSize + 1]);
    }
  }
  if (const auto open = ParseOpenChannelReply(packet)) {
    CheckTransaction(packet, 0x81, 14);
    FUZZ_CHECK(open->result == packet[7] && open->primarySocket == packet[8]);
  }
  if (ParseCreditGranted(packet)) CheckTransaction(packet, 0x84, 12);
  const bool error = IsErrorPacket(packet);
  if (error) CheckTransaction(packet, 0x7F, kHeaderSize + 1);
  const ErrorPacketKind kind = ClassifyErrorPacket(packet);
  if (!error) FUZZ_CHECK(kind == ErrorPacketKind::Unknown);
  const char* name = ErrorPacketName(kind);
  FUZZ_CHECK(name != nullptr && name[0] != '\0');

  // What the host sends with the same bytes as payload reads back whole.
  if (size > 0) {
    if (const auto sent = BuildDataPacket(data[0], packet.subspan(1))) {
      const auto header = ParseHeader(*sent);
      FUZZ_CHECK(header && header->length == sent->size() && sent->size() == size + 5);
      FUZZ_CHECK(header->primarySocket == data[0] && header->secondarySocket == data[0]);
    }
  }
  return 0;
}
