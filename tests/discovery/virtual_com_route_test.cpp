// The virtual COM port route against a simulated DOS device table: which
// ports are examined and opened, the records it lists, and that Write and
// Test Comm work on its printers as on the vendor route.
#include <gtest/gtest.h>

#include "discovery/virtual_com.h"
#include "tests/support/sim_harness.h"

namespace nolpa {
namespace {

using testing::SimHarness;

bool Opened(const SimHarness& h, const std::string& device) {
  for (const auto& r : h.world.Recorder().RequestsOf(device))
    if (r.kind == sim::RequestKind::Open) return true;
  return false;
}

TEST(VirtualComRoute, PrinterIsListedAfterTheVendorDriverOnesWithItsPort) {
  SimHarness h;
  h.AddComPrinter("c", 3, u"COM-CODE", u"Kiosk");
  h.AddVendor("v", u"V-CODE", u"Desk");
  auto& form = h.Show();
  ASSERT_EQ(form.ComboBox1.Items(), (std::vector<std::string>{"VX v", "VX c   [COM3]"}));
  const discovery::DeviceRecord record = form.DeviceList->Record(1);
  EXPECT_EQ(record.devicePath, "\\\\.\\COM3");
  EXPECT_EQ(record.productText, "VX c   [COM3]");
  EXPECT_EQ(record.idCode, "COM-CODE");
  EXPECT_EQ(record.idName, "Kiosk");
  EXPECT_EQ(record.infoLine1, "");
  EXPECT_EQ(record.infoLine2, form.DeviceList->Get(0, discovery::InfoLine2));
  // The port took the channel time-outs.
  ASSERT_TRUE(h.world.Vendor("c").LastTimeouts().has_value());
  EXPECT_EQ(h.world.Vendor("c").LastTimeouts()->writeTotalTimeoutConstant, 2000u);
  EXPECT_EQ(h.world.OpenHandles(), 0u);
}

TEST(VirtualComRoute, OnlyPortsOfTheMakersDriverUpToCom32AreOpened) {
  SimHarness h;
  h.world.AddSerialPort({.name = "modem", .comPort = 1});
  // The marker is case-sensitive.
  h.world.AddSerialPort({.name = "lookalike", .comPort = 2, .dosTarget = "\\Device\\kolmxSerial9"});
  h.world.AddVendorPrinter({.name = "other-driver",
                            .kind = sim::DeviceKind::VirtualCom,
                            .comPort = 4,
                            .dosTarget = "\\Device\\UsbSer4"});
  // Above COM9 a port opens only by its "\\.\" name.
  h.AddComPrinter("c10", 10, u"D", u"");
  h.AddComPrinter("c32", 32, u"A", u"");
  h.AddComPrinter("c33", 33, u"B", u"");
  h.AddComPrinter("c200", 200, u"C", u"");
  auto& form = h.Show();

  ASSERT_EQ(form.ComboBox1.Items(),
            (std::vector<std::string>{"VX c10   [COM10]", "VX c32   [COM32]"}));
  for (const char* device : {"modem", "lookalike", "other-driver", "c33", "c200"})
    EXPECT_FALSE(Opened(h, device)) << device;
  std::vector<std::string> expected;
  for (int n = 1; n <= 32; ++n) expected.push_back("COM" + std::to_string(n));
  EXPECT_EQ(h.world.QueriedNames(), expected);
  // And a port above COM32 examined would be noted as a departure.
  EXPECT_EQ(h.world.Departures().Count(sim::departure::kPortAboveCom32), 0u);
}

TEST(VirtualComRoute, PortThatCannotBeReadOutIsNotListed) {
  struct Case {
    const char* what;
    std::function<void(sim::VendorPrinter&)> fault;
  } const cases[] = {
      {"refused open", [](auto& p) { p.Faults().refuseOpen = true; }},
      {"string descriptors refused",
       [](auto& p) { p.Faults().ioctl.push_back({.code = sim::kIoctlStringDescriptors}); }},
      {"device descriptor refused",
       [](auto& p) { p.Faults().ioctl.push_back({.code = sim::kIoctlDeviceDescriptor}); }},
      {"status block refused",
       [](auto& p) { p.Faults().ioctl.push_back({.code = sim::kIoctlStatusBlock}); }},
      {"unplugged after the open",
       [](auto& p) { p.Faults().unplug = sim::UnplugFault{.kind = sim::RequestKind::Open}; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimHarness h;
    c.fault(h.AddComPrinter("c", 5, u"S", u"N"));
    auto& form = h.Show();
    EXPECT_TRUE(form.ComboBox1.Items().empty());
    EXPECT_EQ(h.world.OpenHandles(), 0u);
  }
}

TEST(VirtualComRoute, PortHeldByAnotherProgramIsNotListed) {
  SimHarness h;
  h.AddComPrinter("held", 4, u"S", u"N");
  h.AddComPrinter("free", 6, u"T", u"M");
  auto& files = h.world.Files();
  const platform::DeviceHandle other = files.Open("\\\\.\\COM4");  // the other program
  ASSERT_NE(other, platform::kInvalidDeviceHandle);
  auto& form = h.Show();
  EXPECT_EQ(form.ComboBox1.Items(), (std::vector<std::string>{"VX free   [COM6]"}));
  files.Close(other);
  EXPECT_EQ(h.world.OpenHandles(), 0u);
}

TEST(VirtualComRoute, RefusedIdNameAndRefusedTimeoutsStillList) {
  SimHarness h;
  auto& printer = h.AddComPrinter("c", 9, u"S", u"NAME");
  printer.Faults().ioctl.push_back({.code = sim::kIoctlIdName});
  printer.Faults().refuseTimeouts = true;
  auto& form = h.Show();
  ASSERT_EQ(form.DeviceList->Count(), 1u);
  EXPECT_EQ(form.DeviceList->Get(0, discovery::IdName), "");
  EXPECT_EQ(form.DeviceList->Get(0, discovery::IdCode), "S");
}

TEST(VirtualComRoute, ProbeOutsideItsIndicesLooksAtNothing) {
  SimHarness h;
  h.AddComPrinter("c33", 33, u"B", u"");
  discovery::DeviceList list;
  for (int index : {-1, 32, 33})
    EXPECT_FALSE(discovery::ProbeVirtualComPort(h.Platform(), index, list)) << index;
  EXPECT_TRUE(h.world.QueriedNames().empty());
  EXPECT_EQ(list.Count(), 0u);
}

TEST(VirtualComRoute, WriteAndCommTestWorkOnAComPortPrinter) {
  SimHarness h;
  auto& printer = h.AddComPrinter("c", 3, u"OLD", u"old name");
  printer.SetModel("VX-300");
  printer.SetFirmware("3.00");
  auto& form = h.Show();

  form.Button6Click();
  ASSERT_EQ(h.boxes.shown.size(), 1u);
  EXPECT_EQ(h.boxes.shown[0].text, "The communication test succeeded.");
  EXPECT_EQ(form.Label5.Text(), "VX-300 3.00  OLD");

  form.Edit1.TextFromUser("NEW");
  form.Edit2.TextFromUser("new name");
  form.Button3Click();
  ASSERT_EQ(h.boxes.shown.size(), 2u);
  EXPECT_EQ(h.boxes.shown[1].text, "The writing in of the ID succeeded.");
  EXPECT_EQ(printer.Identity().serial, "NEW");
  EXPECT_EQ(form.Memo1.Text(), "NEW");  // read back by the Find that followed
  EXPECT_EQ(form.Edit2.Text(), "new name");
  EXPECT_EQ(h.world.OpenHandles(), 0u);
}

}  // namespace
}  // namespace nolpa
