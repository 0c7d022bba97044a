// The JSON and the texts the console companion and the audit log write for
// other programs: escaping, the ANSI device texts in UTF-8, the parts of the
// USB information line.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/audit_log.h"
#include "app/console/console_listing.h"
#include "app/json_text.h"
#include "platform/posix/posix_console.h"

namespace nolpa {
namespace {

using app::JsonString;

TEST(JsonText, EscapesWhatJsonMustAndReplacesBrokenUtf8) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain", R"("plain")"},
      {"", R"("")"},
      {"a\"b\\c", R"("a\"b\\c")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string("\0\x01\x1f\x7f", 4), R"("\u0000\u0001\u001F\u007F")"},
      {"é€😀", "\"é€😀\""},
      // A byte of an 8-bit code page is no UTF-8: never passed through.
      {"caf\xe9", R"("caf\uFFFD")"},
      {"\x80\xbf", R"("\uFFFD\uFFFD")"},
      {"\xc0\xaf", R"("\uFFFD\uFFFD")"},                      // overlong "/"
      {"\xed\xa0\x80", R"("\uFFFD\uFFFD\uFFFD")"},            // a surrogate
      {"\xf4\x90\x80\x80", R"("\uFFFD\uFFFD\uFFFD\uFFFD")"},  // above U+10FFFF
      {"\xe2\x82", R"("\uFFFD\uFFFD")"},                      // cut short at the end
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.out);
    EXPECT_EQ(JsonString(c.in), c.out);
    EXPECT_TRUE(nlohmann::json::accept(JsonString(c.in)));
  }
}

TEST(JsonText, Windows1252DeviceTextsBecomeUtf8) {
  platform::posix::Windows1252Encoding encoding;
  const struct {
    std::string ansi;
    std::string utf8;
  } cases[] = {
      {"VX-410", "VX-410"},
      {"\x80\x8a\x9f", "€ŠŸ"},
      {"\x81\x8d\x8f\x90\x9d",
       "\u0081\u008d\u008f\u0090\u009d"},  // undefined: the same control character
      {"\xa0\xe9\xff", "\u00a0éÿ"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(encoding.AnsiToUtf8(c.ansi), c.utf8);
}

// What a user gives goes into the code page exactly or not at all: every
// byte comes back from its character, and no look-alike stands in.
TEST(JsonText, Utf8IntoWindows1252ExactlyOrNotAtAll) {
  platform::posix::Windows1252Encoding encoding;
  for (int byte = 0; byte < 256; ++byte) {
    const std::string ansi(1, static_cast<char>(byte));
    std::string back = "unchanged";
    EXPECT_TRUE(encoding.Utf8ToAnsi(encoding.AnsiToUtf8(ansi), &back)) << byte;
    EXPECT_EQ(back, ansi) << byte;
  }
  for (const std::string refused : {
           "ＬＩＮＥ３",        // full-width letters: no best fit
           "ライン3",           // not in the code page at all
           "\u0100",            // a letter the code page lacks
           "\u0080",            // the code page's 0x80 is the euro sign
           "\xC0\xAE",          // overlong
           "\xED\xA0\x80",      // a surrogate
           "\xF4\x90\x80\x80",  // above U+10FFFF
           "A\xE2\x82",         // cut short
           "\x80",              // a stray continuation byte
       }) {
    std::string ansi = "unchanged";
    EXPECT_FALSE(encoding.Utf8ToAnsi(refused, &ansi)) << refused;
    EXPECT_EQ(ansi, "unchanged");
  }
}

TEST(ConsoleListing, SplitsTheUsbInformationLine) {
  const struct {
    const char* line;
    const char* parts;  // usbVersion|speed|board|deviceVersion, or null
  } cases[] = {
      {"USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 ",
       "2.0|High Speed|Onboard USB(1) Series|1.0"},
      {"USB1.1 Full Speed, NW-J Series Ver.1.2 ", "1.1|Full Speed|NW-J Series|1.2"},
      {"USB2.0 Full Speed, NW-J Series Ver.1A.FF ", "2.0|Full Speed|NW-J Series|1A.FF"},
      {"USB Printer Class", nullptr},
      {"USB2.0 Warp Speed, NW-J Series Ver.1.0 ", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto parts = app::console::SplitInfoLine(c.line);
    ASSERT_EQ(parts.has_value(), c.parts != nullptr);
    if (parts) {
      EXPECT_EQ(
          parts->usbVersion + "|" + parts->speed + "|" + parts->board + "|" + parts->deviceVersion,
          c.parts);
    }
  }
}

TEST(AuditLine, NamesEveryFieldAndEndsTheLine) {
  platform::posix::Windows1252Encoding encoding;
  app::AuditEntry entry{"com",
                        "VX-300 \xe9   [COM3]",
                        "\\\\.\\COM3",
                        "OLD",
                        "NEW",
                        "a\tb",
                        "c",
                        "written",
                        "The writing in of the ID succeeded.",
                        0,
                        false,
                        std::nullopt};
  const std::string line =
      app::AuditLine(entry, {2027, 12, 31, 23, 59, 59, 999}, "NOLPAIDC", encoding);
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line";
  EXPECT_EQ(
      line,
      R"({"time":"2027-12-31T23:59:59.999Z","program":"NOLPAIDC","version":"5.00","route":"com",)"
      R"("product":"VX-300 é   [COM3]","device":"\\\\.\\COM3","oldIdCode":"OLD","newIdCode":"NEW",)"
      R"("oldIdName":"a\tb","newIdName":"c","result":"written","message":"The writing in of the ID succeeded.",)"
      R"("exitCode":0})"
      "\n");
  entry.oldIdName.reset();
  entry.exitCode.reset();
  const auto parsed =
      nlohmann::json::parse(app::AuditLine(entry, {2027, 1, 2, 3, 4, 5, 6}, "NOLPAID", encoding));
  EXPECT_EQ(parsed["oldIdName"], nullptr);
  EXPECT_EQ(parsed["exitCode"], nullptr);
  EXPECT_EQ(parsed["time"], "2027-01-02T03:04:05.006Z");
}

}  // namespace
}  // namespace nolpa
