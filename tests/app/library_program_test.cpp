// The program with the real serial-number library bound to its entry points,
// on the default fleet: Find lists the library's printer-class printers with
// the serial numbers their printers hold, Write changes one (seen after a
// power cycle), and Test Comm shows the firmware version.
#include <gtest/gtest.h>

#include <algorithm>

#include "resources/messages.h"
#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "sim/fleet/fleet.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/sim_harness.h"
#include "tests/support/usb_bus.h"

namespace nolpa {
namespace {

using testing::SimHarness;

struct ProgramWithLibrary {
  ProgramWithLibrary() {
    sim::LoadFleet(h.world, sim::DefaultFleetJson());
    bus.PlugAll();
    morvalib::InstallServices(bus.Services(h.world, h.clock));
    testing::BindLibraryExports(h.host.Library());
  }
  ~ProgramWithLibrary() {
    if (h.form) h.form->FormClose();
    morvalib::RemoveServices();
  }

  int IndexOf(const std::string& productText) const {
    const auto& items = h.form->ComboBox1.Items();
    const auto it = std::find(items.begin(), items.end(), productText);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
  }
  void Select(const std::string& productText) {
    const int index = IndexOf(productText);
    ASSERT_GE(index, 0) << productText;
    h.form->ComboBox1.SelectionFromUser(index);
    h.form->ComboBox1Change();
  }
  std::string IdCodeOf(const std::string& productText) const {
    const int index = IndexOf(productText);
    return index < 0 ? "(not listed)"
                     : h.form->DeviceList->Record(static_cast<std::size_t>(index)).idCode;
  }

  SimHarness h;
  testing::UsbBus bus{h.world};
};

TEST(ProgramWithLibrary, FindListsTheLibrarysPrintersWithTheirSerialNumbers) {
  ProgramWithLibrary p;
  p.h.Show();
  EXPECT_EQ(p.IdCodeOf("RK-L5200"), p.h.world.PrinterClass("rk-l5200").Serial());
  EXPECT_EQ(p.IdCodeOf("RK-L5200"), "4E4C5041000000A001");
  // Two printers of the RK-L880: the first has the packet protocol, the
  // second does not, and is listed without an ID code.
  const auto& items = p.h.form->ComboBox1.Items();
  ASSERT_EQ(std::count(items.begin(), items.end(), "RK-L880"), 2);
  EXPECT_EQ(p.IdCodeOf("RK-L880"), p.h.world.PrinterClass("rk-l880").Serial());
  EXPECT_EQ(p.h.form->DeviceList->Record(static_cast<std::size_t>(p.IndexOf("RK-L880")) + 1).idCode,
            "");
  EXPECT_EQ(p.h.world.OpenHandles(), 0u);
  EXPECT_EQ(morvalib::Live(), morvalib::LiveObjects{});
}

TEST(ProgramWithLibrary, WriteIsSeenByFindAfterThePrinterRestarts) {
  ProgramWithLibrary p;
  ui::TMainForm& form = p.h.Show();
  p.Select("RK-L5200");
  form.Edit1.TextFromUser("0123456789ABCDEF02");
  form.Edit1Exit();
  form.Button3Click();
  ASSERT_EQ(p.h.boxes.shown.size(), 1u);
  EXPECT_EQ(p.h.boxes.shown[0].text,
            resources::Message(resources::MessageId::LibraryWriteSucceeded).english);
  EXPECT_EQ(p.IdCodeOf("RK-L5200"), "4E4C5041000000A001")
      << "Find after the write: not yet restarted";

  p.h.world.PrinterClass("rk-l5200").PowerCycle();
  form.Button1Click();  // Find
  EXPECT_EQ(p.IdCodeOf("RK-L5200"), "0123456789ABCDEF02");
  EXPECT_EQ(p.h.world.OpenHandles(), 0u);
  EXPECT_EQ(morvalib::Live(), morvalib::LiveObjects{});
}

TEST(ProgramWithLibrary, TestCommShowsTheProductAndItsFirmware) {
  struct Case {
    const char* printer;
    int offset;  // among the items of its product text
    std::string line;
  } const cases[] = {{"rk-l5200", 0, "RK-L5200 5.10"},
                     {"rk-l880", 0, "RK-L880 3.41"},
                     {"rk-l880-plain", 1, "RK-L880 3.20"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    ProgramWithLibrary p;
    ui::TMainForm& form = p.h.Show();
    const std::string product = c.line.substr(0, c.line.find(' '));
    form.ComboBox1.SelectionFromUser(p.IndexOf(product) + c.offset);
    form.ComboBox1Change();
    p.h.boxes.shown.clear();
    form.Button6Click();
    ASSERT_EQ(p.h.boxes.shown.size(), 1u);
    EXPECT_EQ(p.h.boxes.shown[0].text,
              resources::Message(resources::MessageId::CommTestSucceeded).english);
    EXPECT_EQ(form.Label5.Text(), c.line);
    EXPECT_EQ(p.h.world.OpenHandles(), 0u);
  }
}

}  // namespace
}  // namespace nolpa
