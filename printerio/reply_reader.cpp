#include "printerio/reply_reader.h"

#include <algorithm>

namespace nolpa::printerio {
namespace {

// The next byte that is not flow control, or -1 once the clock reaches
// `deadlineMs`. Every read is tried before the deadline is checked, so a byte
// already waiting is taken even by a call whose deadline has passed. Each
// read may wait for the rest of the time where the driver lets it; one that
// comes back at once with nothing is followed by the poll pause.
int ReadByteUntil(ByteChannel& channel, std::uint64_t deadlineMs) {
  platform::Clock& clock = channel.clock();
  for (;;) {
    const std::uint64_t asked = clock.NowMs();
    const auto waitMs = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(deadlineMs > asked ? deadlineMs - asked : 0, 0xFFFFFFFF));
    const std::optional<std::uint8_t> byte = channel.ReadByteWaiting(waitMs);
    if (byte && ClassifyReplyByte(*byte) != kFlowControlByte) return *byte;
    if (clock.NowMs() - asked < kReplyPollPauseMs) clock.SleepMs(kReplyPollPauseMs);
    if (clock.NowMs() >= deadlineMs) return -1;
  }
}

}  // namespace

int ClassifyReplyByte(std::uint8_t byte) {
  if (byte == 0x11 || byte == 0x13) return kFlowControlByte;
  if ((byte & 0x93) == 0x12) return ReplyOneByte;
  if ((byte & 0x93) == 0x10) return ReplyFourByte;
  if ((byte & 0x91) == 0x11) return ReplyBlock;
  return ReplyOther;
}

int ReadReplyByte(ByteChannel& channel) {
  return ReadByteUntil(channel, channel.clock().NowMs() + kReplyByteTimeoutMs);
}

ReplyKind ReadReply(ByteChannel& channel, std::span<std::uint8_t, kReplyBufferSize> buffer,
                    int& count) {
  count = 0;
  const int first = ReadReplyByte(channel);
  if (first < 0) return ReplyNone;
  buffer[0] = static_cast<std::uint8_t>(first);
  const int kind = ClassifyReplyByte(buffer[0]);
  if (kind == ReplyOneByte || kind == ReplyOther) {
    count = 1;
    return static_cast<ReplyKind>(kind);
  }
  // A four-byte reply has a fixed length; a block ends at its first 0x00
  // and may not outgrow the buffer.
  const std::size_t limit = kind == ReplyFourByte ? 4 : kReplyBufferSize;
  for (std::size_t stored = 1; stored < limit;) {
    const int next = ReadReplyByte(channel);
    if (next < 0) return ReplyNone;
    buffer[stored++] = static_cast<std::uint8_t>(next);
    if (kind == ReplyBlock && next == 0x00) {
      count = static_cast<int>(stored);
      return ReplyBlock;
    }
  }
  if (kind == ReplyBlock) return ReplyNone;  // 80 bytes and still no 0x00
  count = 4;
  return ReplyFourByte;
}

// The channel is empty once a whole byte time has passed without a byte, so
// this reads bytes rather than replies: the reply boundaries of what is thrown
// away do not matter, and an overlong block (which ReadReply ends with
// ReplyNone while the printer is still sending) must not pass for silence;
// otherwise its tail would be taken for the answer to the next command.
// The limit is on total time, not on the number of replies, because time is
// what the operator waits through: one slow block alone can take 80 byte
// times. Ten seconds is five silences' worth, ample for a printer finishing
// a burst of status output after the reset, and short enough that a printer
// that never stops talking makes the action fail instead of freezing the
// window.
bool EmptyChannel(ByteChannel& channel, std::uint64_t limitMs) {
  platform::Clock& clock = channel.clock();
  const std::uint64_t giveUpAt = clock.NowMs() + limitMs;
  for (;;) {
    // Checked before each byte: ReadByteUntil still takes a waiting byte
    // after its deadline, and a chatty printer always has one waiting.
    const std::uint64_t now = clock.NowMs();
    if (now >= giveUpAt) return false;
    const std::uint64_t silentAt = now + kReplyByteTimeoutMs;
    if (ReadByteUntil(channel, std::min(silentAt, giveUpAt)) >= 0) continue;
    return silentAt <= giveUpAt;
  }
}

}  // namespace nolpa::printerio
