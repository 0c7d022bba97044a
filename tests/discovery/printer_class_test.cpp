// The USB Printer Class route: the model read from the device ID, the model
// test, and the library's serial number asked for while the probe holds the
// printer.
#include <gtest/gtest.h>

#include <cstring>

#include "discovery/printer_class.h"
#include "tests/support/sim_harness.h"

namespace nolpa {
namespace {

using discovery::ModelFromDeviceId;
using testing::SimHarness;

// A device-ID reply as the class driver gives it: big-endian length
// (counting itself), the text, a NUL.
std::vector<std::uint8_t> Reply(const std::string& text) {
  const std::size_t length = text.size() + 2;
  std::vector<std::uint8_t> reply = {static_cast<std::uint8_t>(length >> 8),
                                     static_cast<std::uint8_t>(length & 0xFF)};
  reply.insert(reply.end(), text.begin(), text.end());
  reply.push_back(0);
  return reply;
}

TEST(ModelFromDeviceId, TakesTheMdlValueAfterTheLengthBytes) {
  const std::string longName(300, 'Q');
  struct Case {
    const char* name;
    std::vector<std::uint8_t> reply;
    std::string model;
  } const cases[] = {
      {"plain", Reply("MFG:Maker;CMD:X,D4;MDL:RK-L5200;CLS:PRINTER;"), "RK-L5200"},
      {"first key", Reply("MDL:RK-L880;"), "RK-L880"},
      {"no semicolon", Reply("MFG:Maker;MDL:RK-L5200"), ""},
      {"no MDL", Reply("MFG:Maker;MODEL:RK-L5200;"), ""},
      {"lower-case key", Reply("mdl:RK-L5200;"), ""},
      {"empty value", Reply("MDL:;"), ""},
      {"over 255 characters cut to 255", Reply("MDL:" + longName + ";"), longName.substr(0, 255)},
      {"NUL before the key ends the text", Reply(std::string("MFG:A;\0MDL:RK-L5200;", 20)), ""},
      {"only the length bytes", {0x00, 0x02}, ""},
      {"nothing returned", {}, ""},
      {"one byte", {0x00}, ""},
      // A long ID's length begins with a non-zero byte; it is skipped all the
      // same, never taken as text.
      {"long ID", Reply("MDL:RK-L5200;" + std::string(300, 'x')), "RK-L5200"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ModelFromDeviceId(c.reply), c.model);
  }
}

TEST(ModelFromDeviceId, NeverReadsPastTheReturnedBytes) {
  // The driver returned 10 bytes of a buffer that holds more; no NUL among
  // them. What lies beyond is not the reply.
  const std::vector<std::uint8_t> buffer = Reply("MFG:AB;MDL:RK-L5200;");
  EXPECT_EQ(ModelFromDeviceId(std::span(buffer.data(), 10)), "");
  // The whole reply without its NUL still gives the model.
  EXPECT_EQ(ModelFromDeviceId(std::span(buffer.data(), buffer.size() - 1)), "RK-L5200");
  // Cut inside the value, before its ";".
  EXPECT_EQ(ModelFromDeviceId(std::span(buffer.data(), buffer.size() - 3)), "");
}

TEST(IsLibraryModel, BuiltInAndExtraNamesAreCaseSensitiveSubstrings) {
  const std::array<std::string, 4> defaults = {"RK-L5200", "RK-L5200", "RK-L5200", "RK-L5200"};
  const std::array<std::string, 4> extra = {"TM-X", "RK-L5200", "RK-L5200", "RK-L5200"};
  const std::array<std::string, 4> oneEmpty = {"RK-L5200", "RK-L5200", "", "RK-L5200"};
  struct Case {
    const char* model;
    const std::array<std::string, 4>* extras;
    bool listed;
  } const cases[] = {
      {"RK-L5200", &defaults, true},
      {"RK-L880", &defaults, true},
      {"NEW RK-L880-II", &defaults, true},
      {"rk-l5200", &defaults, false},
      {"RK-L52", &defaults, false},
      {"", &defaults, false},
      {"TM-X3", &extra, true},
      {"tm-x3", &extra, false},
      {"TM-X3", &defaults, false},
      {"anything", &oneEmpty, true},
      {"", &oneEmpty, true},
      {"RK-L5200", nullptr, true},
      {"TM-X3", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    EXPECT_EQ(discovery::IsLibraryModel(c.model, c.extras), c.listed);
  }
}

// What the library saw at one GetUSBSerialNumber call.
struct SeenCall {
  std::string path;
  int size = 0;
  int lengthOnEntry = -1;
  int model = -1;
  bool bufferZeroed = false;
  std::size_t handlesOpen = 0;
  bool deviceFreeToOpen = true;
};

// Scripts the library to answer with each printer's serial number, or with
// `result`, and to note what it was given.
void ScriptLibrary(SimHarness& h, std::vector<SeenCall>& seen, int result = 0,
                   const std::string& answer = {}) {
  h.host.Library().getUSBSerialNumber = [&h, &seen, result, answer](const char* path, char* buffer,
                                                                    int size, int* length,
                                                                    int model) {
    SeenCall call{path, size, *length, model, true, h.world.OpenHandles(), true};
    for (int i = 0; i < size; ++i) call.bufferZeroed = call.bufferZeroed && buffer[i] == 0;
    const platform::DeviceHandle other = h.world.Files().Open(path);
    call.deviceFreeToOpen = other != platform::kInvalidDeviceHandle;
    h.world.Files().Close(other);
    seen.push_back(call);
    std::string serial = answer;
    for (const auto& device : h.world.Devices())
      if (answer.empty() && device->InterfacePath() == path)
        serial = static_cast<sim::ClassPrinter&>(*device).Serial();
    std::memcpy(buffer, serial.data(), std::min<std::size_t>(serial.size() + 1, size));
    *length = static_cast<int>(serial.size()) + 1;
    return result;
  };
}

sim::ClassPrinter& AddPrinter(SimHarness& h, const std::string& name, const std::string& deviceId,
                              const std::string& serial = "") {
  sim::ClassPrinterConfig config;
  config.name = name;
  config.deviceId = deviceId;
  config.serial = serial.empty() ? name + "SERIAL000000000" : serial;
  return h.world.AddClassPrinter(config);
}

TEST(PrinterClassRoute, ListsLibraryModelsWithTheLibrarysSerialWhileHoldingThePrinter) {
  SimHarness h;
  std::vector<SeenCall> seen;
  ScriptLibrary(h, seen);
  auto& a = AddPrinter(h, "a", "MFG:M;MDL:RK-L5200;", "0123456789ABCDEF01");
  auto& b = AddPrinter(h, "b", "MDL:RK-L880;CMD:D4;", "FEDCBA987654321001");
  auto& c = AddPrinter(h, "c", "MDL:RK-L880 RK-L5200;", "AAAABBBBCCCCDDDD01");
  ui::TMainForm& form = h.Show();

  ASSERT_EQ(form.DeviceList->Count(), 3u);
  const discovery::DeviceRecord first = form.DeviceList->Record(0);
  EXPECT_EQ(first.devicePath, a.InterfacePath());
  EXPECT_EQ(first.productText, "RK-L5200");
  EXPECT_EQ(first.idCode, "0123456789ABCDEF01");
  EXPECT_EQ(first.idName, "");
  EXPECT_EQ(first.infoLine1, "");
  EXPECT_EQ(first.infoLine2, "USB Printer Class");
  EXPECT_EQ(form.DeviceList->Record(1).idCode, "FEDCBA987654321001");
  EXPECT_EQ(form.Memo1.Text(), "0123456789ABCDEF01");

  ASSERT_EQ(seen.size(), 3u);
  const int selectors[] = {0, 1, 1};
  const sim::ClassPrinter* printers[] = {&a, &b, &c};
  for (std::size_t i = 0; i < seen.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(seen[i].path, printers[i]->InterfacePath());
    EXPECT_EQ(seen[i].size, 64);
    EXPECT_EQ(seen[i].lengthOnEntry, 0);
    EXPECT_EQ(seen[i].model, selectors[i]);
    EXPECT_TRUE(seen[i].bufferZeroed);
    EXPECT_EQ(seen[i].handlesOpen, 1u);
    EXPECT_TRUE(seen[i].deviceFreeToOpen)
        << "the library's own open succeeds while the probe holds the printer";
  }
  EXPECT_EQ(h.world.OpenHandles(), 0u);
  EXPECT_EQ(h.world.OpenSets(), 0u);
}

TEST(PrinterClassRoute, LibraryFailureOrAbsenceGivesAnEmptyIdCode) {
  struct Case {
    const char* name;
    std::function<void(SimHarness&, std::vector<SeenCall>&)> arrange;
    std::string idCode;
  } const cases[] = {
      {"library fails", [](SimHarness& h, auto& seen) { ScriptLibrary(h, seen, -10); }, ""},
      {"library absent", [](SimHarness& h, auto&) { h.host.SetResource("FILE1", {'x'}); }, ""},
      {"no NUL in the buffer: no more than 64 bytes",
       [](SimHarness& h, auto& seen) { ScriptLibrary(h, seen, 0, std::string(80, 'S')); },
       std::string(64, 'S')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimHarness h;
    std::vector<SeenCall> seen;
    c.arrange(h, seen);
    AddPrinter(h, "a", "MDL:RK-L5200;");
    ui::TMainForm& form = h.Show();
    ASSERT_EQ(form.DeviceList->Count(), 1u);
    EXPECT_EQ(form.DeviceList->Record(0).idCode, c.idCode);
    EXPECT_EQ(form.DeviceList->Record(0).productText, "RK-L5200");
  }
}

TEST(PrinterClassRoute, OtherPrintersAreExaminedAndClosedButNeverListed) {
  SimHarness h;
  std::vector<SeenCall> seen;
  ScriptLibrary(h, seen);
  h.host.SetIniFile("C:\\Program Files\\NOLPA\\NOLPAID.ini",
                    "[AddDevice]\n1=TM-A\n2=TM-B\n3=TM-C\n4=TM-D\n");
  AddPrinter(h, "other", "MFG:Else;MDL:LaserJet 9;");
  AddPrinter(h, "lower", "MDL:rk-l5200;");
  AddPrinter(h, "nosemi", "MDL:RK-L5200");
  sim::ClassPrinter& refused = AddPrinter(h, "refused", "MDL:RK-L5200;");
  refused.Faults().ioctl.push_back({.code = sim::kIoctlUsbPrint1284Id});
  sim::ClassPrinter& closed = AddPrinter(h, "closed", "MDL:RK-L5200;");
  closed.Faults().refuseOpen = true;
  h.world.Recorder().Clear();
  ui::TMainForm& form = h.Show();

  EXPECT_TRUE(form.ComboBox1.Items().empty());
  EXPECT_TRUE(seen.empty());
  const std::vector<std::string> examined = {"open ok", "ioctl 220034 ok", "close"};
  for (const char* name : {"other", "lower", "nosemi"}) {
    SCOPED_TRACE(name);
    auto transcript = h.world.Recorder().Transcript(name);
    ASSERT_EQ(transcript.size(), 3u);
    EXPECT_EQ(transcript[0], examined[0]);
    EXPECT_EQ(transcript[1].rfind(examined[1], 0), 0u) << transcript[1];
    EXPECT_EQ(transcript[2], examined[2]);
  }
  EXPECT_EQ(h.world.Recorder().RequestsOf("refused").back().kind, sim::RequestKind::Close);
  EXPECT_EQ(h.world.OpenHandles(), 0u);
  EXPECT_EQ(h.world.OpenSets(), 0u);
  form.FormClose();
}

TEST(PrinterClassRoute, WriteReachesTheBoundLibraryWithTheSelectedPrinter) {
  SimHarness h;
  std::vector<SeenCall> seen;
  ScriptLibrary(h, seen);
  struct Written {
    std::string path, serial;
    int model;
  };
  std::vector<Written> written;
  h.host.Library().setUSBSerialNumber = [&written](const char* path, const char* serial,
                                                   int model) {
    written.push_back({path, serial, model});
    return 0;
  };
  auto& printer = AddPrinter(h, "b", "MDL:RK-L880;", "FEDCBA987654321001");
  ui::TMainForm& form = h.Show();
  form.Edit1.TextFromUser("0123456789ABCDEF02");
  form.Edit1Exit();
  form.Button3Click();
  ASSERT_EQ(written.size(), 1u) << (h.boxes.shown.empty() ? "" : h.boxes.shown[0].text);
  EXPECT_EQ(written[0].path, printer.InterfacePath());
  EXPECT_EQ(written[0].serial, "0123456789ABCDEF02");
  EXPECT_EQ(written[0].model, 1);
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].icon, platform::MessageIcon::Information);
  EXPECT_EQ(seen.size(), 2u);  // Find ran again after the write
  form.FormClose();
}

}  // namespace
}  // namespace nolpa
