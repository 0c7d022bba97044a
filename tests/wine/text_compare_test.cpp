// The locale comparison against the real CompareStringA, and the simulator's
// stand-in for it held to the same answers on the Western code page; the
// conversion of what a user gives into the code page, exactly or not at
// all, as the native seam does it (tests/console/console_json_test.cpp).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/win32_text_compare.h"
#include "platform/win32/win32_text_encoding.h"
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

TEST(TextEncodingAdapter, IntoTheCodePageExactlyOrNotAtAll) {
  if (GetACP() != 1252) GTEST_SKIP() << "expects the Western code page, not " << GetACP();
  const struct {
    const char* utf8;
    const char* ansi;  // null: refused
  } cases[] = {
      {"LINE3-0100", "LINE3-0100"},
      {"Caf\xC3\xA9 \xE2\x82\xAC", "Caf\xE9 \x80"},  // é and the euro sign
      {"", ""},
      {"\xEF\xBC\xAC\xEF\xBC\xA9\xEF\xBC\xAE\xEF\xBC\xA5\xEF\xBC\x93",
       nullptr},  // full-width LINE3: no best fit
      {"\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\xB3"
       "3",
       nullptr},               // katakana: no default character
      {"\xC4\x80", nullptr},   // a letter the code page lacks
      {"A\xE2\x82", nullptr},  // cut short
  };
  Win32TextEncoding real;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    std::string ansi = "unchanged";
    EXPECT_EQ(real.Utf8ToAnsi(c.utf8, &ansi), c.ansi != nullptr);
    EXPECT_EQ(ansi, c.ansi != nullptr ? c.ansi : "unchanged");
    if (c.ansi != nullptr) {
      EXPECT_EQ(real.AnsiToUtf8(ansi), c.utf8);
    }
  }
}

}  // namespace
}  // namespace nolpa::platform::win32
