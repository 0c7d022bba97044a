// A spooler that cannot be stopped because a service that depends on it runs
// (the fax service does on Windows 10 and 11): the service manager refuses
// the stop with "dependent services running", ControlSpooler gives 0, and
// the program goes on with the spooler running.
#include <gtest/gtest.h>

#include <vector>

#include "ident/spooler_control.h"
#include "sim/host/service_manager.h"
#include "tests/support/sim_harness.h"

namespace nolpa {
namespace {

using sim::ServiceCallKind;
using sim::ServiceState;

constexpr int kStop = 1;

struct DependentCase {
  const char* name;
  ServiceState fax;      // the dependent service's state
  int result;            // of ControlSpooler(stop)
  ServiceState spooler;  // afterwards
  std::uint32_t error;   // of the stop control
};

TEST(SpoolerDependents, ARunningDependentKeepsTheSpoolerRunning) {
  const DependentCase cases[] = {
      {"fax running", ServiceState::Running, 0, ServiceState::Running,
       sim::kDependentServicesRunning},
      {"fax stopped", ServiceState::Stopped, 1, ServiceState::Stopped, 0},
  };
  for (const DependentCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::VirtualClock clock;
    sim::ServiceManager services(clock);
    services.AddService("Fax", c.fax).dependsOn = {"Spooler"};
    platform::Platform p;
    p.clock = &clock;
    p.serviceManager = &services;
    EXPECT_EQ(ident::ControlSpooler(p, kStop), c.result);
    EXPECT_EQ(services.Spooler().State(), c.spooler);
    ASSERT_EQ(services.Count(ServiceCallKind::Control), 1u);
    for (const auto& call : services.Calls()) {
      if (call.kind == ServiceCallKind::Control) {
        EXPECT_EQ(call.error, c.error);
      }
    }
    EXPECT_EQ(services.OpenHandles(), 0u);
    if (c.result == 0) {
      EXPECT_EQ(clock.SleepCalls(), 0u) << "a refusal ends at once";
    }
  }
}

TEST(SpoolerDependents, TheProgramGoesOnWithTheSpoolerRunning) {
  testing::SimHarness h;
  h.services.AddService("Fax", ServiceState::Running).dependsOn = {"spooler"};
  h.AddVendor("vx", u"A1", u"Line 1");
  // The program's own spooler control, as the running program wires it.
  std::vector<int> results;
  ui::TMainForm& form = h.Make([&](ui::FormServices& s) {
    s.controlSpooler = [&h, &results](int mode) {
      results.push_back(ident::ControlSpooler(h.Platform(), mode));
      return results.back();
    };
  });
  form.FormShow();
  // Found and shown as always, without a word about the spooler.
  ASSERT_EQ(form.ComboBox1.Items().size(), 1u);
  EXPECT_EQ(form.Edit1.Text(), "A1");
  EXPECT_TRUE(h.boxes.shown.empty());
  EXPECT_EQ(h.services.Spooler().State(), ServiceState::Running);
  EXPECT_EQ(h.services.Count(ServiceCallKind::Control), 1u);

  form.FormClose();
  // At close the spooler is already running: nothing to start.
  EXPECT_EQ(results, (std::vector<int>{0, 1}));
  EXPECT_EQ(h.services.Count(ServiceCallKind::Start), 0u);
  EXPECT_EQ(h.services.Spooler().State(), ServiceState::Running);
  EXPECT_EQ(h.services.OpenHandles(), 0u);
}

}  // namespace
}  // namespace nolpa
