// The console companion's command line: the words scripts are written
// against, and every way a line can be wrong.
#include <gtest/gtest.h>

#include "app/console/console_options.h"
#include "app/console/window_settings.h"
#include "ui/library_loader.h"

namespace nolpa {
namespace {

using app::console::Command;
using app::console::ParseOptions;
using app::console::UsageError;

struct Good {
  std::vector<std::string> arguments;
  Command command;
  std::optional<std::string> code;
  std::optional<std::string> product;
  std::optional<std::size_t> index;
  std::optional<std::string> name;
  bool json = false;
  bool date = false;
};

TEST(ConsoleOptions, ReadsCommandsCodesAndOptionsInAnyOrder) {
  const Good cases[] = {
      {{"list"}, Command::List, {}, {}, {}, {}},
      {{"--json", "list"}, Command::List, {}, {}, {}, {}, true},
      {{"check", "A1"}, Command::Check, "A1", {}, {}, {}},
      {{"check", "--product", "VX-300 Kiosk   [COM3]", "A1"},
       Command::Check,
       "A1",
       "VX-300 Kiosk   [COM3]",
       {},
       {}},
      {{"check", "A1", "--product=VX 410"}, Command::Check, "A1", "VX 410", {}, {}},
      {{"set", "--index", "0", "A1"}, Command::Set, "A1", {}, 0u, {}},
      {{"set", "A1", "--index=12", "--name", "Line 3"}, Command::Set, "A1", {}, 12u, "Line 3"},
      // An empty code clears it; a code or name may start with one "-".
      {{"set", ""}, Command::Set, "", {}, {}, {}},
      {{"set", "-A1", "--name", "-x"}, Command::Set, "-A1", {}, {}, "-x"},
      {{"set", "--", "--A1"}, Command::Set, "--A1", {}, {}, {}},
      {{"set", "--date"}, Command::Set, {}, {}, {}, {}, false, true},
      {{"test-comm", "--index", "3"}, Command::TestComm, {}, {}, 3u, {}},
      {{"test-print"}, Command::TestPrint, {}, {}, {}, {}},
      {{"set", "A1", "--help"}, Command::Help, {}, {}, {}, {}},
      {{"--version"}, Command::Version, {}, {}, {}, {}},
      {{"/?"}, Command::Help, {}, {}, {}, {}},
      {{"station", "--first", "L3-0100", "--product", "VX 410", "--name", "Line 3"},
       Command::Station,
       {},
       "VX 410",
       {},
       "Line 3"},
  };
  for (const Good& c : cases) {
    std::string line;
    for (const std::string& a : c.arguments) line += "[" + a + "]";
    SCOPED_TRACE(line);
    const auto parsed = ParseOptions(c.arguments);
    ASSERT_EQ(parsed.error, UsageError::None) << parsed.word;
    EXPECT_EQ(parsed.options.command, c.command);
    EXPECT_EQ(parsed.options.code, c.code);
    EXPECT_EQ(parsed.options.product, c.product);
    EXPECT_EQ(parsed.options.index, c.index);
    EXPECT_EQ(parsed.options.name, c.name);
    EXPECT_EQ(parsed.options.json, c.json);
    EXPECT_EQ(parsed.options.date, c.date);
  }
}

struct Bad {
  std::vector<std::string> arguments;
  UsageError error;
  const char* word;
};

TEST(ConsoleOptions, RefusesWhatItCannotReadNamingTheWord) {
  const Bad cases[] = {
      // A script that lost its arguments must not read the help as success.
      {{}, UsageError::NoArguments, ""},
      {{"--json"}, UsageError::NoCommand, ""},
      {{"lst"}, UsageError::UnknownCommand, "lst"},
      {{"LIST"}, UsageError::UnknownCommand, "LIST"},
      {{"list", "--jsno"}, UsageError::UnknownOption, "--jsno"},
      {{"check", "A1", "--product"}, UsageError::MissingValue, "--product"},
      {{"check", "A1", "--json", "--json"}, UsageError::RepeatedOption, "--json"},
      {{"check", "A1", "--index", "-1"}, UsageError::BadIndex, "-1"},
      {{"check", "A1", "--index", "2x"}, UsageError::BadIndex, "2x"},
      {{"check", "A1", "--index", ""}, UsageError::BadIndex, ""},
      {{"check", "A1", "B2"}, UsageError::ExtraArgument, "B2"},
      {{"list", "A1"}, UsageError::ExtraArgument, "A1"},
      {{"list", "--json=yes"}, UsageError::ExtraArgument, "--json=yes"},
      {{"check"}, UsageError::MissingCode, ""},
      {{"set"}, UsageError::MissingCode, ""},
      {{"set", "A1", "--date"}, UsageError::CodeAndDate, "--date"},
      {{"check", "A1", "--name", "x"}, UsageError::NotForCommand, "--name"},
      {{"check", "--date"}, UsageError::NotForCommand, "--date"},
      {{"list", "--product", "x"}, UsageError::NotForCommand, "--product"},
      {{"check", "A1", "--csv"}, UsageError::NotForCommand, "--csv"},
      {{"set", "A1", "--product", "x", "--index", "1"}, UsageError::ProductAndIndex, "--index"},
      {{"list", "--json", "--csv"}, UsageError::JsonAndCsv, "--csv"},
      // An unset variable in --log "%LOG%" must not turn the log off.
      {{"set", "A1", "--log", ""}, UsageError::EmptyLog, "--log"},
      {{"list", "--log="}, UsageError::EmptyLog, "--log"},
      {{"station"}, UsageError::MissingCodes, ""},
      {{"station", "--codes", "c.txt", "--first", "A1"}, UsageError::CodesAndFirst, "--first"},
      {{"station", "--first", "LINE-X"}, UsageError::FirstWithoutDigits, "LINE-X"},
      {{"station", "--first", "A1", "--count", "0"}, UsageError::BadCount, "0"},
      {{"station", "--first", "A1", "A2"}, UsageError::ExtraArgument, "A2"},
      {{"station", "--first", "A1", "--index", "0"}, UsageError::NotForCommand, "--index"},
      {{"set", "A1", "--count", "2"}, UsageError::NotForCommand, "--count"},
  };
  for (const Bad& c : cases) {
    std::string line;
    for (const std::string& a : c.arguments) line += "[" + a + "]";
    SCOPED_TRACE(line);
    const auto parsed = ParseOptions(c.arguments);
    EXPECT_EQ(parsed.error, c.error);
    EXPECT_EQ(parsed.word, c.word);
  }
}

TEST(ConsoleSettings, TheWindowProgramsIniFileBesideTheConsoleIsRead) {
  const struct {
    const char* console;
    const char* window;
  } cases[] = {
      {"C:\\Line\\NOLPAIDC.exe", "C:\\Line\\NOLPAID.exe"},
      {"C:\\Line\\NOLPAIDC-sim.exe", "C:\\Line\\NOLPAID-sim.exe"},
      {"C:\\Line\\nolpaidc.EXE", "C:\\Line\\nolpaid.EXE"},
      {"/opt/nolpa/nolpaidc", "/opt/nolpa/nolpaid"},
      {"C:\\NOLPAIDC\\tool.exe", "C:\\NOLPAIDC\\tool.exe"},  // only the file's own name counts
      {"C:\\Line\\NOLPAIDCX.exe", "C:\\Line\\NOLPAIDCX.exe"},
      {"C:\\Line\\NOLPAI.exe", "C:\\Line\\NOLPAI.exe"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(app::console::WindowProgramPath(c.console), c.window) << c.console;
  EXPECT_EQ(ui::IniFilePath(app::console::WindowProgramPath("C:\\Line\\NOLPAIDC.exe")),
            "C:\\Line\\NOLPAID.ini");
}

}  // namespace
}  // namespace nolpa
