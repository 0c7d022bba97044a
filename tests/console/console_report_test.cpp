// What the console companion prints and logs: list --json is the window
// program's Find, field for field and in its order; the outcome objects and
// the audit log lines are valid JSON that say what happened, one line per
// write attempt, appended after what is there.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/json_text.h"
#include "tests/console/console_harness.h"

namespace nolpa {
namespace {

using nlohmann::json;
using testing::ConsoleRig;

json Parse(const std::string& text) {
  try {
    return json::parse(text);
  } catch (const json::exception& e) {
    ADD_FAILURE() << e.what() << " in: " << text;
    return nullptr;
  }
}

TEST(ConsoleReport, ListJsonIsTheWindowProgramsFind) {
  ConsoleRig rig;
  ASSERT_EQ(rig.Run({"list", "--json"}), 0) << rig.streams.error;
  const json listed = Parse(rig.streams.output);

  ui::TMainForm& window = rig.h.Show();  // the window program on the same printers
  const discovery::DeviceList& found = *window.DeviceList;
  ASSERT_TRUE(listed.is_array());
  ASSERT_EQ(listed.size(), found.Count());
  ASSERT_EQ(window.ComboBox1.Items().size(), found.Count());
  for (std::size_t i = 0; i < found.Count(); ++i) {
    SCOPED_TRACE(i);
    const discovery::DeviceRecord r = found.Record(i);
    const json& p = listed[i];
    const bool printerClass = r.infoLine2 == "USB Printer Class";
    EXPECT_EQ(p["index"], i);
    EXPECT_EQ(p["product"], window.ComboBox1.Items()[i]);
    EXPECT_EQ(p["idCode"], r.idCode);
    EXPECT_EQ(p["idName"], printerClass ? json(nullptr) : json(r.idName));
    EXPECT_EQ(p["infoLine2"], r.infoLine2);
    EXPECT_EQ(p["devicePath"], r.devicePath);
    EXPECT_EQ(p["route"], printerClass                             ? "printer-class"
                          : r.devicePath.starts_with("\\\\.\\COM") ? "com"
                                                                   : "vendor");
    EXPECT_EQ(p["usbLocation"].is_string(), printerClass) << p.dump();
  }
  const std::string firstPath = found.Record(0).devicePath;
  window.FormClose();
  // The default fleet's first printer, whole and in field order, and a
  // printer-class one.
  EXPECT_TRUE(rig.streams.output.starts_with(
      R"([{"index":0,"route":"vendor","product":"VX-410 Receipt","idCode":"VX410A000117","idName":"Front desk",)"
      R"("infoLine2":"USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 ","usbVersion":"2.0",)"
      R"("speed":"High Speed","board":"Onboard USB(1) Series","deviceVersion":"1.0",)"
      R"("devicePath":)" +
      app::JsonString(firstPath) + R"(,"usbLocation":null},)"))
      << rig.streams.output;
  EXPECT_EQ(listed[5]["usbLocation"], "Port_#0001.Hub_#0001");
  EXPECT_EQ(listed[9]["usbLocation"], "Port_#0003.Hub_#0002");  // a composite device's function
  EXPECT_EQ(listed[5]["usbVersion"], nullptr);
}

TEST(ConsoleReport, CsvAndTableListTheSamePrinters) {
  ConsoleRig csvRig;
  ASSERT_EQ(csvRig.Run({"list", "--csv"}), 0);
  const auto csv = csvRig.OutputLines();
  ConsoleRig tableRig;
  ASSERT_EQ(tableRig.Run({"list"}), 0);
  const auto table = tableRig.OutputLines();
  ASSERT_EQ(csv.size(), 11u);  // the header and ten printers
  EXPECT_EQ(
      csv[0],
      "index,route,product,idCode,idName,infoLine2,usbVersion,speed,board,deviceVersion,devicePath,"
      "usbLocation");
  EXPECT_TRUE(csv[1].starts_with(
      "0,vendor,VX-410 Receipt,VX410A000117,Front desk,\"USB2.0 High Speed, Onboard"))
      << csv[1];
  // The header, ten printers, and a path line under each of the five
  // printer-class ones.
  ASSERT_EQ(table.size(), 16u);
  EXPECT_TRUE(table[0].starts_with("Index  Route")) << table[0];
  EXPECT_NE(table[1].find("VX-410 Receipt"), std::string::npos);
}

TEST(ConsoleReport, DeviceTextsAreConvertedAndEscaped) {
  // A USB string's units are narrowed to their low bytes: U+00E9 and U+0080
  // become bytes 0xE9 and 0x80, "é" and "€" in the Western code page; U+0007
  // is a control character.
  ConsoleRig rig(R"({"version": 1, "devices": [
    {"name": "a", "kind": "vendor", "serial": "C1", "idName": "bell\u0007", "usb": {"product": "Caf\u00e9, \"\u0080\""}}
  ]})");
  ASSERT_EQ(rig.Run({"list", "--json"}), 0);
  EXPECT_NE(
      rig.streams.output.find(R"("product":"Café, \"€\"","idCode":"C1","idName":"bell\u0007")"),
      std::string::npos)
      << rig.streams.output;
  EXPECT_EQ(Parse(rig.streams.output)[0]["product"], "Café, \"€\"");
  ConsoleRig csvRig(R"({"version": 1, "devices": [
    {"name": "a", "kind": "vendor", "serial": "C1", "usb": {"product": "Caf\u00e9, \"\u0080\""}}
  ]})");
  ASSERT_EQ(csvRig.Run({"list", "--csv"}), 0);
  EXPECT_TRUE(csvRig.OutputLines()[1].starts_with("0,vendor,\"Café, \"\"€\"\"\",C1,"))
      << csvRig.streams.output;
}

TEST(ConsoleReport, OutcomesAreOneJsonObjectEach) {
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    const char* field;  // one field the outcome must carry...
    json value;         // ...with this value
  } const cases[] = {
      {{"check", "VX410A000117", "--json"}, 0, "matches", true},
      {{"check", "NONE", "--json", "--product", "nothing"}, 1, "printer", nullptr},
      {{"set", "NEW-1", "--name", "Line 3", "--json"},
       0,
       "readBack",
       {{"idCode", "NEW-1"}, {"idName", "Line 3"}}},
      {{"set", "BAD/CODE", "--json"}, 3, "message", "Invalid character in ID code."},
      {{"set", "VX410A000117", "--json"}, 0, "result", "unchanged"},
      {{"test-comm", "--json"}, 0, "infoLine1", "VX-410 2.03  VX410A000117"},
      {{"test-comm", "--json", "--product", "RK-L880"}, 0, "infoLine1", "RK-L880 3.41"},
      {{"test-print", "--json", "--index", "5"}, 3, "succeeded", false},
      {{"test-print", "--json"}, 0, "succeeded", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0] + " " + c.arguments[1]);
    ConsoleRig rig;
    EXPECT_EQ(rig.Run(c.arguments), c.exitCode) << rig.streams.error;
    const auto lines = rig.OutputLines();
    ASSERT_EQ(lines.size(), 1u) << rig.streams.output;
    const json outcome = Parse(lines[0]);
    EXPECT_EQ(outcome["exitCode"], c.exitCode);
    EXPECT_EQ(outcome[c.field], c.value) << outcome.dump();
  }
}

TEST(ConsoleReport, AuditLogHasOneLinePerWriteAttemptAfterWhatWasThere) {
  ConsoleRig rig;
  const std::string log = "C:\\line\\audit.log";
  rig.logs.files[log] = "earlier line\n";
  struct Attempt {
    std::vector<std::string> arguments;
    int exitCode;
    const char* result;
    const char* product;
  } const attempts[] = {
      {{"set", "BAD/CODE"}, 3, "refused", "VX-410 Receipt"},
      {{"set", "NEW-0001", "--name", "Line 3"}, 0, "written", "VX-410 Receipt"},
      {{"set", "NEW-0001", "--name", "Line 3"}, 0, "unchanged", "VX-410 Receipt"},
      {{"set", "0123456789ABCDEF02", "--product", "RK-L5200"}, 5, "pending", "RK-L5200"},
      {{"check", "NEW-0001"}, 0, nullptr, nullptr},  // no write attempt, no line
  };
  for (const Attempt& a : attempts) {
    std::vector<std::string> arguments = a.arguments;
    arguments.insert(arguments.end(), {"--log", log});
    EXPECT_EQ(rig.Run(arguments), a.exitCode) << rig.streams.error;
  }
  const auto lines = rig.logs.Lines(log);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "earlier line");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    const json line = Parse(lines[i]);
    EXPECT_EQ(line["result"], attempts[i - 1].result);
    EXPECT_EQ(line["exitCode"], attempts[i - 1].exitCode);
    EXPECT_EQ(line["product"], attempts[i - 1].product);
    EXPECT_EQ(line["time"], "2027-03-01T00:05:03.007Z");
    EXPECT_EQ(line["program"], "NOLPAIDC");
  }
  EXPECT_EQ(Parse(lines[2])["oldIdCode"], "VX410A000117");
  EXPECT_EQ(Parse(lines[2])["newIdName"], "Line 3");
  EXPECT_EQ(Parse(lines[4])["newIdName"], nullptr);
  EXPECT_EQ(Parse(lines[1])["message"], "Invalid character in ID code.");
  // Each line was one append.
  EXPECT_EQ(rig.logs.appends, 4);
}

}  // namespace
}  // namespace nolpa
