// The Test Comm button against simulated printers: the exchange on the
// maker's drivers (vendor route and virtual COM port), every way it fails,
// the library call on the USB Printer Class route, and the controls after
// each way out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "tests/support/enabling.h"
#include "tests/support/form_harness.h"
#include "tests/support/sim_harness.h"

namespace nolpa {
namespace {

using platform::MessageIcon;
using sim::InfoAnswer;
using testing::ExpectRestored;
using testing::SimHarness;
using Bytes = std::vector<std::uint8_t>;

constexpr char kSucceeded[] = "The communication test succeeded.";
constexpr char kCannotCommunicate[] = "Can not communicate with the device.";
// Typed into the ID code box before a test: the display puts the record's
// code back, so the box tells whether the display ran.
constexpr char kTyped[] = "typed before the test";

const Bytes kReset = {0x00, 0x00, 0x00, 0x00, 0x00, 0x1B, 0x3D, 0x01,
                      0x1B, 0x40, 0x1D, 0x61, 0x00, 0x1D, 0x6A, 0x00};
const Bytes kAskModel = {0x1D, 0x49, 0x43};
const Bytes kAskFirmware = {0x1D, 0x49, 0x41};
const Bytes kAskSerial = {0x1D, 0x49, 0x44};

std::vector<Bytes> WritesTo(const SimHarness& h, const std::string& device) {
  std::vector<Bytes> writes;
  for (const auto& r : h.world.Recorder().RequestsOf(device))
    if (r.kind == sim::RequestKind::Write) writes.push_back(r.in);
  return writes;
}

void ExpectOneBox(const SimHarness& h, const char* text) {
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, text);
  const bool ok = std::strcmp(text, kSucceeded) == 0;
  EXPECT_EQ(h.boxes.shown[0].caption, ok ? "Information" : "Error");
  EXPECT_EQ(h.boxes.shown[0].icon, ok ? MessageIcon::Information : MessageIcon::Error);
  EXPECT_FALSE(h.boxes.shown[0].whileBusy) << "the wait cursor over a message box";
}

// One printer on the vendor driver or at COM3, answering model, firmware
// version and serial number.
sim::VendorPrinter& AddPrinter(SimHarness& h, bool onCom) {
  auto& printer =
      onCom ? h.AddComPrinter("p", 3, u"SER-1", u"N") : h.AddVendor("p", u"SER-1", u"N");
  printer.SetModel("MODEL");
  printer.SetFirmware("FW");
  return printer;
}

TEST(CommTest, PrinterThatAnswersShowsModelFirmwareAndSerialOnBothDriverRoutes) {
  for (bool onCom : {false, true}) {
    SCOPED_TRACE(onCom ? "virtual COM port" : "vendor driver");
    SimHarness h;
    AddPrinter(h, onCom);
    auto& form = h.Show();
    h.boxes.busyFlag = &h.observer.busy;
    form.Edit1.TextFromUser(kTyped);
    h.world.Recorder().Clear();
    h.observer.busyChanges.clear();
    const auto start = h.clock.NowMs();
    form.Button6Click();

    ExpectOneBox(h, kSucceeded);
    EXPECT_EQ(form.Label5.Text(), "MODEL FW  SER-1");
    EXPECT_EQ(form.DeviceList->Get(0, discovery::InfoLine1), "MODEL FW  SER-1");
    EXPECT_EQ(form.Edit1.Text(), "SER-1");  // the display ran
    ExpectRestored(form, false);
    EXPECT_EQ(h.observer.busyChanges, (std::vector<bool>{true, false}));
    // The emptying's silence, then three answers that come at once.
    const auto elapsed = h.clock.NowMs() - start;
    EXPECT_GE(elapsed, 2000u);
    EXPECT_LE(elapsed, 2050u);

    const auto requests = h.world.Recorder().RequestsOf("p");
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[0].kind, sim::RequestKind::Open);
    EXPECT_EQ(requests[1].kind, sim::RequestKind::SetTimeouts);
    EXPECT_EQ(requests[1].timeouts.readIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(requests[1].timeouts.readTotalTimeoutMultiplier, 0xFFFFFFFFu);
    EXPECT_EQ(requests[1].timeouts.readTotalTimeoutConstant, 0u);
    EXPECT_EQ(requests[1].timeouts.writeTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(requests[1].timeouts.writeTotalTimeoutConstant, 2000u);
    EXPECT_EQ(WritesTo(h, "p"), (std::vector<Bytes>{kReset, kAskModel, kAskFirmware, kAskSerial}));
    EXPECT_EQ(requests.back().kind, sim::RequestKind::Close);
    EXPECT_EQ(h.world.OpenHandles(), 0u);
  }
}

TEST(CommTest, AcceptedAnswersOfUnusualShape) {
  struct Case {
    const char* what;
    std::function<void(sim::VendorPrinter&)> shape;
    std::string infoLine1;
  } const cases[] = {
      {"header and NUL only add empty text", [](auto& p) { p.SetModel(""); }, " FW  SER-1"},
      {"flow control inside every block is dropped",
       [](auto& p) {
         p.Faults().channel.flowControl = {0x13, 0x11};
       },
       "MODEL FW  SER-1"},
      {"a block of the longest size the reader takes",
       [](auto& p) { p.SetFirmware(std::string(78, 'F')); },
       "MODEL " + std::string(78, 'F') + "  SER-1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimHarness h;
    c.shape(AddPrinter(h, false));
    auto& form = h.Show();
    form.Button6Click();
    ExpectOneBox(h, kSucceeded);
    EXPECT_EQ(form.Label5.Text(), c.infoLine1);
  }
}

// What goes wrong, which requests reach the printer after the reset, what
// the record keeps of what it held (kEarlier) and of what the test learnt
// before the failure, and how long the test takes.
struct FailureCase {
  const char* what;
  std::function<void(sim::VendorPrinter&)> fault;
  std::vector<Bytes> writes;
  std::string kept;
  std::uint64_t minMs, maxMs;
};

// Information line 1 as an earlier test left it.
constexpr char kEarlier[] = "EARLIER FW  SER-0";

TEST(CommTest, EveryFailureShowsOneMessageKeepsWhatWasLearntAndSkipsTheDisplay) {
  auto answer = [](char request, InfoAnswer a) {
    return [=](sim::VendorPrinter& p) { p.Faults().channel.infoAnswers[request] = a; };
  };
  const std::vector<Bytes> resetOnly = {kReset};
  const std::vector<Bytes> uptoModel = {kReset, kAskModel};
  const std::vector<Bytes> uptoFirmware = {kReset, kAskModel, kAskFirmware};
  const std::vector<Bytes> all = {kReset, kAskModel, kAskFirmware, kAskSerial};
  const FailureCase cases[] = {
      {"silent printer: the emptying and one request",
       [](auto& p) { p.Faults().channel.silent = true; }, uptoModel, kEarlier, 4000, 4050},
      {"model request ignored", answer('C', InfoAnswer::Ignore), uptoModel, kEarlier, 4000, 4050},
      {"status byte for the model: fails at once", answer('C', InfoAnswer::OneByteStatus),
       uptoModel, kEarlier, 2000, 2050},
      {"a block of another kind for the model", answer('C', InfoAnswer::OtherBlock), uptoModel,
       kEarlier, 2000, 2050},
      {"a block of another kind for the serial number", answer('D', InfoAnswer::OtherBlock), all,
       "MODEL FW", 2000, 2050},
      {"firmware request ignored", answer('A', InfoAnswer::Ignore), uptoFirmware, "MODEL", 4000,
       4050},
      {"status byte for the firmware", answer('A', InfoAnswer::OneByteStatus), uptoFirmware,
       "MODEL", 2000, 2050},
      {"serial number block without its NUL", answer('D', InfoAnswer::NoTerminator), all,
       "MODEL FW", 4000, 4050},
      {"reset not taken in full",
       [](auto& p) { p.Faults().writes.push_back({.nth = 1, .take = 15}); }, resetOnly, kEarlier, 0,
       5},
      {"printer that never falls silent",
       [](auto& p) { p.Faults().channel.heartbeat = sim::Heartbeat{}; }, resetOnly, kEarlier, 10000,
       10050},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimHarness h;
    c.fault(AddPrinter(h, false));
    auto& form = h.Show();
    form.DeviceList->Set(0, discovery::InfoLine1, kEarlier);
    form.Edit1.TextFromUser(kTyped);
    h.world.Recorder().Clear();
    const auto start = h.clock.NowMs();
    form.Button6Click();

    ExpectOneBox(h, kCannotCommunicate);
    const auto elapsed = h.clock.NowMs() - start;
    EXPECT_GE(elapsed, c.minMs);
    EXPECT_LE(elapsed, c.maxMs);
    EXPECT_EQ(WritesTo(h, "p"), c.writes);
    EXPECT_EQ(form.Edit1.Text(), kTyped);  // no display
    EXPECT_EQ(form.Label5.Text(), "");
    ExpectRestored(form, false);
    EXPECT_EQ(h.world.OpenHandles(), 0u);

    // The next display shows what the test stored; the next Find empties it.
    form.ComboBox1Change();
    EXPECT_EQ(form.Label5.Text(), c.kept);
    form.Button1Click();
    EXPECT_EQ(form.Label5.Text(), "");
    EXPECT_EQ(form.DeviceList->Get(0, discovery::InfoLine1), "");
  }
}

TEST(CommTest, JapaneseUserGetsJapaneseMessages) {
  for (bool silent : {false, true}) {
    SimHarness h;
    h.system.langId = 0x0411;
    AddPrinter(h, false).Faults().channel.silent = silent;
    auto& form = h.Show();
    form.Button6Click();
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].text,
              silent ? "デバイスと通信できません。" : "通信テストに成功しました。");
    EXPECT_EQ(h.boxes.shown[0].caption, silent ? "エラー" : "情報");
  }
}

TEST(CommTest, PrinterGoneSinceFindFailsWithEverythingEnabled) {
  SimHarness h;
  auto& printer = AddPrinter(h, true);
  auto& form = h.Show();
  printer.Unplug();
  form.Edit1.TextFromUser(kTyped);
  form.Button6Click();
  ExpectOneBox(h, kCannotCommunicate);
  EXPECT_EQ(form.Edit1.Text(), kTyped);
  ExpectRestored(form, false);
  EXPECT_TRUE(WritesTo(h, "p").empty());
}

// The library's firmware-version call, as the printer-class tests script it.
struct FirmwareScript {
  int result = 0;
  std::string version;  // copied into the buffer, without its NUL when it fills it
  // What the call saw.
  int calls = 0;
  std::string path;
  bool bufferZeroed = false;
  int size = 0;
  int lengthOnEntry = -1;
  std::size_t handlesOpen = 0;
  sim::World* world = nullptr;
};
FirmwareScript* gScript = nullptr;

int ScriptedFirmwareVersion(const char* path, char* buffer, int size, int* length) {
  FirmwareScript& s = *gScript;
  ++s.calls;
  s.path = path;
  s.size = size;
  s.bufferZeroed = std::all_of(buffer, buffer + size, [](char c) { return c == 0; });
  s.lengthOnEntry = *length;
  s.handlesOpen = s.world->OpenHandles();
  std::copy_n(s.version.data(), std::min<std::size_t>(s.version.size(), size), buffer);
  *length = static_cast<int>(s.version.size()) + 1;
  return s.result;
}

// A printer-class printer listed by a scripted route, as the route of its
// own will list it.
struct PrinterClassRig {
  SimHarness h;
  sim::ClassPrinter& printer =
      h.world.AddClassPrinter({.name = "rk", .serial = "4E4C5041000000A001"});

  ui::TMainForm& Show() {
    const platform::Platform p = h.Platform();
    discovery::Routes routes;
    routes.printerClass =
        testing::ProbeListing({{0,
                                {printer.InterfacePath(), "RK-L5200", "4E4C5041000000A001", "", "",
                                 "USB Printer Class"}}});
    h.form = std::make_unique<ui::TMainForm>(ui::FormServices{p, routes});
    h.form->SetObserver(&h.observer);
    h.form->FormShow();
    return *h.form;
  }
};

TEST(CommTest, PrinterClassRouteAsksTheLibraryWithTheDeviceHeldOpen) {
  struct Case {
    const char* what;
    bool bound;
    int result;
    std::string version;
    const char* box;
    std::string infoLine1;
  } const cases[] = {
      {"library not bound", false, 0, "", kCannotCommunicate, ""},
      {"version read", true, 0, "5.10", kSucceeded, "RK-L5200 5.10"},
      {"library fails", true, -11, "5.10", kCannotCommunicate, ""},
      // A library that fills the whole buffer must not make the text run on.
      {"buffer filled without NUL", true, 0, std::string(128, '9'), kSucceeded,
       "RK-L5200 " + std::string(128, '9')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PrinterClassRig rig;
    FirmwareScript script;
    script.result = c.result;
    script.version = c.version;
    script.world = &rig.h.world;
    gScript = &script;
    auto& form = rig.Show();
    if (c.bound) form.GetPrinterFirmwareVersion = &ScriptedFirmwareVersion;
    form.Edit1.TextFromUser(kTyped);
    rig.h.world.Recorder().Clear();
    form.Button6Click();

    ExpectOneBox(rig.h, c.box);
    EXPECT_EQ(script.calls, c.bound ? 1 : 0);
    if (c.bound) {
      EXPECT_EQ(script.path, rig.printer.InterfacePath());
      EXPECT_EQ(script.size, 128);
      EXPECT_TRUE(script.bufferZeroed);
      EXPECT_EQ(script.lengthOnEntry, 0);
      EXPECT_EQ(script.handlesOpen, 1u) << "the test's own handle stays open during the call";
    }
    EXPECT_EQ(form.Label5.Text(), c.infoLine1);
    EXPECT_EQ(form.Edit1.Text(), "4E4C5041000000A001");  // the display ran
    ExpectRestored(form, true);
    EXPECT_TRUE(WritesTo(rig.h, "rk").empty());
    EXPECT_EQ(rig.h.world.OpenHandles(), 0u);
    gScript = nullptr;
  }
}

TEST(CommTest, PrinterClassPrinterThatCannotBeOpenedIsNotAskedFor) {
  PrinterClassRig rig;
  FirmwareScript script;
  script.world = &rig.h.world;
  gScript = &script;
  auto& form = rig.Show();
  form.GetPrinterFirmwareVersion = &ScriptedFirmwareVersion;
  rig.printer.Unplug();
  form.Edit1.TextFromUser(kTyped);
  form.Button6Click();
  ExpectOneBox(rig.h, kCannotCommunicate);
  EXPECT_EQ(script.calls, 0);
  EXPECT_EQ(form.Edit1.Text(), kTyped);
  ExpectRestored(form, true);
  gScript = nullptr;
}

// The wait cursor shows over every step that blocks the thread: the
// start-up with its spooler stop (up to some 22 s) and first Find, Write
// with its Find, Test Print, and the close with its spooler start; never
// over a message box.
TEST(BusyState, EveryStepThatBlocksIsBusyAndNoBoxIs) {
  SimHarness h;
  AddPrinter(h, false);
  std::vector<std::pair<int, bool>> spooler;  // each mode asked for, and whether busy then
  auto& form = h.Make([&](ui::FormServices& s) {
    s.controlSpooler = [&](int mode) {
      spooler.push_back({mode, h.observer.busy});
      return 1;
    };
  });
  h.boxes.busyFlag = &h.observer.busy;
  form.FormShow();
  EXPECT_EQ(h.observer.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(spooler, (std::vector<std::pair<int, bool>>{{1, true}}));

  h.observer.busyChanges.clear();
  form.Edit1.TextFromUser("NEW");
  form.Button3Click();  // the write, its message, then a Find
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_FALSE(h.boxes.shown[0].whileBusy);
  EXPECT_EQ(h.observer.busyChanges, (std::vector<bool>{true, false, true, false}));

  h.observer.busyChanges.clear();
  bool busyWhilePrinting = false;
  h.world.SetBeforeRequestHook([&] { busyWhilePrinting = h.observer.busy; });
  form.Button5Click();
  EXPECT_TRUE(busyWhilePrinting);
  EXPECT_EQ(h.observer.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(h.world.Vendor("p").Printed(), "VARDU NOLPAID Test Print\n");

  h.observer.busyChanges.clear();
  form.FormClose();
  EXPECT_EQ(h.observer.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(spooler, (std::vector<std::pair<int, bool>>{{1, true}, {0, true}}));
}

TEST(BusyState, ProbeSeesTheFormBusyAndAnExceptionEndsIt) {
  testing::FormHarness h;
  bool busyDuringProbe = false;
  h.routes.vendorDriver = [&](int index, discovery::DeviceList&) -> bool {
    busyDuringProbe = h.observer.busy;
    if (index == 5) throw std::runtime_error("probe failed");
    return false;
  };
  auto& form = h.Make();
  EXPECT_THROW(form.Button1Click(), std::runtime_error);
  EXPECT_TRUE(busyDuringProbe);
  EXPECT_EQ(h.observer.busyChanges, (std::vector<bool>{true, false}));
  EXPECT_FALSE(h.observer.busy);
}

}  // namespace
}  // namespace nolpa
