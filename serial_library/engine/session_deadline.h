#pragma once
// When a session with the printer gives up waiting: its work (every wait
// for the printer) ends at `workEndMs`; its closing (the channel's close,
// Exit) may still go out and be awaited until `endMs`. An exported call
// runs one such deadline over all its sessions (call_deadline.h).
#include <cstdint>

namespace nolpa::serial_library {

struct SessionDeadline {
  std::uint64_t workEndMs = 0;
  std::uint64_t endMs = 0;
};

// How long a session's work may take, and its closing after that.
inline constexpr std::uint32_t kSessionWorkMs = 20000;
inline constexpr std::uint32_t kSessionClosingMs = 1000;

// The deadline of a session that starts at `nowMs`.
inline SessionDeadline SessionDeadlineFrom(std::uint64_t nowMs) {
  return {nowMs + kSessionWorkMs, nowMs + kSessionWorkMs + kSessionClosingMs};
}

}  // namespace nolpa::serial_library
