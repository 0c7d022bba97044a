// The Write button end to end against simulated printers: its three paths,
// every row of its failure table, both languages and command-line mode.
#include <gtest/gtest.h>

#include "discovery/standard_routes.h"
#include "tests/support/enabling.h"
#include "tests/support/form_harness.h"
#include "tests/support/sim_harness.h"
#include "ui/layout.h"

namespace nolpa {
namespace {

using platform::MessageIcon;
using testing::ExpectRestored;
using testing::SimHarness;

constexpr char kSucceeded[] = "The writing in of the ID succeeded.";
constexpr char kFailed[] = "The writing in of the ID failed.";
constexpr char kCannotCommunicate[] = "Can not communicate with the device.";

// Every Find empties the product list, so a change of its items means one ran.
int FindsRun(const SimHarness& h) {
  int n = 0;
  for (const auto& c : h.observer.changes)
    n += c.id == ui::ControlId::ComboBox1 && c.what == ui::ControlChange::Items ? 1 : 0;
  return n;
}

TEST(WriteByCommands, NewCodeAndNameAreWhatTheNextFindReads) {
  SimHarness h;
  auto& printer = h.AddVendor("p", u"OLD-CODE", u"old name");
  auto& form = h.Show();
  form.Edit1.TextFromUser("NEW-CODE");
  form.Edit2.TextFromUser("new name");
  h.world.Recorder().Clear();
  const auto start = h.clock.NowMs();
  form.Button3Click();

  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, kSucceeded);
  EXPECT_EQ(h.boxes.shown[0].caption, "Information");
  EXPECT_EQ(h.boxes.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(printer.Identity().serial, "NEW-CODE");
  EXPECT_EQ(printer.Identity().idName, "new name");
  EXPECT_EQ(form.Edit1.Text(), "NEW-CODE");  // read back by the Find that followed
  EXPECT_EQ(form.Memo1.Text(), "NEW-CODE");
  EXPECT_EQ(form.Edit2.Text(), "new name");
  ExpectRestored(form, false);
  // At least the silence that ends the emptying; no more than 50 ms besides
  // for a printer that answers at once.
  const auto elapsed = h.clock.NowMs() - start;
  EXPECT_GE(elapsed, 2000u);
  EXPECT_LE(elapsed, 2050u);
  EXPECT_EQ(h.world.OpenHandles(), 0u);
  EXPECT_EQ(h.world.OpenSets(), 0u);
}

TEST(WriteByCommands, TheWriteSetsChannelTimeoutsAndSendsOnlyChangedValues) {
  SimHarness h;
  auto& printer = h.AddVendor("p", u"SAME", u"old");
  auto& form = h.Show();
  form.Edit2.TextFromUser("");
  h.world.Recorder().Clear();
  form.Button3Click();
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, kSucceeded);
  EXPECT_EQ(printer.Identity().serial, "SAME");
  EXPECT_EQ(printer.Identity().idName, "");

  const auto requests = h.world.Recorder().RequestsOf("p");
  ASSERT_GE(requests.size(), 3u);
  EXPECT_EQ(requests[0].kind, sim::RequestKind::Open);
  EXPECT_EQ(requests[1].kind, sim::RequestKind::SetTimeouts);
  EXPECT_EQ(requests[1].timeouts.readIntervalTimeout, 0xFFFFFFFFu);
  EXPECT_EQ(requests[1].timeouts.writeTotalTimeoutConstant, 2000u);
  std::vector<std::vector<std::uint8_t>> writes;
  for (const auto& r : requests)
    if (r.kind == sim::RequestKind::Write) writes.push_back(r.in);
  ASSERT_EQ(writes.size(), 5u);  // reset, query, opening, clear of the name, closing
  EXPECT_EQ(writes[3], (std::vector<std::uint8_t>{0x1D, 0x28, 0x43, 0x05, 0x00, 0x00, 0x00, 0x80,
                                                  0x23, 0x38}));
  EXPECT_EQ(writes[4], (std::vector<std::uint8_t>{0x1C, 0x7C, 0x7F, printer.Identity().identByte,
                                                  0x02, 0xFD, 0x01, 0x00, 0x00}));
}

TEST(WriteByBoard, NwjPrinterReportsTheNewIdentifiersAndGetsNoCommand) {
  SimHarness h;
  auto& printer = h.AddVendor("board", u"OLD", u"OLDNAME", sim::kNwjBoard);
  auto& form = h.Show();
  ASSERT_NE(form.Label6.Text().find("NW-J"), std::string::npos);
  form.Edit1.TextFromUser("AB");
  form.Edit2.TextFromUser("");
  form.Button3Click();
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, kSucceeded);
  EXPECT_EQ(form.Edit1.Text(), "AB");
  EXPECT_EQ(form.Edit2.Text(), "");
  EXPECT_EQ(printer.Board().Value(6), std::optional<std::uint16_t>(0x8C));
  EXPECT_EQ(printer.Board().Value(256), std::optional<std::uint16_t>(0x00FF));
  EXPECT_TRUE(printer.Protocol().Commands().empty());
  EXPECT_EQ(form.BoardHandle, platform::kInvalidDeviceHandle);
  EXPECT_EQ(h.world.OpenHandles(), 0u);
}

// NW-J boards (codes 0x00 and 0x0C) take the image, whose checksum here
// needs all 16 bits (80 letters z: 9925); an onboard interface on code 0x10
// has no board memory and is written with printer commands.
TEST(WriteByBoard, BoardCodesChooseThePathAndTheChecksumKeepsItsCarry) {
  const std::string code(80, 'z');
  for (const std::uint8_t board : {sim::kNwjBoard, sim::kNwjBoardC, sim::kOnboardUsb3}) {
    SCOPED_TRACE(static_cast<int>(board));
    SimHarness h;
    auto& printer = h.AddVendor("p", u"OLD", u"N", board);
    auto& form = h.Show();
    const bool nwj = board != sim::kOnboardUsb3;
    EXPECT_NE(form.Label6.Text().find(nwj ? "NW-J Series" : "Onboard USB(3) Series"),
              std::string::npos);
    form.Edit1.TextFromUser(code);
    form.Button3Click();
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].text, kSucceeded);
    EXPECT_EQ(printer.Identity().serial, code);
    EXPECT_EQ(form.Memo1.Text(), code);  // read back by the Find that followed
    EXPECT_EQ(printer.Protocol().Commands().empty(), nwj);
    if (nwj) {
      EXPECT_EQ(printer.Board().Value(162), std::optional<std::uint16_t>(0x26C5));
    }
  }
}

// The restore set comes before the Find, so a Find that finds nothing leaves
// only the list, Find and Exit usable.
TEST(WriteProcedure, AFindThatFindsNothingAfterTheWriteHasTheLastWord) {
  SimHarness h;
  auto& printer = h.AddVendor("p", u"OLD", u"N");
  auto& form = h.Show();
  form.Edit1.TextFromUser("NEW");
  // Gone right after the closing packet: reset, query, opening, header, text,
  // FF, closing.
  printer.Faults().unplug = sim::UnplugFault{.after = 7, .kind = sim::RequestKind::Write};
  form.Button3Click();
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, kSucceeded);
  EXPECT_TRUE(form.ComboBox1.Items().empty());
  EXPECT_TRUE(form.Button1.Enabled());
  EXPECT_TRUE(form.Button4.Enabled());
  for (ui::Control* c :
       {&form.Button2, &form.Button3, &form.Button5, &form.Button6, &form.Edit1, &form.Edit2})
    EXPECT_FALSE(c->Enabled()) << ui::LayoutOf(c->Id()).name;
}

TEST(WriteByBoard, RefusedRequestFailsWithoutFindAndKeepsWhatWasWritten) {
  SimHarness h;
  auto& printer = h.AddVendor("board", u"OLD", u"N", sim::kNwjBoard);
  auto& form = h.Show();
  printer.Faults().ioctl.push_back({.code = sim::kIoctlSetBoardAddress, .nth = 3});
  form.Edit1.TextFromUser("XY");
  const int findsBefore = FindsRun(h);
  form.Button3Click();
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, kFailed);
  EXPECT_EQ(h.boxes.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(FindsRun(h), findsBefore);
  EXPECT_EQ(form.Edit1.Text(), "XY");  // no Find: the box keeps what was typed
  EXPECT_EQ(printer.Board().Value(1), std::optional<std::uint16_t>(3));
  EXPECT_FALSE(printer.Board().Value(2).has_value());
  EXPECT_EQ(printer.Identity().serial, "OLD");  // the board image was never finished
  EXPECT_EQ(form.BoardHandle, platform::kInvalidDeviceHandle);
  ExpectRestored(form, false);
}

TEST(WriteByCommands, FailuresLeaveTheStepsDoneAndShowTheFailure) {
  struct Case {
    const char* what;
    std::function<void(sim::VendorPrinter&)> fault;
    std::string serialAfter, nameAfter;
    std::uint64_t minElapsed;
  };
  const Case cases[] = {
      {"silent printer", [](auto& p) { p.Faults().channel.silent = true; }, "OLD", "old", 4000},
      {"query answered with a status byte",
       [](auto& p) { p.Faults().channel.queryAnswer = sim::QueryAnswer::OneByteStatus; }, "OLD",
       "old", 2000},
      {"query answered with a block",
       [](auto& p) { p.Faults().channel.queryAnswer = sim::QueryAnswer::Block; }, "OLD", "old",
       2000},
      {"opening packet written short",
       [](auto& p) { p.Faults().writes.push_back({.nth = 3, .take = 4}); }, "OLD", "old", 2000},
      {"unplugged after the code was stored",
       [](auto& p) {
         p.Faults().unplug = sim::UnplugFault{.after = 6, .kind = sim::RequestKind::Write};
       },
       "NEW", "old", 2000},
      {"never falls silent",
       [](auto& p) {
         p.Faults().channel.heartbeat = sim::Heartbeat{0x12, 500};
       },
       "OLD", "old", 10000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimHarness h;
    auto& printer = h.AddVendor("p", u"OLD", u"old");
    auto& form = h.Show();
    c.fault(printer);
    form.Edit1.TextFromUser("NEW");
    form.Edit2.TextFromUser("new");
    const auto start = h.clock.NowMs();
    form.Button3Click();
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].text, kFailed);
    EXPECT_EQ(h.boxes.shown[0].caption, "Error");
    EXPECT_EQ(printer.Identity().serial, c.serialAfter);
    EXPECT_EQ(printer.Identity().idName, c.nameAfter);
    EXPECT_GE(h.clock.NowMs() - start, c.minElapsed);
    EXPECT_LE(h.clock.NowMs() - start, 12000u);
    EXPECT_EQ(form.Edit1.Text(), "NEW");  // no Find after a failure
    ExpectRestored(form, false);
    EXPECT_EQ(h.world.OpenHandles(), 0u);
  }
}

// Each row: what goes wrong, the box in both languages, whether it shows in
// command-line mode, and whether Find runs afterwards.
struct TableRow {
  const char* what;
  bool printerClass;
  std::function<void(SimHarness&, ui::TMainForm&)> arrange;
  const char* japanese;
  const char* english;
  MessageIcon icon;
  bool shownInBatch;
  bool find;
};

ui::TMainForm& ShowWithClassPrinter(SimHarness& h, const std::string& model) {
  sim::ClassPrinterConfig config;
  config.name = "class";
  config.deviceId = "MFG:Test;MDL:" + model + ";";
  config.serial = "0123456789ABCDEF01";
  auto& printer = h.world.AddClassPrinter(config);
  const platform::Platform p = h.Platform();
  discovery::Routes routes = discovery::StandardRoutes(p, {});
  routes.printerClass = testing::ProbeListing(
      {{0, {printer.InterfacePath(), model, printer.Serial(), "", "", "USB Printer Class"}}});
  h.form = std::make_unique<ui::TMainForm>(ui::FormServices{p, routes});
  h.form->SetObserver(&h.observer);
  h.form->FormShow();
  return *h.form;
}

const TableRow kFailureTable[] = {
    {"vendor device unplugged after Find", false,
     [](SimHarness& h, ui::TMainForm&) { h.world.Vendor("p").Unplug(); },
     "デバイスと通信できません。", kCannotCommunicate, MessageIcon::Error, true, false},
    {"class device unplugged after Find", true,
     [](SimHarness& h, ui::TMainForm& f) {
       h.world.PrinterClass("class").Unplug();
       f.Edit1.TextFromUser("0123456789ABCDEF02");
     },
     "デバイスと通信できません。", kCannotCommunicate, MessageIcon::Error, true, false},
    {"invalid ID code character", false,
     [](SimHarness&, ui::TMainForm& f) { f.Edit1.TextFromUser("A/B"); },
     "識別コードに無効な文字が含まれています。", "Invalid character in ID code.",
     MessageIcon::Error, true, false},
    {"invalid ID name character", false,
     [](SimHarness&, ui::TMainForm& f) { f.Edit2.TextFromUser("a.b"); },
     "識別名に無効な文字が含まれています。", "Invalid character in ID name.", MessageIcon::Error,
     true, false},
    {"nothing changed", false, [](SimHarness&, ui::TMainForm&) {},
     "識別コード、識別名が現在の値から変更されていません。",
     "Nothing is changed from current setting.", MessageIcon::Information, false, false},
    {"class code of 17 characters", true,
     [](SimHarness&, ui::TMainForm& f) { f.Edit1.TextFromUser("0123456789ABCDEF0"); },
     "識別コード(USB Serial No.)は、18文字固定にしてください。",
     "The length of ID code(USB Serial No.) is 18 characters.", MessageIcon::Error, true, false},
    {"class code in lower case", true,
     [](SimHarness&, ui::TMainForm& f) { f.Edit1.TextFromUser("00000000000000abcd"); },
     "識別コード(USB Serial No.)に無効な文字が含まれています。",
     "Invalid character in ID code(USB Serial No.).", MessageIcon::Error, true, false},
    {"class code unchanged", true, [](SimHarness&, ui::TMainForm&) {},
     "識別コード(USB Serial No.)が現在の値から変更されていません。",
     "Nothing is changed from current ID code(USB Serial No.) setting.", MessageIcon::Information,
     false, false},
    {"library not bound", true,
     [](SimHarness&, ui::TMainForm& f) { f.Edit1.TextFromUser("0123456789ABCDEF02"); },
     "識別コード(USB Serial No.)の書き込みに失敗しました。",
     "The writing in of the ID code(USB Serial No.) failed.", MessageIcon::Error, true, true},
    {"library refuses", true,
     [](SimHarness&, ui::TMainForm& f) {
       f.Edit1.TextFromUser("0123456789ABCDEF02");
       f.SetUSBSerialNumber = [](const char*, const char*, int) { return -5; };
     },
     "識別コード(USB Serial No.)の書き込みに失敗しました。",
     "The writing in of the ID code(USB Serial No.) failed.", MessageIcon::Error, true, true},
    {"command write fails", false,
     [](SimHarness& h, ui::TMainForm& f) {
       h.world.Vendor("p").Faults().channel.silent = true;
       f.Edit1.TextFromUser("NEW");
     },
     "IDの書き込みに失敗しました。", kFailed, MessageIcon::Error, true, false},
    {"command write succeeds", false,
     [](SimHarness&, ui::TMainForm& f) { f.Edit1.TextFromUser("NEW"); },
     "IDの書き込みが成功しました。", kSucceeded, MessageIcon::Information, false, true},
};

TEST(WriteProcedure, EveryRowInBothLanguagesAndInCommandLineMode) {
  for (const auto& row : kFailureTable) {
    for (const bool japanese : {false, true}) {
      for (const int batchMode : {0, 1}) {
        SCOPED_TRACE(std::string(row.what) + (japanese ? " ja" : " en") + " batch " +
                     std::to_string(batchMode));
        SimHarness h;
        h.system.langId = japanese ? 0x0411 : 0x0409;
        ui::TMainForm* form;
        if (row.printerClass) {
          form = &ShowWithClassPrinter(h, "RK-L5200");
        } else {
          h.AddVendor("p", u"CODE", u"NAME");
          form = &h.Show();
        }
        form->BatchMode = batchMode;
        row.arrange(h, *form);
        const std::string typed = form->Edit1.Text();
        const int findsBefore = FindsRun(h);
        form->Button3Click();

        const bool shown = batchMode == 0 || row.shownInBatch;
        ASSERT_EQ(h.boxes.shown.size(), shown ? 1u : 0u);
        if (shown) {
          EXPECT_EQ(h.boxes.shown[0].text, japanese ? row.japanese : row.english);
          EXPECT_EQ(h.boxes.shown[0].icon, row.icon);
          const bool error = row.icon == MessageIcon::Error;
          EXPECT_EQ(h.boxes.shown[0].caption,
                    japanese ? (error ? "エラー" : "情報") : (error ? "Error" : "Information"));
        }
        EXPECT_EQ(FindsRun(h) > findsBefore, row.find);
        if (!row.find) {
          EXPECT_EQ(form->Edit1.Text(), typed);
        }
        ExpectRestored(*form, row.printerClass);
        EXPECT_EQ(h.world.OpenHandles(), 0u);
      }
    }
  }
}

TEST(WriteProcedure, UnchangedValuesTouchTheDeviceOnlyToOpenIt) {
  SimHarness h;
  h.AddVendor("p", u"CODE", u"NAME");
  auto& form = h.Show();
  h.world.Recorder().Clear();
  form.Button3Click();
  EXPECT_EQ(h.world.Recorder().Transcript("p"),
            (std::vector<std::string>{"open ok", "set-timeouts FFFFFFFF FFFFFFFF 0 0 2000 refused",
                                      "close"}));
}

// What the bound SetUSBSerialNumber saw; entry points are plain C functions.
struct LibraryWriteCall {
  std::string path{}, code{};
  int selector = -1;
  std::size_t handlesDuringCall = 0;
  const sim::World* world = nullptr;
};
LibraryWriteCall gLibraryWrite;

int RecordLibraryWrite(const char* path, const char* code, int model) {
  gLibraryWrite.path = path;
  gLibraryWrite.code = code;
  gLibraryWrite.selector = model;
  gLibraryWrite.handlesDuringCall = gLibraryWrite.world->OpenHandles();
  return 0;
}

TEST(WriteProcedure, LibraryGetsPathCodeAndModelSelectorWithTheHandleHeld) {
  for (const auto& [model, selector] :
       {std::pair{"RK-L880", 1}, std::pair{"RK-L5200", 0}, std::pair{"XRK-L880Z", 1}}) {
    SimHarness h;
    auto& form = ShowWithClassPrinter(h, model);
    gLibraryWrite = {.world = &h.world};
    form.SetUSBSerialNumber = &RecordLibraryWrite;
    form.Edit1.TextFromUser("00000000000000ABCD");
    form.Button3Click();
    EXPECT_EQ(gLibraryWrite.path, h.world.PrinterClass("class").InterfacePath());
    EXPECT_EQ(gLibraryWrite.code, "00000000000000ABCD");
    EXPECT_EQ(gLibraryWrite.selector, selector) << model;
    EXPECT_EQ(gLibraryWrite.handlesDuringCall, 1u);
    EXPECT_EQ(h.world.OpenHandles(), 0u);
    ASSERT_EQ(h.boxes.shown.size(), 1u);
    EXPECT_EQ(h.boxes.shown[0].text,
              "The writing in of the ID code(USB Serial No.) succeeded.\r\n"
              "USB serial number setting is enabled after rebooting the printer.\r\n"
              "Turn off the printer, and connect it to the computer you want to use, and then "
              "turn on the printer.");
  }
}

TEST(WriteProcedure, AfterASuccessTheSelectionReturnsToTheFirstDevice) {
  SimHarness h;
  h.AddVendor("a", u"A", u"");
  auto& second = h.AddVendor("b", u"B", u"");
  auto& form = h.Show();
  form.ComboBox1.SelectionFromUser(1);
  form.ComboBox1Change();
  form.Edit1.TextFromUser("B2");
  form.Button3Click();
  EXPECT_EQ(second.Identity().serial, "B2");
  EXPECT_EQ(form.ComboBox1.SelectedIndex(), 0);
  EXPECT_EQ(form.Edit1.Text(), "A");
}

TEST(WriteProcedure, AnIdentifierTooLongForTheBoardLeavesItUntouched) {
  SimHarness h;
  auto& printer = h.AddVendor("board", u"OLD", u"N", sim::kNwjBoard);
  auto& form = h.Show();
  form.BatchMode = 1;
  form.Edit1.SetText(std::string(127, 'A'));  // only the command line can put this here
  h.world.Recorder().Clear();
  form.Button3Click();
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, kFailed);
  EXPECT_TRUE(printer.Board().Cells().empty());
  for (const auto& r : h.world.Recorder().RequestsOf("board"))
    EXPECT_NE(r.kind, sim::RequestKind::IoControl);
}

}  // namespace
}  // namespace nolpa
