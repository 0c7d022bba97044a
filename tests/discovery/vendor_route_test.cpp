// The vendor driver route against simulated printers: readout of the texts,
// the USB information line, and the probe's release of every resource.
#include <gtest/gtest.h>

#include "discovery/vendor_driver.h"
#include "tests/support/sim_harness.h"

namespace nolpa {
namespace {

using sim::IoctlFault;
using testing::SimHarness;
using Bytes = std::vector<std::uint8_t>;

// A string descriptor of `len` bytes holding the letters of `text` as units.
Bytes Descriptor(int len, const std::string& text) {
  Bytes d{static_cast<std::uint8_t>(len), 3};
  for (char c : text) {
    d.push_back(static_cast<std::uint8_t>(c));
    d.push_back(0);
  }
  return d;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Bytes kLanguages{4, 3, 0x09, 0x04};

struct StringsCase {
  const char* what;
  Bytes reply;
  std::string product, idCode;
};

TEST(ReadDeviceStrings, WalksTheDescriptorsWithinTheReturnedBytes) {
  const StringsCase cases[] = {
      {"all four",
       Join({kLanguages, Descriptor(8, "MFR"), Descriptor(6, "PR"), Descriptor(10, "SER1")}), "PR",
       "SER1"},
      {"only two descriptors", Join({kLanguages, Descriptor(8, "MFR")}), "", ""},
      {"product reaches past the reply",
       Join({kLanguages, Descriptor(8, "MFR"), Bytes{40, 3, 'P', 0}}), "", ""},
      {"serial reaches past the reply",
       Join({kLanguages, Descriptor(8, "MFR"), Descriptor(6, "PR"), Bytes{20, 3, 'S', 0}}), "PR",
       ""},
      {"length 2 and 3 give empty text",
       Join({kLanguages, Descriptor(8, "MFR"), Bytes{2, 3}, Bytes{3, 3, 'X'}}), "", ""},
      {"length 4 gives one character",
       Join({kLanguages, Descriptor(8, "MFR"), Descriptor(4, "Q"), Descriptor(4, "Z")}), "Q", "Z"},
      {"odd length drops the half unit",
       Join({kLanguages, Descriptor(8, "MFR"), Bytes{7, 3, 'A', 0, 'B', 0, 'C'}}), "AB", ""},
      {"language descriptor longer than the reply", Bytes{200, 3, 9, 4}, "", ""},
      {"empty reply", Bytes{}, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimHarness h;
    auto& printer = h.AddVendor("p", u"IGNORED", u"NAME");
    printer.Faults().ioctl.push_back({.code = sim::kIoctlStringDescriptors,
                                      .action = IoctlFault::Action::Raw,
                                      .bytes = c.reply});
    auto files = h.Platform().files;
    const auto handle = files->Open(printer.InterfacePath() + "\\RK");
    ASSERT_NE(handle, platform::kInvalidDeviceHandle);
    const auto strings = discovery::ReadDeviceStrings(*files, handle);
    files->Close(handle);
    ASSERT_TRUE(strings.has_value());
    EXPECT_EQ(strings->product, c.product);
    EXPECT_EQ(strings->idCode, c.idCode);
    EXPECT_EQ(strings->idName, "NAME");
  }
}

TEST(ReadDeviceStrings, NarrowsUnitsToTheirLowByte) {
  SimHarness h;
  auto& printer = h.AddVendor("p", u"S\u0141N", u"\u30A2Z");
  printer.Usb().product = u"caf\u00E9\u4E2D";
  auto files = h.Platform().files;
  const auto handle = files->Open(printer.InterfacePath() + "\\RK");
  const auto strings = discovery::ReadDeviceStrings(*files, handle);
  files->Close(handle);
  ASSERT_TRUE(strings);
  EXPECT_EQ(strings->product, "caf\xE9\x2D");
  EXPECT_EQ(strings->idCode, "SAN");
  EXPECT_EQ(strings->idName, "\xA2Z");
}

// A unit whose low byte is 0 (U+0100, say) ends the text, as the 8-bit text
// buffers end there: what the boxes show is what Write checks.
TEST(ReadDeviceStrings, TextsEndAtTheirFirstZeroByte) {
  SimHarness h;
  auto& printer = h.AddVendor("p", u"AB\u0100CD", u"N\u0200ME");
  printer.Usb().product = u"VX\u0300Z";
  auto& form = h.Show();
  EXPECT_EQ(form.ComboBox1.Items(), std::vector<std::string>{"VX"});
  EXPECT_EQ(form.Edit1.Text(), "AB");
  EXPECT_EQ(form.Memo1.Text(), "AB");
  EXPECT_EQ(form.Edit2.Text(), "N");
  // Unchanged as shown, so nothing is written.
  form.Button3Click();
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, "Nothing is changed from current setting.");
}

TEST(ReadDeviceStrings, IdNameStaysInsideTheReturnedBytes) {
  struct {
    const char* what;
    IoctlFault fault;
    std::string idName;
  } const cases[] = {
      {"refused", {.code = sim::kIoctlIdName}, ""},
      {"length byte claims more than returned",
       {.code = sim::kIoctlIdName,
        .action = IoctlFault::Action::Raw,
        .bytes = {200, 3, 'A', 0, 'B', 0}},
       "AB"},
      {"one byte only",
       {.code = sim::kIoctlIdName, .action = IoctlFault::Action::Raw, .bytes = {10}},
       ""},
      {"length 2",
       {.code = sim::kIoctlIdName, .action = IoctlFault::Action::Raw, .bytes = {2, 3, 'A', 0}},
       ""},
      {"cut short",
       {.code = sim::kIoctlIdName, .action = IoctlFault::Action::Short, .fill = 5},
       "N"},  // half a unit is dropped
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimHarness h;
    auto& printer = h.AddVendor("p", u"CODE", u"NAME");
    printer.Faults().ioctl.push_back(c.fault);
    auto files = h.Platform().files;
    const auto handle = files->Open(printer.InterfacePath() + "\\RK");
    const auto strings = discovery::ReadDeviceStrings(*files, handle);
    files->Close(handle);
    ASSERT_TRUE(strings);
    EXPECT_EQ(strings->idName, c.idName);
    EXPECT_EQ(strings->idCode, "CODE");
  }
}

TEST(FormatUsbInfoLine, VersionsSpeedAndBoard) {
  struct {
    std::uint16_t bcdUsb, bcdDevice;
    bool highSpeed;
    std::uint8_t board;
    const char* line;
  } const cases[] = {
      {0x0200, 0x0100, true, 0x04, "USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 "},
      {0x0110, 0x0110, false, 0x08, "USB1.1 Full Speed, Onboard USB(2) Series Ver.1.10 "},
      {0x0201, 0x0A0B, true, 0x24, "USB2.0 High Speed, Onboard USB(4) Series Ver.A.B "},
      {0x0200, 0x0102, false, 0x40, "USB2.0 Full Speed, Onboard USB(5) Series Ver.1.2 "},
      {0x0200, 0x0100, true, 0x84, "USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 "},
      {0x0200, 0x0100, true, 0x07, "USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 "},
      {0x0200, 0x0100, true, 0x00, "USB2.0 High Speed, NW-J Series Ver.1.0 "},
      {0x0200, 0x0100, true, 0x0C, "USB2.0 High Speed, NW-J Series Ver.1.0 "},
      {0x0300, 0x1234, true, 0x10, "USB3.0 High Speed, Onboard USB(3) Series Ver.12.34 "},
      {0x0200, 0x0100, true, 0x93, "USB2.0 High Speed, Onboard USB(3) Series Ver.1.0 "},
  };
  for (const auto& c : cases) {
    SimHarness h;
    auto& printer = h.AddVendor("p", u"C", u"N", c.board);
    printer.Usb().bcdUsb = c.bcdUsb;
    printer.Usb().bcdDevice = c.bcdDevice;
    printer.Usb().highSpeed = c.highSpeed;
    auto files = h.Platform().files;
    const auto handle = files->Open(printer.InterfacePath() + "\\RK");
    EXPECT_EQ(discovery::FormatUsbInfoLine(*files, handle), std::optional<std::string>(c.line));
    files->Close(handle);
  }
}

TEST(ProbeVendorDriverDevice, ListsAPrinterWithItsSixStrings) {
  SimHarness h;
  auto& printer = h.AddVendor("p", u"CODE-1", u"Line 1");
  discovery::DeviceList list;
  ASSERT_TRUE(discovery::ProbeVendorDriverDevice(h.Platform(), 0, list));
  EXPECT_FALSE(discovery::ProbeVendorDriverDevice(h.Platform(), 1, list));
  ASSERT_EQ(list.Count(), 1u);
  const auto record = list.Record(0);
  EXPECT_EQ(record.devicePath, printer.InterfacePath() + "\\RK");
  EXPECT_EQ(record.productText, "VX p");
  EXPECT_EQ(record.idCode, "CODE-1");
  EXPECT_EQ(record.idName, "Line 1");
  EXPECT_EQ(record.infoLine1, "");
  EXPECT_EQ(record.infoLine2, "USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 ");
  EXPECT_EQ(h.world.OpenHandles(), 0u);
  EXPECT_EQ(h.world.OpenSets(), 0u);
}

// The driver defines the buffer of each request; the simulated driver
// refuses any other size, and the recorder shows what the probe asked for.
TEST(ProbeVendorDriverDevice, AsksWithTheBufferSizesTheDriverDefines) {
  SimHarness h;
  h.AddVendor("p", u"CODE-1", u"Line 1");
  discovery::DeviceList list;
  ASSERT_TRUE(discovery::ProbeVendorDriverDevice(h.Platform(), 0, list));
  std::vector<std::pair<std::uint32_t, std::uint32_t>> asked;
  for (const auto& r : h.world.Recorder().RequestsOf("p")) {
    if (r.kind != sim::RequestKind::IoControl) continue;
    EXPECT_EQ(r.inSize, 0u);
    asked.emplace_back(r.code, r.outSize);
  }
  EXPECT_EQ(asked, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                       {0x222048, 1024}, {0x2220CC, 512}, {0x222040, 18}, {0x2220C0, 4}}));
}

TEST(ProbeVendorDriverDevice, FailuresListNothingAndReleaseEverything) {
  struct Case {
    const char* what;
    std::function<void(sim::VendorPrinter&)> fault;
    bool listed;
    std::string idName;
  };
  const Case cases[] = {
      {"strings refused",
       [](auto& p) { p.Faults().ioctl.push_back({.code = sim::kIoctlStringDescriptors}); }, false,
       ""},
      {"descriptor refused",
       [](auto& p) { p.Faults().ioctl.push_back({.code = sim::kIoctlDeviceDescriptor}); }, false,
       ""},
      {"status refused",
       [](auto& p) { p.Faults().ioctl.push_back({.code = sim::kIoctlStatusBlock}); }, false, ""},
      {"descriptor cut before bcdDevice",
       [](auto& p) {
         p.Faults().ioctl.push_back({.code = sim::kIoctlDeviceDescriptor,
                                     .action = IoctlFault::Action::Short,
                                     .fill = 12});
       },
       false, ""},
      {"status of one byte",
       [](auto& p) {
         p.Faults().ioctl.push_back(
             {.code = sim::kIoctlStatusBlock, .action = IoctlFault::Action::Short, .fill = 1});
       },
       false, ""},
      {"open refused", [](auto& p) { p.Faults().refuseOpen = true; }, false, ""},
      {"no interface detail", [](auto& p) { p.Faults().failInterfaceDetail = true; }, false, ""},
      {"unplugged after the strings",
       [](auto& p) {
         p.Faults().unplug = sim::UnplugFault{.after = 1, .kind = sim::RequestKind::IoControl};
       },
       false, ""},
      {"ID name refused", [](auto& p) { p.Faults().ioctl.push_back({.code = sim::kIoctlIdName}); },
       true, ""},
      {"no fault", [](auto&) {}, true, "NAME"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimHarness h;
    c.fault(h.AddVendor("p", u"CODE", u"NAME"));
    discovery::DeviceList list;
    EXPECT_EQ(discovery::ProbeVendorDriverDevice(h.Platform(), 0, list), c.listed);
    EXPECT_EQ(list.Length(), c.listed ? 6u : 0u);
    if (c.listed) {
      EXPECT_EQ(list.Get(0, discovery::IdName), c.idName);
    }
    EXPECT_EQ(h.world.OpenHandles(), 0u);
    EXPECT_EQ(h.world.OpenSets(), 0u);
  }
}

TEST(ProbeVendorDriverDevice, APrinterHeldOpenElsewhereIsNotListed) {
  SimHarness h;
  auto& held = h.AddVendor("held", u"1", u"");
  h.AddVendor("free", u"2", u"");
  auto files = h.Platform().files;
  const auto handle = files->Open(held.InterfacePath() + "\\RK");
  ASSERT_NE(handle, platform::kInvalidDeviceHandle);
  auto& form = h.Show();
  ASSERT_EQ(form.ComboBox1.Items().size(), 1u);
  EXPECT_EQ(form.ComboBox1.Items()[0], "VX free");
  files->Close(handle);
  form.Button1Click();
  EXPECT_EQ(form.ComboBox1.Items().size(), 2u);
}

TEST(FindWithVendorPrinters, EachProbeBuildsAndReleasesItsOwnSet) {
  SimHarness h;
  h.AddVendor("a", u"A1", u"first");
  h.AddVendor("b", u"B2", u"second", sim::kNwjBoard);
  auto& form = h.Show();
  ASSERT_EQ(form.ComboBox1.Items(), (std::vector<std::string>{"VX a", "VX b"}));
  EXPECT_EQ(form.Edit1.Text(), "A1");
  EXPECT_EQ(form.Edit2.Text(), "first");
  EXPECT_EQ(form.Label6.Text(), "USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 ");
  form.ComboBox1.SelectionFromUser(1);
  form.ComboBox1Change();
  EXPECT_EQ(form.Label6.Text(), "USB2.0 High Speed, NW-J Series Ver.1.0 ");
  EXPECT_EQ(h.world.OpenHandles(), 0u);
  EXPECT_EQ(h.world.OpenSets(), 0u);
}

}  // namespace
}  // namespace nolpa
