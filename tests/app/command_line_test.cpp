// The command line: where the switches are found, where the cut falls, and
// that values are taken exactly as given.
#include <gtest/gtest.h>

#include "app/command_line.h"

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

}  // namespace
}  // namespace nolpa
