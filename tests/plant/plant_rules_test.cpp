// The plant's rules that hold no SQL: SOURCE and connection files, the
// UTF-16 the ODBC calls carry, code keys and counting, report starts, the
// outcomes a log holds back. No server needed.
#include <gtest/gtest.h>

#include <random>

#include "app/console/console_db_outbox.h"
#include "app/console/station_codes.h"
#include "app/plant/plant_codes.h"
#include "app/plant/plant_source.h"
#include "platform/odbc/utf16.h"

namespace nolpa::app::plant {
namespace {

TEST(PlantSource, FormsAndPasswords) {
  struct Case {
    const char* given;
    const char* connection;  // "" when none
    const char* file;        // "" when none
    bool password;
  };
  const Case cases[] = {
      {"plant", "DSN=plant", "", false},
      {"  line 3  ", "DSN=line 3", "", false},
      {"DSN=plant;Database=x", "DSN=plant;Database=x", "", false},
      {"DSN=plant;PWD=secret", "DSN=plant;PWD=secret", "", true},
      {"DSN=plant; password = secret", "DSN=plant; password = secret", "", true},
      {"Driver={A;PWD=x};Server=s", "Driver={A;PWD=x};Server=s", "", false},
      {"Driver={a}}PWD=b};Uid=u", "Driver={a}}PWD=b};Uid=u", "", false},
      {"DSN=p;Pwd={se;cret}", "DSN=p;Pwd={se;cret}", "", true},
      {"DSN=p;UID=pwd", "DSN=p;UID=pwd", "", false},
      {"@C:\\line\\plant.odbc", "", "C:\\line\\plant.odbc", false},
      {"@ ", "", "", false},
      {"", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    const auto form = ReadSourceForm(c.given);
    if (*c.connection == '\0' && *c.file == '\0') {
      EXPECT_FALSE(form.has_value());
      continue;
    }
    ASSERT_TRUE(form.has_value());
    EXPECT_EQ(form->connection, c.connection);
    EXPECT_EQ(form->file.value_or(""), c.file);
    EXPECT_EQ(NamesPassword(form->connection), c.password);
  }
}

TEST(PlantSource, ConnectionFiles) {
  const std::pair<const char*, const char*> cases[] = {
      {"DSN=plant\n", "DSN=plant"},
      {"\xEF\xBB\xBF# line 3's database\r\nDriver={PostgreSQL Unicode};\r\nServer=db1\r\n\r\nPwd=x",
       "Driver={PostgreSQL Unicode};Server=db1;Pwd=x"},
      {"# nothing\n\n", ""},
  };
  for (const auto& [text, connection] : cases) EXPECT_EQ(ConnectionFromFile(text), connection);
}

TEST(Utf16, RoundTripsEveryCharacterAndMarksIllFormedBytes) {
  std::mt19937 random(33);
  for (int round = 0; round < 2000; ++round) {
    std::u32string characters;
    std::string utf8;
    for (int i = random() % 12; i > 0; --i) {
      char32_t c = random() % 4 == 0 ? random() % 0x80 : random() % 0x110000;
      if (c >= 0xD800 && c <= 0xDFFF) c = 0x3042;
      characters += c;
      std::u16string one =
          c < 0x10000 ? std::u16string(1, static_cast<char16_t>(c))
                      : std::u16string{static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)),
                                       static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF))};
      utf8 += platform::odbc::Utf16ToUtf8(one);
    }
    const std::u16string wide = platform::odbc::Utf8ToUtf16(utf8);
    EXPECT_EQ(platform::odbc::Utf16ToUtf8(wide), utf8);
    std::size_t units = 0;
    for (char32_t c : characters) units += c < 0x10000 ? 1 : 2;
    EXPECT_EQ(wide.size(), units);
  }
  // Each ill-formed byte is one U+FFFD; nothing is dropped.
  EXPECT_EQ(platform::odbc::Utf8ToUtf16("a\xC3(\xE3\x81\xFF\xED\xA0\x80z"),
            u"a\uFFFD(\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz");
  EXPECT_EQ(platform::odbc::Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
}

TEST(PlantCodes, KeysCompareAsTheStationComparesAndCountersCountAsItCounts) {
  std::mt19937 random(7);
  const std::string alphabet = "aAbBzZ09-_\xC3\xA9\xE3\x82\xA2";
  for (int round = 0; round < 3000; ++round) {
    std::string a, b;
    for (int i = random() % 6; i > 0; --i) a += alphabet[random() % alphabet.size()];
    for (int i = random() % 6; i > 0; --i) b += alphabet[random() % alphabet.size()];
    if (random() % 2) b = a, b[0] = b.empty() ? 'x' : static_cast<char>(std::toupper(b[0]));
    EXPECT_EQ(CodeKey(a) == CodeKey(b), console::UsedCodes::Same(a, b)) << a << " " << b;
  }
  for (const char* first : {"L-7", "L-95", "A07B", "X998Y", "nodigits", "9"}) {
    std::int64_t steps = 0;
    for (std::optional<std::string> c = first; c && steps < 1000; c = console::NextCountedCode(*c))
      ++steps;
    EXPECT_EQ(CountedCodesLeft(first), std::string(first) == "nodigits" ? 0 : steps) << first;
  }
  EXPECT_EQ(CountedCodesLeft("C-0000000000000000000000001"), INT64_MAX);
}

TEST(PlantCodes, ReportStarts) {
  for (const char* good :
       {"2027-03-01", "2027-03-01T09", "2027-03-01T09:05", "2027-03-01T09:05:03"})
    EXPECT_TRUE(IsReportStart(good)) << good;
  for (const char* bad : {"", "2027-3-1", "2027-03-01 09:05", "2027-03-01T09:05:03Z", "yesterday",
                          "2027-03-01'; DROP TABLE x"})
    EXPECT_FALSE(IsReportStart(bad)) << bad;
}

TEST(PlantOutbox, HeldOutcomesAreThoseNoLaterLineMarksSent) {
  using console::HeldOutcome;
  JsonObject written, ng, pending;
  written.Text("time", "T1").Text("newIdCode", "A");
  console::AddOutcomeMembers(written, {1, Outcome::Written, "", ""});
  ng.Text("time", "T2");
  console::AddOutcomeMembers(ng, {2, Outcome::Ng, "it reads back \"B\"", ""});
  pending.Text("time", "T3");
  console::AddOutcomeMembers(pending, {3, Outcome::Pending, "", ""});
  const std::string sent1 = console::SentLine({1, Outcome::Written, "", ""}, "T4", "NOLPAIDC");
  const std::string sentWrong = console::SentLine({3, Outcome::Checked, "", ""}, "T4", "NOLPAIDC");
  const std::string log = written.Json() + "\n" + "garbage {\"plantRecord\":\"x\"}\n" + ng.Json() +
                          "\n" + sent1 + pending.Json() + "\n" + sentWrong +
                          "{\"plantRecord\":\"9\",\"plantOutcome\":\"writ";  // torn tail
  const std::vector<HeldOutcome> held = console::UnsentOutcomes(log);
  ASSERT_EQ(held.size(), 2u);
  EXPECT_EQ(held[0].record, 2);
  EXPECT_EQ(held[0].outcome, Outcome::Ng);
  EXPECT_EQ(held[0].reason, "it reads back \"B\"");
  EXPECT_EQ(held[0].time, "T2");
  EXPECT_EQ(held[1].record, 3);
  EXPECT_EQ(held[1].outcome, Outcome::Pending);
}

}  // namespace
}  // namespace nolpa::app::plant
