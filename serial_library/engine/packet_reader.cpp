#include "serial_library/engine/packet_reader.h"

namespace nolpa::serial_library {
namespace {

PacketRead FromRead(ReadOutcome outcome) {
  switch (outcome) {
    case ReadOutcome::Done: return PacketRead::Done;
    case ReadOutcome::TimedOut: return PacketRead::TimedOut;
    case ReadOutcome::Failed: break;
  }
  return PacketRead::Failed;
}

}  // namespace

bool PlausibleHeader(std::span<const std::uint8_t> header, std::size_t maxLength) {
  const auto parsed = ParseHeader(header);
  if (!parsed || parsed->primarySocket != parsed->secondarySocket) return false;
  const std::size_t shortest = kHeaderSize + (parsed->primarySocket == kTransactionSocket ? 1 : 0);
  return parsed->length >= shortest && parsed->length <= maxLength &&
         (parsed->control & ~kDefinedControlBits) == 0;
}

PacketRead NextPacket(CPortIO& io, std::uint64_t untilMs, std::uint32_t pauseMs,
                      std::size_t maxLength, Bytes& packet, std::size_t* dropped) {
  *dropped = 0;
  for (;;) {
    const auto buffered = io.Buffered();
    if (buffered.size() >= kHeaderSize) {
      if (!PlausibleHeader(buffered.first(kHeaderSize), maxLength)) {
        if (++*dropped > kMaxDroppedBytes) return PacketRead::Noise;
        io.Consume(1);
        continue;
      }
      const std::size_t length = ParseHeader(buffered)->length;
      if (buffered.size() >= length) {
        packet.assign(buffered.begin(), buffered.begin() + static_cast<std::ptrdiff_t>(length));
        io.Consume(length);
        return PacketRead::Done;
      }
    }
    const ReadOutcome outcome = io.Fill(untilMs, pauseMs);
    if (outcome != ReadOutcome::Done) return FromRead(outcome);
  }
}

}  // namespace nolpa::serial_library
