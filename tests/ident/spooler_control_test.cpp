// Stopping and starting the spooler against the simulated service manager:
// what is sent in each state, the timed wait with its re-sent requests, and
// every way out closing the service handle before the manager's.
#include <gtest/gtest.h>

#include <vector>

#include "ident/spooler_control.h"
#include "sim/core/virtual_clock.h"
#include "sim/host/service_manager.h"

namespace nolpa {
namespace {

using ident::ControlSpooler;
using sim::ServiceCallKind;
using sim::ServiceScript;
using sim::ServiceState;
using Kind = ServiceCallKind;

constexpr int kRun = 0;
constexpr int kStop = 1;

// A simulated spooler and ControlSpooler over it. On its way out it checks
// that, whatever happened, nothing was left open and the last calls closed
// the service and then the manager (when they were opened at all).
struct Rig {
  sim::VirtualClock clock;
  sim::ServiceManager services{clock};
  sim::SimService& spooler = services.Spooler();

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

  ~Rig() {
    EXPECT_EQ(services.OpenHandles(), 0u);
    const std::vector<Kind> kinds = Kinds();
    const std::size_t opened = services.HandlesOpenedTotal();
    if (opened == 0) return;
    // Each handle came from a call, so there are at least `opened` calls.
    EXPECT_EQ(kinds.back(), Kind::CloseManager);
    if (opened == 2) {
      EXPECT_EQ(kinds[kinds.size() - 2], Kind::CloseService);
    }
  }
};

TEST(SpoolerControl, ModesOtherThanRunAndStopOpenNothing) {
  Rig r;
  for (const int mode : {2, -1, 256}) {
    EXPECT_EQ(r.Control(mode), 0) << mode;
    EXPECT_TRUE(r.services.Calls().empty()) << mode;
  }
  EXPECT_EQ(r.spooler.State(), ServiceState::Running);
}

TEST(SpoolerControl, OpensTheManagerAndTheSpoolerWithTheRightsItNeeds) {
  Rig r;
  r.spooler.SetState(ServiceState::Stopped);
  ASSERT_EQ(r.Control(kStop), 1);
  const auto& calls = r.services.Calls();
  ASSERT_EQ(r.Kinds(), (std::vector<Kind>{Kind::OpenManager, Kind::OpenService, Kind::QueryStatus,
                                          Kind::CloseService, Kind::CloseManager}));
  EXPECT_EQ(calls[0].value, 0x20000000u);
  EXPECT_EQ(calls[1].value, 0x34u);
  // The service handle is the one queried and closed first.
  EXPECT_EQ(calls[2].handle, calls[1].handle);
  EXPECT_EQ(calls[3].handle, calls[1].handle);
  EXPECT_EQ(calls[4].handle, calls[0].handle);
}

// What each starting state leads to, with the default service that takes
// 1.5 s to stop or start and is polled every 500 ms meanwhile.
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

TEST(SpoolerControl, ActsOnlyOnARunningOrStoppedService) {
  const StateCase cases[] = {
      {"running, stop", ServiceState::Running, kStop, 1, 1, 0, ServiceState::Stopped, 1500},
      {"stopped, run", ServiceState::Stopped, kRun, 1, 0, 1, ServiceState::Running, 1500},
      {"stopped already", ServiceState::Stopped, kStop, 1, 0, 0, ServiceState::Stopped, 0},
      {"running already", ServiceState::Running, kRun, 1, 0, 0, ServiceState::Running, 0},
      {"stop pending, stop", ServiceState::StopPending, kStop, 0, 0, 0, ServiceState::StopPending,
       0},
      {"start pending, run", ServiceState::StartPending, kRun, 0, 0, 0, ServiceState::StartPending,
       0},
      {"start pending, stop", ServiceState::StartPending, kStop, 0, 0, 0,
       ServiceState::StartPending, 0},
      {"paused, stop", ServiceState::Paused, kStop, 0, 0, 0, ServiceState::Paused, 0},
      {"paused, run", ServiceState::Paused, kRun, 0, 0, 0, ServiceState::Paused, 0},
  };
  for (const StateCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.spooler.SetState(c.before);
    EXPECT_EQ(r.Control(c.mode), c.result);
    EXPECT_EQ(r.spooler.StopControls(), c.stops);
    EXPECT_EQ(r.spooler.Starts(), c.starts);
    EXPECT_EQ(r.spooler.State(), c.after);
    EXPECT_EQ(r.clock.NowMs(), c.elapsedMs);
    EXPECT_EQ(r.clock.SleepCalls(), c.elapsedMs / 500);
  }
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

TEST(SpoolerControl, EveryFailureGivesZeroAndClosesWhatWasOpened) {
  using S = sim::ServiceManager;
  const FailureCase cases[] = {
      {"manager denied",
       [](S& s) { s.denyManager = true; },
       kStop,
       {Kind::OpenManager},
       ServiceState::Running},
      {"service denied",
       [](S& s) { s.Spooler().denyOpen = true; },
       kStop,
       {Kind::OpenManager, Kind::OpenService, Kind::CloseManager},
       ServiceState::Running},
      {"service denied, run",
       [](S& s) {
         s.Spooler().SetState(ServiceState::Stopped);
         s.Spooler().denyOpen = true;
       },
       kRun,
       {Kind::OpenManager, Kind::OpenService, Kind::CloseManager},
       ServiceState::Stopped},
      {"first query fails",
       [](S& s) { s.Spooler().failQuery.from = 0; },
       kStop,
       {Kind::OpenManager, Kind::OpenService, Kind::QueryStatus, Kind::CloseService,
        Kind::CloseManager},
       ServiceState::Running},
      {"stop refused",
       [](S& s) { s.Spooler().refuseStop.from = 0; },
       kStop,
       {Kind::OpenManager, Kind::OpenService, Kind::QueryStatus, Kind::Control, Kind::CloseService,
        Kind::CloseManager},
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
      {"query fails while waiting",
       [](S& s) { s.Spooler().failQuery.from = 2; },
       kStop,
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
    Rig r;
    c.arrange(r.services);
    EXPECT_EQ(r.Control(c.mode), 0);
    EXPECT_EQ(r.Kinds(), c.calls);
    EXPECT_EQ(r.spooler.State(), c.after);
  }
}

TEST(SpoolerControl, StopIsSentAgainAtEachPollWhileTheServiceKeepsRunning) {
  Rig r;
  // The first three stops are taken but the service goes on running; the
  // fourth stops it the usual way (1.5 s).
  for (int i = 0; i < 3; ++i) r.spooler.stopScripts.push_back({{ServiceState::Running, 0}});
  ASSERT_EQ(r.Control(kStop), 1);
  EXPECT_EQ(r.TimesOf(Kind::Control), (std::vector<std::uint64_t>{0, 0, 500, 1000}));
  EXPECT_EQ(r.spooler.State(), ServiceState::Stopped);
  EXPECT_EQ(r.clock.NowMs(), 2500u);
}

TEST(SpoolerControl, StartIsSentAgainWhenTheServiceFallsBackToStopped) {
  Rig r;
  r.spooler.SetState(ServiceState::Stopped);
  r.spooler.startScripts.push_back({{ServiceState::StartPending, 0}, {ServiceState::Stopped, 700}});
  ASSERT_EQ(r.Control(kRun), 1);
  // Stopped again at the poll of 1000 ms: started once more, running 1.5 s later.
  EXPECT_EQ(r.TimesOf(Kind::Start), (std::vector<std::uint64_t>{0, 1000}));
  EXPECT_EQ(r.clock.NowMs(), 2500u);
}

TEST(SpoolerControl, ARefusedRepeatEndsTheWaitAtOnce) {
  Rig r;
  r.spooler.stopScripts.push_back({{ServiceState::Running, 0}});
  r.spooler.refuseStop.from = 1;
  EXPECT_EQ(r.Control(kStop), 0);
  EXPECT_EQ(r.spooler.StopControls(), 2);
  EXPECT_EQ(r.clock.SleepCalls(), 0u);
  EXPECT_EQ(r.spooler.State(), ServiceState::Running);
}

// The wait ends at the first poll after more than 20 whole seconds have
// passed since the request, on a clock that ticks at whole seconds.
struct TimeLimitCase {
  const char* name;
  int mode;
  ServiceScript script;
  std::uint64_t requestAtMs;  // where in its second the request falls
  int result;
  std::uint64_t elapsedMs;  // from the request to the return
};

TEST(SpoolerControl, TheWaitEndsAfterMoreThanTwentyWholeSeconds) {
  const TimeLimitCase cases[] = {
      {"stuck starting", kRun, {{ServiceState::StartPending, 0}}, 0, 0, 21000},
      {"stuck starting, late in its second",
       kRun,
       {{ServiceState::StartPending, 0}},
       999,
       0,
       20500},
      {"stuck stopping", kStop, {{ServiceState::StopPending, 0}}, 0, 0, 21000},
      {"keeps running", kStop, {{ServiceState::Running, 0}}, 400, 0, 21000},
      {"stops at the last poll",
       kStop,
       {{ServiceState::StopPending, 0}, {ServiceState::Stopped, 21000}},
       0,
       1,
       21000},
      {"stops just too late",
       kStop,
       {{ServiceState::StopPending, 0}, {ServiceState::Stopped, 21001}},
       0,
       0,
       21000},
  };
  for (const TimeLimitCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.spooler.SetState(c.mode == kRun ? ServiceState::Stopped : ServiceState::Running);
    r.spooler.defaultStart = r.spooler.defaultStop = c.script;
    r.clock.Advance(c.requestAtMs);
    EXPECT_EQ(r.Control(c.mode), c.result);
    EXPECT_EQ(r.clock.NowMs() - c.requestAtMs, c.elapsedMs);
    // Every sleep is one 500 ms poll interval: about 40 polls in all.
    EXPECT_EQ(r.clock.SleptMs(), r.clock.SleepCalls() * 500);
    EXPECT_EQ(r.clock.SleepCalls(), c.elapsedMs / 500);
  }
}

}  // namespace
}  // namespace nolpa
