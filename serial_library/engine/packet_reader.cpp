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

PacketRead ReadPacket(CPortIO& io, ReadBudget& budget, std::size_t maxLength, Bytes& packet) {
  packet.assign(kHeaderSize, 0);
  ReadOutcome outcome = io.ReadExactly(packet, &budget.emptyReadsLeft, budget.pauseMs);
  std::size_t dropped = 0;
  while (outcome == ReadOutcome::Done && !PlausibleHeader(packet, maxLength)) {
    if (++dropped > kMaxDroppedBytes) return PacketRead::Noise;
    packet.erase(packet.begin());
    packet.push_back(0);
    outcome = io.ReadExactly(std::span(packet).last(1), &budget.emptyReadsLeft, budget.pauseMs);
  }
  if (outcome != ReadOutcome::Done) return FromRead(outcome);
  packet.resize(ParseHeader(packet)->length);
  return FromRead(io.ReadExactly(std::span(packet).subspan(kHeaderSize), &budget.emptyReadsLeft,
                                 budget.pauseMs));
}

}  // namespace nolpa::serial_library
