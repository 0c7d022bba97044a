// Stopping and starting the spooler against the simulated service manager:
// what is sent in each state, the timed wait with its re-sent requests, and
// every way out closing the service handle before the manager's.
#include <gtest/gtest.h>

#include <vector>

#include "ident/spooler_control.h"
#include "sim/service_manager.h"
#include "sim/virtual_clock.h"

namespace nolpa {
namespace {

using ident::ControlSpooler;
using sim::ServiceCallKind;
using sim::ServiceScript;
using sim::ServiceState;
using Kind = ServiceCallKind;

constexpr int kRun = 0;
constexpr int kStop = 1;

class SpoolerControl : public ::testing::Test {
 protected:
  sim::VirtualClock clock;
  sim::ServiceManager services{clock};

  int Control(int mode) {
    platform::Platform p;
    p.clock = &clock;
    p.serviceManager = &services;
    return ControlSpooler(p, mode);
  }

  std::vector<Kind> Kinds() const {
    std::vector<Kind> kinds;
    for (const auto& call : services.Calls()) kinds.push_back(call.kind);
    return kinds;
  }

  std::vector<std::uint64_t> TimesOf(Kind kind) const {
    std::vector<std::uint64_t> times;
    for (const auto& call : services.Calls())
      if (call.kind == kind) times.push_back(call.timeMs);
    return times;
  }

  // Whatever happened, nothing is left open and the last two calls close the
  // service and then the manager (when the manager was opened at all).
  void TearDown() override {
    EXPECT_EQ(services.OpenHandles(), 0u);
    const std::vector<Kind> kinds = Kinds();
    if (kinds.empty() || services.HandlesOpenedTotal() == 0) return;
    EXPECT_EQ(kinds.back(), Kind::CloseManager);
    if (services.HandlesOpenedTotal() == 2) {
      ASSERT_GE(kinds.size(), 2u);
      EXPECT_EQ(kinds[kinds.size() - 2], Kind::CloseService);
    }
  }
};

TEST_F(SpoolerControl, ModesOtherThanRunAndStopOpenNothing) {
  for (const int mode : {2, -1, 256}) {
    EXPECT_EQ(Control(mode), 0) << mode;
    EXPECT_TRUE(services.Calls().empty()) << mode;
  }
  EXPECT_EQ(services.Spooler().State(), ServiceState::Running);
}

TEST_F(SpoolerControl, OpensTheManagerAndTheSpoolerWithTheRightsItNeeds) {
  services.Spooler().SetState(ServiceState::Stopped);
  ASSERT_EQ(Control(kStop), 1);
  const auto& calls = services.Calls();
  ASSERT_EQ(Kinds(), (std::vector<Kind>{Kind::OpenManager, Kind::OpenService, Kind::QueryStatus,
                                        Kind::CloseService, Kind::CloseManager}));
  EXPECT_EQ(calls[0].value, 0x20000000u);
  EXPECT_EQ(calls[1].value, 0x34u);
  // The service handle is the one queried and closed first.
  EXPECT_EQ(calls[2].handle, calls[1].handle);
  EXPECT_EQ(calls[3].handle, calls[1].handle);
  EXPECT_EQ(calls[4].handle, calls[0].handle);
}

// What each starting state leads to, with the default service that takes
// 1.5 s to stop or start.
struct StateCase {
  const char* name;
  ServiceState before;
  int mode;
  int result;
  int stops;
  int starts;
  ServiceState after;
  std::uint64_t elapsedMs;
};

TEST_F(SpoolerControl, ActsOnlyOnARunningOrStoppedService) {
  const StateCase cases[] = {
      {"running, stop", ServiceState::Running, kStop, 1, 1, 0, ServiceState::Stopped, 1500},
      {"stopped, run", ServiceState::Stopped, kRun, 1, 0, 1, ServiceState::Running, 1500},
      {"stopped already", ServiceState::Stopped, kStop, 1, 0, 0, ServiceState::Stopped, 0},
      {"running already", ServiceState::Running, kRun, 1, 0, 0, ServiceState::Running, 0},
      {"stop pending, stop", ServiceState::StopPending, kStop, 0, 0, 0, ServiceState::StopPending, 0},
      {"start pending, run", ServiceState::StartPending, kRun, 0, 0, 0, ServiceState::StartPending, 0},
      {"start pending, stop", ServiceState::StartPending, kStop, 0, 0, 0, ServiceState::StartPending, 0},
      {"paused, stop", ServiceState::Paused, kStop, 0, 0, 0, ServiceState::Paused, 0},
      {"paused, run", ServiceState::Paused, kRun, 0, 0, 0, ServiceState::Paused, 0},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::VirtualClock caseClock;
    sim::ServiceManager caseServices(caseClock);
    caseServices.Spooler().SetState(c.before);
    platform::Platform p;
    p.clock = &caseClock;
    p.serviceManager = &caseServices;
    EXPECT_EQ(ControlSpooler(p, c.mode), c.result);
    EXPECT_EQ(caseServices.Spooler().StopControls(), c.stops);
    EXPECT_EQ(caseServices.Spooler().Starts(), c.starts);
    EXPECT_EQ(caseServices.Spooler().State(), c.after);
    EXPECT_EQ(caseClock.NowMs(), c.elapsedMs);
    EXPECT_EQ(caseServices.OpenHandles(), 0u);
  }
}

TEST_F(SpoolerControl, PollsEveryHalfSecondUntilTheServiceHasStopped) {
  ASSERT_EQ(Control(kStop), 1);
  EXPECT_EQ(TimesOf(Kind::QueryStatus), (std::vector<std::uint64_t>{0, 0, 500, 1000, 1500}));
  EXPECT_EQ(clock.SleepCalls(), 3u);
}

// Refusals and failures before or during the wait: the result is 0 and the
// spooler stays as the failure left it.
struct FailureCase {
  const char* name;
  void (*arrange)(sim::ServiceManager&);
  int mode;
  std::vector<Kind> calls;
  ServiceState after;
};

TEST_F(SpoolerControl, EveryFailureGivesZeroAndClosesWhatWasOpened) {
  using S = sim::ServiceManager;
  const FailureCase cases[] = {
      {"manager denied", [](S& s) { s.denyManager = true; }, kStop, {Kind::OpenManager},
       ServiceState::Running},
      {"service denied", [](S& s) { s.Spooler().denyOpen = true; }, kStop,
       {Kind::OpenManager, Kind::OpenService, Kind::CloseManager}, ServiceState::Running},
      {"service denied, run",
       [](S& s) {
         s.Spooler().SetState(ServiceState::Stopped);
         s.Spooler().denyOpen = true;
       },
       kRun, {Kind::OpenManager, Kind::OpenService, Kind::CloseManager}, ServiceState::Stopped},
      {"first query fails", [](S& s) { s.Spooler().failQuery.from = 0; }, kStop,
       {Kind::OpenManager, Kind::OpenService, Kind::QueryStatus, Kind::CloseService,
        Kind::CloseManager},
       ServiceState::Running},
      {"stop refused", [](S& s) { s.Spooler().refuseStop.from = 0; }, kStop,
       {Kind::OpenManager, Kind::OpenService, Kind::QueryStatus, Kind::Control,
        Kind::CloseService, Kind::CloseManager},
       ServiceState::Running},
      {"start refused",
       [](S& s) {
         s.Spooler().SetState(ServiceState::Stopped);
         s.Spooler().refuseStart.from = 0;
       },
       kRun,
       {Kind::OpenManager, Kind::OpenService, Kind::QueryStatus, Kind::Start, Kind::CloseService,
        Kind::CloseManager},
       ServiceState::Stopped},
      {"query fails while waiting", [](S& s) { s.Spooler().failQuery.from = 2; }, kStop,
       {Kind::OpenManager, Kind::OpenService, Kind::QueryStatus, Kind::Control, Kind::QueryStatus,
        Kind::QueryStatus, Kind::CloseService, Kind::CloseManager},
       ServiceState::StopPending},
      {"service turns to starting while stopping",
       [](S& s) {
         s.Spooler().stopScripts.push_back(
             {{ServiceState::StopPending, 0}, {ServiceState::StartPending, 400}});
       },
       kStop,
       {Kind::OpenManager, Kind::OpenService, Kind::QueryStatus, Kind::Control, Kind::QueryStatus,
        Kind::QueryStatus, Kind::CloseService, Kind::CloseManager},
       ServiceState::StartPending},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::VirtualClock caseClock;
    S caseServices(caseClock);
    c.arrange(caseServices);
    platform::Platform p;
    p.clock = &caseClock;
    p.serviceManager = &caseServices;
    EXPECT_EQ(ControlSpooler(p, c.mode), 0);
    std::vector<Kind> kinds;
    for (const auto& call : caseServices.Calls()) kinds.push_back(call.kind);
    EXPECT_EQ(kinds, c.calls);
    EXPECT_EQ(caseServices.Spooler().State(), c.after);
    EXPECT_EQ(caseServices.OpenHandles(), 0u);
  }
}

TEST_F(SpoolerControl, StopIsSentAgainAtEachPollWhileTheServiceKeepsRunning) {
  // The first three stops are taken but the service goes on running; the
  // fourth stops it the usual way (1.5 s).
  for (int i = 0; i < 3; ++i) services.Spooler().stopScripts.push_back({{ServiceState::Running, 0}});
  ASSERT_EQ(Control(kStop), 1);
  EXPECT_EQ(TimesOf(Kind::Control), (std::vector<std::uint64_t>{0, 0, 500, 1000}));
  EXPECT_EQ(services.Spooler().State(), ServiceState::Stopped);
  EXPECT_EQ(clock.NowMs(), 2500u);
}

TEST_F(SpoolerControl, StartIsSentAgainWhenTheServiceFallsBackToStopped) {
  services.Spooler().SetState(ServiceState::Stopped);
  services.Spooler().startScripts.push_back(
      {{ServiceState::StartPending, 0}, {ServiceState::Stopped, 700}});
  ASSERT_EQ(Control(kRun), 1);
  // Stopped again at the poll of 1000 ms: started once more, running 1.5 s later.
  EXPECT_EQ(TimesOf(Kind::Start), (std::vector<std::uint64_t>{0, 1000}));
  EXPECT_EQ(clock.NowMs(), 2500u);
}

TEST_F(SpoolerControl, ARefusedRepeatEndsTheWaitAtOnce) {
  services.Spooler().stopScripts.push_back({{ServiceState::Running, 0}});
  services.Spooler().refuseStop.from = 1;
  EXPECT_EQ(Control(kStop), 0);
  EXPECT_EQ(services.Spooler().StopControls(), 2);
  EXPECT_EQ(clock.SleepCalls(), 0u);
  EXPECT_EQ(services.Spooler().State(), ServiceState::Running);
}

// The wait ends at the first poll after more than 20 whole seconds have
// passed since the request, on a clock that ticks at whole seconds.
struct TimeLimitCase {
  const char* name;
  int mode;
  ServiceScript script;
  std::uint64_t requestAtMs;  // where in its second the request falls
  int result;
  std::uint64_t elapsedMs;    // from the request to the return
};

TEST_F(SpoolerControl, TheWaitEndsAfterMoreThanTwentyWholeSeconds) {
  const TimeLimitCase cases[] = {
      {"stuck starting", kRun, {{ServiceState::StartPending, 0}}, 0, 0, 21000},
      {"stuck starting, late in its second", kRun, {{ServiceState::StartPending, 0}}, 999, 0, 20500},
      {"stuck stopping", kStop, {{ServiceState::StopPending, 0}}, 0, 0, 21000},
      {"keeps running", kStop, {{ServiceState::Running, 0}}, 400, 0, 21000},
      {"stops at the last poll", kStop,
       {{ServiceState::StopPending, 0}, {ServiceState::Stopped, 21000}}, 0, 1, 21000},
      {"stops just too late", kStop,
       {{ServiceState::StopPending, 0}, {ServiceState::Stopped, 21001}}, 0, 0, 21000},
  };
  for (const TimeLimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    sim::VirtualClock caseClock;
    sim::ServiceManager caseServices(caseClock);
    sim::SimService& spooler = caseServices.Spooler();
    spooler.SetState(c.mode == kRun ? ServiceState::Stopped : ServiceState::Running);
    spooler.defaultStart = spooler.defaultStop = c.script;
    caseClock.Advance(c.requestAtMs);
    platform::Platform p;
    p.clock = &caseClock;
    p.serviceManager = &caseServices;
    EXPECT_EQ(ControlSpooler(p, c.mode), c.result);
    EXPECT_EQ(caseClock.NowMs() - c.requestAtMs, c.elapsedMs);
    // Every sleep is one 500 ms poll interval.
    EXPECT_EQ(caseClock.SleptMs(), caseClock.SleepCalls() * 500);
    EXPECT_EQ(caseClock.SleepCalls(), c.elapsedMs / 500);
    EXPECT_EQ(caseServices.OpenHandles(), 0u);
  }
}

}  // namespace
}  // namespace nolpa
