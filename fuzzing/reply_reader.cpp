// The reply reader on a scripted printer with a virtual clock. The input
// starts with four bytes: failing reads (low nibble), a chatter byte and its
// period in ms (0: the printer falls silent) for the emptying at the end,
// and EmptyChannel's limit in tenths of a second (0: the default). Then
// bursts follow: a pause in tens of ms after the previous one, a count
// (up to 32) and the bytes that arrive together.
#include "printerio/reply_reader.h"
#include "fuzzing/support/fuzz_input.h"
#include "tests/support/scripted_device.h"

namespace {

using namespace nolpa::printerio;
using nolpa::fuzz::FuzzInput;

// A byte may take a whole byte time, plus the one pause that notices it.
constexpr std::uint64_t kByteTimeBound = kReplyByteTimeoutMs + kReplyPollPauseMs;
constexpr int kMaxReplies = 64;

void CheckReply(ReplyKind kind, int count, const ReplyBuffer& buffer) {
  switch (kind) {
    case ReplyNone: FUZZ_CHECK(count == 0); return;
    case ReplyOneByte:
    case ReplyOther: FUZZ_CHECK(count == 1); break;
    case ReplyFourByte: FUZZ_CHECK(count == 4); break;
    case ReplyBlock:
      FUZZ_CHECK(count >= 2 && count <= static_cast<int>(kReplyBufferSize));
      FUZZ_CHECK(buffer[count - 1] == 0x00);
      for (int i = 0; i + 1 < count; ++i) FUZZ_CHECK(buffer[i] != 0x00);
      break;
    default: FUZZ_CHECK(!"unknown reply kind");
  }
  FUZZ_CHECK(ClassifyReplyByte(buffer[0]) == kind);
  for (int i = 1; i < count; ++i) FUZZ_CHECK(buffer[i] != 0x11 && buffer[i] != 0x13);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  nolpa::testing::FakeClock clock;
  nolpa::testing::ScriptedDevice device(clock);
  device.FailReads(input.Byte() & 0x0F);
  const std::uint8_t chatterByte = input.Byte();
  const std::uint8_t chatterPeriod = input.Byte();
  const std::uint8_t limitTenths = input.Byte();
  std::uint64_t at = 0;
  while (!input.Empty()) {
    at += input.Byte() * 10u;
    const auto burst = input.Take(input.Byte() % 33);
    device.Arrive(at, {burst.begin(), burst.end()});
  }

  ByteChannel channel(device, clock, 7);
  ReplyBuffer buffer{};
  for (int i = 0; i < kMaxReplies && (device.Unread() > 0 || i == 0); ++i) {
    int count = -7;
    const std::uint64_t start = clock.NowMs();
    const ReplyKind kind = ReadReply(channel, buffer, count);
    CheckReply(kind, count, buffer);
    FUZZ_CHECK(clock.NowMs() - start <= (kReplyBufferSize + 1) * kByteTimeBound);
  }

  if (chatterPeriod != 0) device.Chatter(chatterByte, chatterPeriod);
  const std::uint64_t limit = limitTenths == 0 ? kEmptyChannelLimitMs : limitTenths * 100u;
  const std::uint64_t start = clock.NowMs();
  const bool silent = EmptyChannel(channel, limit);
  const std::uint64_t spent = clock.NowMs() - start;
  // Silence takes a whole byte time; either way the limit holds.
  if (silent) FUZZ_CHECK(spent >= kReplyByteTimeoutMs);
  FUZZ_CHECK(spent <= limit + kReplyPollPauseMs);
  // A printer that never stops talking (a byte every 255 ms at most) is
  // never taken for a silent one.
  const bool chatty = chatterPeriod != 0 && chatterByte != 0x11 && chatterByte != 0x13;
  if (chatty) FUZZ_CHECK(!silent);
  return 0;
}
