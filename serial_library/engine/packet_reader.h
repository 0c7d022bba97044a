#pragma once
// Cutting packets out of what arrived on a stream that may hold more than
// the packets of this conversation: what an earlier call left unread, the
// start of a packet cut short, bytes of a printer's plain mode. A header is
// taken only when it could be one; otherwise its first byte is dropped and
// the next byte considered, up to a bound, so the reader finds the next
// packet instead of reading a whole reply's worth of bytes as the body of a
// false one.
#include <cstddef>
#include <cstdint>
#include <span>

#include "serial_library/engine/packet_codec.h"
#include "serial_library/engine/port_io.h"

namespace nolpa::serial_library {

// Bytes one packet read drops while it looks for a header.
inline constexpr std::size_t kMaxDroppedBytes = 4096;

enum class PacketRead {
  Done,      // a whole packet with a plausible header
  TimedOut,  // the wait ended first
  Failed,    // a read call failed
  Noise,     // more than kMaxDroppedBytes bytes that start no packet
};

// True when six bytes could be a packet header from the printer: a length
// that holds the header (and, on socket 0, the command byte) and no more
// than `maxLength` (the largest printer-to-host packet size the host asks
// for), the same socket on both sides (the host opens no other channel),
// and no reserved control bit set.
bool PlausibleHeader(std::span<const std::uint8_t> header, std::size_t maxLength);

// Takes the next packet out of `io`'s buffer into `packet` (its header and
// as many bytes as the header announces, at most `maxLength`), reading
// whole transfers for what is missing until the clock reaches `untilMs`
// (`pauseMs` apart where the device cannot wait). `*dropped` receives the
// bytes passed over before the packet. A packet whose end has not come
// stays in the buffer for the next call.
PacketRead NextPacket(CPortIO& io, std::uint64_t untilMs, std::uint32_t pauseMs,
                      std::size_t maxLength, Bytes& packet, std::size_t* dropped);

}  // namespace nolpa::serial_library
