// What a user gives that no printer could take is refused before anything
// is sent and logged as given: a character the ANSI code page lacks (never
// its look-alike), a value longer than the ID boxes; a command line that
// lost its values does nothing; a product that is not there names those
// that are; a CSV field is never a spreadsheet formula.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/console/console_listing.h"
#include "tests/console/console_harness.h"

namespace nolpa {
namespace {

using nlohmann::json;
using testing::ConsoleRig;

std::string Serial(ConsoleRig& rig, const std::string& device) {
  if (rig.h.world.Device(device).Kind() == sim::DeviceKind::PrinterClass)
    return rig.h.world.PrinterClass(device).Serial();
  return rig.h.world.Vendor(device).Identity().serial;
}

TEST(ConsoleValues, WhatNoPrinterCouldTakeIsRefusedAndLoggedAsGiven) {
  const std::string a80(80, 'A');
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    const char* said;  // the error stream's line
    const char* device;
    std::string holds;
    std::optional<std::string> loggedCode;  // nothing: no line
    std::optional<std::string> loggedName;
  } cases[] = {
      {{"set", "ＬＩＮＥ３"},
       3,
       "Error: Invalid character in ID code.",
       "onboard-usb",
       "VX410A000117",
       "ＬＩＮＥ３",
       "Front desk"},
      {{"set", "ライン3"},
       3,
       "Error: Invalid character in ID code.",
       "onboard-usb",
       "VX410A000117",
       "ライン3",
       "Front desk"},
      {{"set", "A-1", "--name", "Ｆｒｏｎｔ"},
       3,
       "Error: Invalid character in ID name.",
       "onboard-usb",
       "VX410A000117",
       "A-1",
       "Ｆｒｏｎｔ"},
      {{"set", "４E4C5041000000A002", "--product", "RK-L5200"},
       3,
       "Error: Invalid character in ID code(USB Serial No.).",
       "rk-l5200",
       "4E4C5041000000A001",
       "４E4C5041000000A002",
       std::nullopt},
      // In the code page but not in the rules: the form's own refusal.
      {{"set", "café-1"},
       3,
       "Error: Invalid character in ID code.",
       "onboard-usb",
       "VX410A000117",
       "café-1",
       "Front desk"},
      {{"set", a80 + "B"},
       3,
       "Error: The ID code is longer than 80 characters.",
       "onboard-usb",
       "VX410A000117",
       a80 + "B",
       "Front desk"},
      {{"set", "A-1", "--name", a80 + "B"},
       3,
       "Error: The ID name is longer than 80 characters.",
       "onboard-usb",
       "VX410A000117",
       "A-1",
       a80 + "B"},
      {{"set", a80}, 0, "", "onboard-usb", a80, a80, "Front desk"},
      // No printer holds what the code page cannot: a check never matches it.
      {{"check", "ＶＸ410A000117"},
       3,
       "",
       "onboard-usb",
       "VX410A000117",
       std::nullopt,
       std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments[1]);
    ConsoleRig rig;
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--log", "audit.log"});
    EXPECT_EQ(rig.Run(arguments), c.exitCode) << rig.streams.error;
    EXPECT_NE(rig.streams.error.find(c.said), std::string::npos) << rig.streams.error;
    EXPECT_EQ(Serial(rig, c.device), c.holds);
    const auto lines = rig.logs.Lines("audit.log");
    ASSERT_EQ(lines.size(), c.loggedCode ? 1u : 0u);
    if (!c.loggedCode) continue;
    const json line = json::parse(lines[0]);
    EXPECT_EQ(line["newIdCode"], *c.loggedCode);
    EXPECT_EQ(line["newIdName"], c.loggedName ? json(*c.loggedName) : json(nullptr));
    EXPECT_EQ(line["result"], c.exitCode == 0 ? "written" : "refused");
  }
}

TEST(ConsoleValues, ACommandLineThatLostItsValuesDoesNothing) {
  const struct {
    std::vector<std::string> arguments;
    int exitCode;
    std::vector<const char*> said;
  } cases[] = {
      {{}, 7, {"No command given.", "Usage: NOLPAIDC COMMAND"}},
      // As from --log "%LOG%" with the variable unset.
      {{"set", "A-1", "--log", ""}, 7, {"--log needs a file name"}},
      {{"list", "--log="}, 7, {"--log needs a file name"}},
      {{"check", "X", "--product", "VX-999"},
       1,
       {"No printer of product \"VX-999\" found.",
        "Printers found: \"VX-410 Receipt\", \"VX-520 Label\", \"VX-530 Label\""}},
      {{"check", "X", "--product", "ＶＸ-410 Receipt"}, 1, {"Printers found: \"VX-410 Receipt\""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? "no arguments" : c.arguments.back());
    ConsoleRig rig;
    rig.logs.files["x"];
    EXPECT_EQ(rig.Run(c.arguments), c.exitCode);
    for (const char* said : c.said)
      EXPECT_NE(rig.streams.error.find(said), std::string::npos) << rig.streams.error;
    EXPECT_TRUE(rig.streams.output.empty()) << rig.streams.output;
    EXPECT_EQ(rig.h.world.Vendor("onboard-usb").Identity().serial, "VX410A000117");
    if (c.exitCode == 7) {
      EXPECT_FALSE(rig.hostOpened);
    }
  }
}

TEST(ConsoleValues, CsvFieldsASpreadsheetWouldRunAreText) {
  platform::posix::Windows1252Encoding encoding;
  const struct {
    const char* product;
    const char* field;
  } cases[] = {
      {"=1+1", "'=1+1"},         {"+1", "'+1"},        {"-2", "'-2"},
      {"@SUM(A1)", "'@SUM(A1)"}, {"\tTab", "'\tTab"},  {"\rCR", "\"'\rCR\""},
      {"=a,b", "\"'=a,b\""},     {"VX=410", "VX=410"}, {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.product);
    discovery::DeviceRecord record;
    record.productText = c.product;
    record.devicePath = "\\\\?\\usb#vid_0f1a&pid_0410#A#{x}\\RK";
    const auto lines = app::console::ListCsv({{0, record, ""}}, encoding);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].starts_with(std::string("0,vendor,") + c.field + ",")) << lines[1];
    // JSON keeps the text as it is.
    EXPECT_EQ(json::parse(app::console::PrinterJson({0, record, ""}, encoding))["product"],
              c.product);
  }
}

}  // namespace
}  // namespace nolpa
