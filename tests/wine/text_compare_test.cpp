// The locale comparison against the real CompareStringA, and the simulator's
// stand-in for it held to the same answers on the Western code page.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_text_compare.h"
#include "sim/host/user_locale.h"

namespace nolpa::platform::win32 {
namespace {

TEST(TextCompareAdapter, WholeTextsCaseIgnoredAsTheSimulatorHasIt) {
  if (GetACP() != 1252) GTEST_SKIP() << "expects the Western code page, not " << GetACP();
  const struct {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"VX-410 Receipt", "vx-410 RECEIPT", true},
      {"VX-300 (COM3)", "vx-300 (com3)", true},
      {"VX-410 Receipt", "VX-410", false},
      {"VX-410", "VX-410 ", false},
      {"", "", true},
      {"", "A", false},
      {"Caf\xE9", "CAF\xC9", true},                    // é and É
      {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", true},  // Š Œ Ž Ÿ
      {"A\xD7", "A\xF7", false},                       // × and ÷ are no letters
      {"1", "2", false},
  };
  Win32TextCompare real;
  sim::WesternUserLocale simulated;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(real.EqualIgnoringCase(c.a, c.b), c.equal);
    EXPECT_EQ(simulated.EqualIgnoringCase(c.a, c.b), c.equal);
  }
}

}  // namespace
}  // namespace nolpa::platform::win32
