// The codes a station hands out: counted up with the width kept, taken from
// a list, and read back from the audit log the station resumes from,
// whatever a code holds.
#include <gtest/gtest.h>

#include "app/audit_log.h"
#include "app/console/station_codes.h"
#include "app/json_member.h"
#include "platform/posix/posix_console.h"

namespace nolpa {
namespace {

using app::console::CodeSource;
using app::console::UsedCodes;

TEST(StationCodes, CountingUpKeepsTheWidthOfTheLastDigits) {
  const struct {
    const char* code;
    std::optional<std::string> next;
  } cases[] = {
      {"LINE3-0099", "LINE3-0100"}, {"A7B", "A8B"},      {"A19Z", "A20Z"},
      {"12-34", "12-35"},           {"0", "1"},          {"ライン-08", "ライン-09"},
      {"LINE3-9999", std::nullopt}, {"9", std::nullopt}, {"NODIGITS", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(app::console::NextCountedCode(c.code), c.next) << c.code;
}

TEST(StationCodes, TheNextCodeIsTheFirstOneNotUsed) {
  UsedCodes used;
  const CodeSource counting = CodeSource::CountingFrom("L-98");
  EXPECT_EQ(counting.Next(used), "L-98");
  used.Add("l-98");  // case ignored, as Windows compares serial numbers
  used.Add("L-01");  // below the first: no matter
  EXPECT_EQ(counting.Next(used), "L-99");
  used.Add("L-99");
  EXPECT_EQ(counting.Next(used), std::nullopt) << "counting ran over";
  const CodeSource list = CodeSource::FromList({"B", "A", "b2"});
  EXPECT_EQ(list.Next(used), "B");
  used.Add("b");
  used.Add("A");
  EXPECT_EQ(list.Next(used), "b2");
  used.Add("B2");
  EXPECT_EQ(list.Next(used), std::nullopt);
}

TEST(StationCodes, AListHasACodeALineAndTheirSpaces) {
  EXPECT_EQ(app::console::CodeListLines("\xEF\xBB\xBF"
                                        "A-1\r\n\r\n  \nB 2 \nC-3"),
            (std::vector<std::string>{"A-1", "B 2 ", "C-3"}));
  EXPECT_TRUE(app::console::CodeListLines("").empty());
}

// Whatever a code holds, the log line written for it gives it back.
TEST(StationCodes, EveryCodeALogLineNamesIsReadBack) {
  platform::posix::Windows1252Encoding encoding;
  const std::vector<std::string> codes = {
      "LINE3-0100", "ＬＩＮＥ３", "a\"b\\c", "tab\tand\r\nCR", "\x01\x7F", "😀 \"newIdCode\":\"X\"",
      "",           "line3-0100"};
  std::string log;
  for (const std::string& code : codes) {
    app::AuditEntry entry;
    entry.route = "vendor";
    entry.product = "\"newIdCode\":\"decoy\"";
    entry.newIdCode = code;
    entry.newValuesUtf8 = true;
    entry.result = "written";
    log += app::AuditLine(entry, {2027, 3, 1, 0, 0, 0, 0}, "NOLPAIDC", encoding);
  }
  log += "\r\nnot a line of the log\n{\"program\":\"other\"}\n";
  std::size_t unreadable = 99;
  const UsedCodes used = app::console::CodesInLog(log, &unreadable);
  EXPECT_EQ(unreadable, 0u);
  for (const std::string& code : codes) EXPECT_TRUE(used.Contains(code)) << code;
  EXPECT_FALSE(used.Contains("decoy"));
  EXPECT_FALSE(used.Contains("X"));
  EXPECT_EQ(used.Size(), codes.size() - 1) << "two codes differ only in case";
  // A line cut short that names a code cannot hide it.
  app::console::CodesInLog(log + "{\"newIdCode\":\"LINE3-01", &unreadable);
  EXPECT_EQ(unreadable, 1u);
}

TEST(StationCodes, JsonMembersAtTheTopLevelOnly) {
  const struct {
    const char* json;
    std::optional<std::string> code;
  } cases[] = {
      {R"( { "a" : {"newIdCode":"no"} , "newIdCode" : "A\u00e9\ud83d\ude00\/" } )",
       "A\xC3\xA9\xF0\x9F\x98\x80/"},
      {R"({"a":[1,{"b":"]"},null,true,-2.5e3],"newIdCode":"X"})", "X"},
      {R"({"newIdCode":"\ud800"})", "\xEF\xBF\xBD"},
      {R"({"newIdCode":null})", std::nullopt},
      {R"({"a":{"newIdCode":"nested"}})", std::nullopt},
      {R"({"newIdCode":"cut)", std::nullopt},
      {R"({"a" "newIdCode":"X"})", std::nullopt},
      {R"({"newIdCode":"bad \x"})", std::nullopt},
      {R"(["newIdCode","X"])", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(app::JsonMemberText(c.json, "newIdCode"), c.code) << c.json;
  // Deeper than any log line nests: refused, not a crash.
  EXPECT_EQ(app::JsonMemberText("{\"a\":" + std::string(100000, '[') + ",\"newIdCode\":\"X\"}",
                                "newIdCode"),
            std::nullopt);
}

TEST(StationCodes, APendingWriteLastsUntilALaterLineForItsDevice) {
  const std::string log = R"({"device":"D1","oldIdCode":"O1","newIdCode":"N1","result":"pending"})"
                          "\n"
                          R"({"device":"D2","oldIdCode":"O2","newIdCode":"N2","result":"pending"})"
                          "\n"
                          R"({"device":"D1","oldIdCode":"O1","newIdCode":"N3","result":"failed"})"
                          "\n";
  const auto pending = app::console::PendingInLog(log);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].device, "D2");
  EXPECT_EQ(pending[0].oldIdCode, "O2");
  EXPECT_EQ(pending[0].newIdCode, "N2");
}

}  // namespace
}  // namespace nolpa
