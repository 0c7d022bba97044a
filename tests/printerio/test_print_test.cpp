// The Test Print button against simulated printers: the line it sends on
// both driver routes, nothing on the USB Printer Class route, silence on
// every failure, and no control changed.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/form_harness.h"
#include "tests/support/sim_harness.h"

namespace nolpa {
namespace {

using testing::SimHarness;
using Bytes = std::vector<std::uint8_t>;

const std::string kLine = "VARDU NOLPAID Test Print\n";
const Bytes kLineBytes = [] {
  Bytes b(kLine.begin(), kLine.end());
  b.push_back(0x00);
  return b;
}();

std::vector<bool> EnabledStates(ui::TMainForm& form) {
  std::vector<bool> states;
  states.reserve(ui::kControlCount);
  for (int id = 0; id < ui::kControlCount; ++id)
    states.push_back(form.ControlById(static_cast<ui::ControlId>(id)).Enabled());
  return states;
}

std::vector<std::string> Transcript(const SimHarness& h, const std::string& device) {
  return h.world.Recorder().Transcript(device);
}

TEST(TestPrint, SendsTheLineInOneWriteOnBothDriverRoutes) {
  for (bool onCom : {false, true}) {
    SCOPED_TRACE(onCom ? "virtual COM port" : "vendor driver");
    SimHarness h;
    auto& printer = onCom ? h.AddComPrinter("p", 7, u"S", u"N") : h.AddVendor("p", u"S", u"N");
    auto& form = h.Show();
    const auto enabled = EnabledStates(form);
    h.world.Recorder().Clear();
    form.Button5Click();

    const auto requests = h.world.Recorder().RequestsOf("p");
    ASSERT_EQ(requests.size(), 4u) << ::testing::PrintToString(Transcript(h, "p"));
    EXPECT_EQ(requests[0].kind, sim::RequestKind::Open);
    EXPECT_EQ(requests[1].kind, sim::RequestKind::SetTimeouts);
    EXPECT_EQ(requests[1].timeouts.readIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(requests[1].timeouts.writeTotalTimeoutConstant, 2000u);
    EXPECT_EQ(requests[2].kind, sim::RequestKind::Write);
    EXPECT_EQ(requests[2].in, kLineBytes);
    EXPECT_EQ(requests[2].in.size(), 26u);
    EXPECT_EQ(requests[3].kind, sim::RequestKind::Close);
    EXPECT_EQ(printer.Printed(), kLine);
    EXPECT_TRUE(h.boxes.shown.empty());
    EXPECT_EQ(EnabledStates(form), enabled);
  }
}

TEST(TestPrint, FailuresAreSilentAndTheDeviceIsAlwaysClosed) {
  struct Case {
    const char* what;
    std::function<void(sim::VendorPrinter&)> fault;
    bool written;  // the write was still tried
  } const cases[] = {
      {"printer gone since Find", [](auto& p) { p.Unplug(); }, false},
      {"held by another program", [](auto& p) { p.Faults().refuseOpen = true; }, false},
      {"time-outs refused", [](auto& p) { p.Faults().refuseTimeouts = true; }, true},
      {"line not taken", [](auto& p) { p.Faults().writes.push_back({.take = 0}); }, true},
      {"unplugged by the write",
       [](auto& p) { p.Faults().unplug = sim::UnplugFault{.kind = sim::RequestKind::Write}; },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimHarness h;
    auto& printer = h.AddComPrinter("p", 2, u"S", u"N");
    auto& form = h.Show();
    c.fault(printer);
    const auto enabled = EnabledStates(form);
    h.world.Recorder().Clear();
    form.Button5Click();
    int writes = 0;
    for (const auto& r : h.world.Recorder().RequestsOf("p"))
      writes += r.kind == sim::RequestKind::Write ? 1 : 0;
    EXPECT_EQ(writes, c.written ? 1 : 0);
    EXPECT_TRUE(h.boxes.shown.empty());
    EXPECT_EQ(EnabledStates(form), enabled);
    EXPECT_EQ(h.world.OpenHandles(), 0u);
  }
}

TEST(TestPrint, PrinterClassPrinterIsOpenedAndClosedWithNothingSent) {
  SimHarness h;
  auto& printer = h.world.AddClassPrinter({.name = "rk", .serial = "4E4C5041000000A001"});
  discovery::Routes routes;
  routes.printerClass = testing::ProbeListing(
      {{0,
        {printer.InterfacePath(), "RK-L5200", "4E4C5041000000A001", "", "", "USB Printer Class"}}});
  h.form = std::make_unique<ui::TMainForm>(ui::FormServices{h.Platform(), routes});
  auto& form = *h.form;
  form.FormShow();
  h.world.Recorder().Clear();
  form.Button5Click();
  EXPECT_EQ(Transcript(h, "rk"), (std::vector<std::string>{"open ok", "close"}));
  EXPECT_TRUE(h.boxes.shown.empty());
}

}  // namespace
}  // namespace nolpa
