// The bounds the device-file adapter puts on each read and write, by the
// serial time-outs a caller set on the handle (whether or not the driver
// took them).
#include <gtest/gtest.h>

#include <optional>

#include "platform/device_call_bounds.h"
#include "printerio/channel_timeouts.h"

namespace nolpa::platform {
namespace {

constexpr std::uint32_t kMax = 0xFFFFFFFF;

struct BoundCase {
  const char* name;
  std::optional<CommTimeouts> timeouts;
  std::uint32_t size;
  std::uint32_t readMs;
  std::uint32_t writeMs;
};

TEST(DeviceCallBounds, ReadsAndWritesAreBoundedAsTheirTimeoutsAsk) {
  const std::uint32_t grace = kImmediateReadGraceMs;
  const BoundCase cases[] = {
      {"no time-outs set", std::nullopt, 1, grace, kDefaultWriteBoundMs},
      {"the channel time-outs", printerio::kChannelTimeouts, 1, grace, 2000},
      // A multiplier at its maximum times a large read must not wrap round
      // into a short or a huge wait.
      {"the channel time-outs, a long read", printerio::kChannelTimeouts, 1024, grace, 2000},
      {"return at once, documented form", CommTimeouts{kMax, 0, 0, 0, 0}, 64, grace,
       kDefaultWriteBoundMs},
      {"wait for a first byte", CommTimeouts{kMax, kMax, 300, 0, 50}, 1, 300 + grace, 50},
      {"no total time-out at all", CommTimeouts{0, 0, 0, 0, 0}, 8, kLongestDeviceWaitMs,
       kDefaultWriteBoundMs},
      {"per byte and constant", CommTimeouts{20, 10, 100, 5, 100}, 4, 140 + grace, 120},
      {"per byte beyond the longest wait", CommTimeouts{0, kMax, 5, kMax, 1}, 3,
       kLongestDeviceWaitMs, kLongestDeviceWaitMs},
  };
  for (const BoundCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadBoundMs(c.timeouts, c.size), c.readMs);
    EXPECT_EQ(WriteBoundMs(c.timeouts, c.size), c.writeMs);
  }
}

}  // namespace
}  // namespace nolpa::platform
