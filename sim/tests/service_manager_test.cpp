// The simulated service manager on its own: states that move with the clock,
// the rights it enforces, and the misuse it notes.
#include "sim/host/service_manager.h"

#include <gtest/gtest.h>

#include <functional>

#include "sim/core/virtual_clock.h"

namespace nolpa::sim {
namespace {

constexpr std::uint32_t kExecute = 0x20000000;
constexpr std::uint32_t kQueryStartStop = 0x34;

struct Opened {
  platform::ServiceHandle manager;
  platform::ServiceHandle service;
};

Opened OpenSpooler(ServiceManager& services, std::uint32_t access = kQueryStartStop) {
  const platform::ServiceHandle manager = services.OpenManager(kExecute);
  return {manager, services.OpenServiceNamed(manager, "spooler", access)};
}

void CloseBoth(ServiceManager& services, const Opened& h) {
  services.Close(h.service);
  services.Close(h.manager);
}

std::uint32_t StateOf(ServiceManager& services, platform::ServiceHandle service) {
  std::uint32_t state = 0;
  EXPECT_TRUE(services.QueryState(service, &state));
  return state;
}

TEST(SimServiceManager, AStopFollowsItsScriptsInTurnAsTheClockMoves) {
  VirtualClock clock;
  ServiceManager services(clock);
  SimService& spooler = services.Spooler();
  spooler.stopScripts.push_back({{ServiceState::StopPending, 0}, {ServiceState::Running, 300}});
  const Opened h = OpenSpooler(services);
  ASSERT_TRUE(services.SendControl(h.service, 1));
  EXPECT_EQ(StateOf(services, h.service), 3u);
  // A stop while it is still stopping is refused, as the real manager does.
  EXPECT_FALSE(services.SendControl(h.service, 1));
  clock.Advance(300);
  EXPECT_EQ(StateOf(services, h.service), 4u);
  // The scripted one is used up: the next stop takes the default 1.5 s.
  ASSERT_TRUE(services.SendControl(h.service, 1));
  clock.Advance(1499);
  EXPECT_EQ(StateOf(services, h.service), 3u);
  clock.Advance(1);
  EXPECT_EQ(StateOf(services, h.service), 1u);
  EXPECT_FALSE(services.SendControl(h.service, 1));
  ASSERT_TRUE(services.Start(h.service));
  EXPECT_FALSE(services.Start(h.service));
  clock.Advance(1500);
  EXPECT_EQ(StateOf(services, h.service), 4u);
  EXPECT_EQ(spooler.StopControls(), 4);
  EXPECT_EQ(spooler.Starts(), 2);
  CloseBoth(services, h);
  EXPECT_EQ(services.OpenHandles(), 0u);
}

TEST(SimServiceManager, EnforcesTheRightsTheServiceWasOpenedWith) {
  VirtualClock clock;
  ServiceManager services(clock);
  services.Departures().Expect(departure::kServiceAccess);
  const Opened queryOnly = OpenSpooler(services, 0x04);
  ASSERT_NE(queryOnly.service, platform::kNoServiceHandle);
  EXPECT_EQ(StateOf(services, queryOnly.service), 4u);
  EXPECT_FALSE(services.SendControl(queryOnly.service, 1));
  CloseBoth(services, queryOnly);
  const Opened stopOnly = OpenSpooler(services, 0x20);
  std::uint32_t state = 99;
  EXPECT_FALSE(services.QueryState(stopOnly.service, &state));
  EXPECT_EQ(state, 99u);
  EXPECT_TRUE(services.SendControl(stopOnly.service, 1));
  CloseBoth(services, stopOnly);
  EXPECT_EQ(services.Departures().Count(departure::kServiceAccess), 2u);
  // Names compare without regard to case; unknown names fail.
  const platform::ServiceHandle manager = services.OpenManager(kExecute);
  const platform::ServiceHandle upper =
      services.OpenServiceNamed(manager, "Spooler", kQueryStartStop);
  EXPECT_NE(upper, platform::kNoServiceHandle);
  EXPECT_EQ(services.OpenServiceNamed(manager, "spoolers", kQueryStartStop),
            platform::kNoServiceHandle);
  services.Close(upper);
  services.Close(manager);
}

// Each misuse is noted as its own kind, whatever the call answers.
struct MisuseCase {
  const char* name;
  const char* kind;
  std::function<void(ServiceManager&)> misuse;
};

TEST(SimServiceManager, NotesEachMisuseOfItsHandles) {
  const MisuseCase cases[] = {
      {"query after close", departure::kServiceHandleClosed,
       [](ServiceManager& s) {
         const Opened h = OpenSpooler(s);
         CloseBoth(s, h);
         std::uint32_t state = 0;
         EXPECT_FALSE(s.QueryState(h.service, &state));
       }},
      {"closed twice", departure::kServiceHandleClosed,
       [](ServiceManager& s) {
         const Opened h = OpenSpooler(s);
         CloseBoth(s, h);
         EXPECT_FALSE(s.Close(h.manager));
       }},
      {"never handed out", departure::kServiceHandleUnknown,
       [](ServiceManager& s) { EXPECT_FALSE(s.Start(0x1234)); }},
      {"service through a null manager", departure::kServiceHandleUnknown,
       [](ServiceManager& s) {
         EXPECT_EQ(s.OpenServiceNamed(platform::kNoServiceHandle, "spooler", kQueryStartStop),
                   platform::kNoServiceHandle);
       }},
      {"manager closed first", departure::kManagerClosedFirst,
       [](ServiceManager& s) {
         const Opened h = OpenSpooler(s);
         s.Close(h.manager);
         s.Close(h.service);
       }},
      {"manager handle queried", departure::kServiceHandleKind,
       [](ServiceManager& s) {
         const Opened h = OpenSpooler(s);
         std::uint32_t state = 0;
         EXPECT_FALSE(s.QueryState(h.manager, &state));
         CloseBoth(s, h);
       }},
      {"more rights than needed", departure::kServiceAccess,
       [](ServiceManager& s) { s.Close(s.OpenManager(0xF003F)); }},
      {"other control", departure::kServiceControl,
       [](ServiceManager& s) {
         const Opened h = OpenSpooler(s);
         EXPECT_FALSE(s.SendControl(h.service, 4));
         CloseBoth(s, h);
       }},
      {"left open", departure::kServiceHandleLeaked, [](ServiceManager& s) { OpenSpooler(s); }},
  };
  for (const MisuseCase& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock clock;
    DepartureLog log;
    log.Expect(c.kind);
    {
      ServiceManager services(clock, &log);
      c.misuse(services);
    }
    EXPECT_GE(log.Count(c.kind), 1u);
    EXPECT_TRUE(log.Unexpected().empty());
  }
}

}  // namespace
}  // namespace nolpa::sim
