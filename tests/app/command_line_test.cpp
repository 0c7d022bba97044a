// The command line: where the switches are found, where the cut falls, and
// that values are taken exactly as given.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "platform/posix/posix_console.h"

namespace nolpa {
namespace {

struct ParseCase {
  const char* commandLine;
  int mode;
  const char* idCode;
  const char* productName;
};

const ParseCase kCases[] = {
    {"", 0, "", ""},
    {"/s CODE", 1, "CODE", ""},
    {"/s CODE NAME WITH SPACES", 1, "CODE", "NAME WITH SPACES"},
    {"/c CODE", 2, "CODE", ""},
    {"/c CODE NAME WITH SPACES", 2, "CODE", "NAME WITH SPACES"},
    {"/s CODE ", 1, "CODE", ""},
    // Not switches: nothing follows, capitals, another separator.
    {"/s", 0, "", ""},
    {"run /c", 0, "", ""},
    {"/S CODE", 0, "", ""},
    {"/C CODE NAME", 0, "", ""},
    {"/s\tCODE", 0, "", ""},
    // Found anywhere, also inside other text.
    {"abc/s CODE", 1, "CODE", ""},
    {"-x/c12 /c AB VX", 2, "AB", "VX"},
    // Two spaces: an empty code, and the code becomes the product name.
    {"/s  CODE", 1, "", "CODE"},
    {"/c  ", 2, "", ""},
    // "/c " after the cut made by "/s " is not seen.
    {"/s CODE /c OTHER", 1, "CODE", "/c OTHER"},
    {"/s /c X", 1, "/c", "X"},
    // "/c " before the cut overrides "/s ".
    {"/c CODE /s OTHER", 2, "CODE", "/s OTHER"},
    {"/c CODE/s OTHER", 2, "CODE/s", "OTHER"},
    // No quoting: quotes and spaces stay in the values.
    {"/c \"A B\" \"VX 410\"", 2, "\"A", "B\" \"VX 410\""},
    {"/s C  two  spaces ", 1, "C", " two  spaces "},
};

TEST(ParseCommandLine, SwitchesCutAndValues) {
  for (const ParseCase& c : kCases) {
    SCOPED_TRACE(std::string("command line [") + c.commandLine + "]");
    const app::CommandLineValues values = app::ParseCommandLine(c.commandLine);
    EXPECT_EQ(values.mode, c.mode);
    EXPECT_EQ(values.idCode, c.idCode);
    EXPECT_EQ(values.productName, c.productName);
  }
}

TEST(ParseCommandLine, ArgumentsFollowTheProgramsName) {
  const struct {
    const char* whole;
    const char* arguments;
  } cases[] = {
      {"NOLPAID.exe /s A", "/s A"},
      {"\"C:\\Program Files\\NOLPAID.exe\" /s A B", "/s A B"},
      {"\"C:\\a b\\NOLPAID.exe\"/c A", "/c A"},
      {"NOLPAID.exe \t  /s  A", "/s  A"},  // the value's own spaces stay
      {"NOLPAID.exe", ""},
      {"\"unclosed /s A", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(app::ArgumentsOf(c.whole), c.arguments) << c.whole;
}

TEST(ParseCommandLine, ValuesTheCodePageCannotHoldAreNeverLookAlikes) {
  platform::posix::Windows1252Encoding encoding;
  const struct {
    const char* utf8;
    bool codeHeld;
    const char* code;  // ANSI
    bool productHeld;
    const char* product;
  } cases[] = {
      {"/s LINE3 VX-410 Receipt", true, "LINE3", true, "VX-410 Receipt"},
      {"/s café", true, "caf\xE9", true, ""},
      {"/s ＬＩＮＥ３ VX-410", false, "", true, "VX-410"},
      {"/c ライン3", false, "", true, ""},
      {"/c A ＶＸ-410", true, "A", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.utf8);
    const app::CommandLineValues given = app::ParseCommandLine(c.utf8);
    const app::CommandLineValues values = app::InAnsiCodePage(given, encoding);
    EXPECT_EQ(values.idCodeHeld, c.codeHeld);
    EXPECT_EQ(values.idCode, c.code);
    EXPECT_EQ(values.idCodeGiven, given.idCode);
    EXPECT_EQ(values.productNameHeld, c.productHeld);
    EXPECT_EQ(values.productName, c.product);
    EXPECT_EQ(values.mode, given.mode);
  }
}

}  // namespace
}  // namespace nolpa
