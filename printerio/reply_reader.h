#pragma once
// Reading printer replies one byte at a time, with a time limit per byte, and
// emptying the channel of replies nobody asked for.
#include <array>
#include <cstdint>
#include <span>

#include "printerio/byte_channel.h"

namespace nolpa::printerio {

// The shape of one reply, decided by its first byte. The values are part of
// the interface: callers compare and report them as numbers.
enum ReplyKind : int {
  ReplyNone = -1,     // nothing arrived in time, or a block grew too long
  ReplyOneByte = 1,   // first byte b with (b & 0x93) == 0x12; b alone
  ReplyFourByte = 2,  // (b & 0x93) == 0x10; b and the next three bytes
  ReplyBlock = 3,     // (b & 0x91) == 0x11; b up to and including a 0x00
  ReplyOther = 4,     // any other byte; b alone
};

// ClassifyReplyByte's answer for the flow-control bytes 0x11 and 0x13.
inline constexpr int kFlowControlByte = 0;
// The most a reply ever occupies in the caller's buffer; also the longest
// block accepted, header byte and closing 0x00 included.
inline constexpr std::size_t kReplyBufferSize = 80;
// How long one byte of a reply may take, from the start of waiting for it.
inline constexpr std::uint64_t kReplyByteTimeoutMs = 2000;
// Pause between two reads that brought nothing.
inline constexpr std::uint32_t kReplyPollPauseMs = 1;
// Longest time EmptyChannel keeps reading before it gives up on a printer
// that never falls silent.
inline constexpr std::uint64_t kEmptyChannelLimitMs = 10000;

using ReplyBuffer = std::array<std::uint8_t, kReplyBufferSize>;

// 0 (kFlowControlByte) for 0x11 and 0x13; otherwise the ReplyKind value (1 to
// 4) of a reply that starts with `byte`, the tests made in the order
// one-byte, four-byte, block, other.
int ClassifyReplyByte(std::uint8_t byte);

// The next byte that is not 0x11 or 0x13 (0 to 255), or -1 when none arrived
// within kReplyByteTimeoutMs of the call's start. Flow-control bytes are
// dropped and do not restart the time; failed reads count as empty ones.
// Polls every kReplyPollPauseMs, measured on the channel's clock.
int ReadReplyByte(ByteChannel& channel);

// Reads one complete reply into `buffer` (from its first byte, at most
// kReplyBufferSize bytes) and returns its kind. `count` is output only and is
// set on every return: 1 for ReplyOneByte and ReplyOther, 4 for
// ReplyFourByte, 2 to 80 for ReplyBlock (the 0x00 included), 0 for ReplyNone.
// A reply cut short by a silent byte is lost (ReplyNone); a block that
// reaches 80 bytes without 0x00 ends at once with ReplyNone, its bytes left in
// the buffer without meaning and the rest of it read by later calls.
ReplyKind ReadReply(ByteChannel& channel, std::span<std::uint8_t, kReplyBufferSize> buffer,
                    int& count);

// Discards whatever the printer sends until it has been silent (no byte other
// than 0x11/0x13) for kReplyByteTimeoutMs; so it always takes at least that
// long. True when that silence came; false when `limitMs` passed first, which
// bounds the wait on a printer that never stops talking to about `limitMs`.
bool EmptyChannel(ByteChannel& channel, std::uint64_t limitMs = kEmptyChannelLimitMs);

}  // namespace nolpa::printerio
