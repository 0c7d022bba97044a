// A long session on virtual time: 1,000 Finds and 200 Writes over the
// default fleet (every kind of printer, one behind a spooler printer with
// the channel API) while the devices' fault switches
// are turned on and off at random from a fixed seed. After every action
// nothing is held, and the memory in use does not grow between the 100th
// and the 1,000th Find.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "sim/fleet/fleet.h"
#include "sim/host/spooler_seats.h"
#include "tests/support/fault_matrix.h"

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count (sanitizer/allocator_interface.h, whose
// header not every compiler ships).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace nolpa {
namespace {

using testing::FaultRig;

// Bytes the process has allocated and not freed (ASan's own count of live
// user allocations under the sanitizer; malloc's in-use bytes otherwise).
std::size_t BytesInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

// What the simulated printers log by design and never drop: every byte a
// printer-class printer received and every command a driver-route printer
// parsed. Counted so that their growth is not taken for the program's.
std::size_t SimLogBytes(const sim::World& world) {
  std::size_t bytes = 0;
  for (const auto& device : world.Devices()) {
    if (const auto* k = dynamic_cast<const sim::ClassPrinter*>(device.get()))
      bytes += k->Received().capacity();
    if (auto* v = dynamic_cast<sim::VendorPrinter*>(device.get())) {
      const auto& commands = v->Protocol().Commands();
      bytes += commands.capacity() * sizeof(std::string);
      for (const std::string& c : commands)
        if (c.capacity() > 15) bytes += c.capacity() + 1;
    }
  }
  return bytes;
}

// One device gets one of the fault switches turned on (refused opens,
// unplugged, silent, chatty), or all of them turned off again.
void ToggleAFault(sim::World& world, std::mt19937& random) {
  const auto& devices = world.Devices();
  sim::SimDevice& d = *devices[random() % devices.size()];
  sim::FaultSet& f = d.Faults();
  switch (random() % 5) {
    case 0: f.refuseOpen = true; break;
    case 1:
      if (d.Plugged()) d.Unplug();
      break;
    case 2: f.channel.silent = true; break;
    case 3: f.channel.chatter = {0x14, 0x00}; break;
    default:
      f.refuseOpen = false;
      f.channel.silent = false;
      f.channel.chatter.clear();
      if (!d.Plugged()) d.Plug();
      break;
  }
}

// A printer that falls silent, chatters or is pulled out in the middle of a
// packet-mode session cannot be taken out of it in order; those departures
// are what the faults cause. Anything else fails. The log is emptied after
// each action so that it does not count as growth.
std::size_t TakeDepartures(sim::World& world) {
  std::size_t cutShort = 0;
  for (const sim::Departure& d : world.Departures().All()) {
    if (d.kind == sim::departure::kClosedInPacketMode ||
        d.kind == sim::departure::kChannelOpenAtExit ||
        d.kind == sim::departure::kChannelOpenAtClose ||
        d.kind == sim::departure::kSessionOpenAtClose)
      ++cutShort;
    else
      ADD_FAILURE() << "departure: " << sim::DescribeDeparture(d);
  }
  world.Departures().Clear();
  return cutShort;
}

struct Sizes {
  std::size_t recorded, departures, serviceCalls, hostCalls, boxes, changes;
  bool operator==(const Sizes&) const = default;
};

TEST(Soak, ThousandFindsAndTwoHundredWritesUnderRandomFaultsHoldNothingAndDoNotGrow) {
  const auto start = std::chrono::steady_clock::now();
  FaultRig r;  // no request is made to fail: the injector stays disarmed
  sim::LoadFleet(r.h.world, sim::DefaultFleetJson());
  // The fleet's printer behind a spooler printer is reached through the
  // channel API, as in the simulator program.
  ASSERT_EQ(sim::SeatSpoolerPrinters(r.h.world, r.spooler, r.api).size(), 1u);
  r.h.world.Recorder().SetEnabled(false);
  ui::TMainForm& form = r.Make();
  form.FormShow();
  // Between actions only the library stays loaded and its file held.
  const FaultRig::Held idle = r.Holding();
  ASSERT_EQ(idle.handles + idle.sets + idle.services, 0u);
  ASSERT_EQ(idle.library, morvalib::LiveObjects{});
  ASSERT_GT(form.ComboBox1.Items().size(), 0u);

  std::mt19937 random(20261207);
  std::size_t bytesAt100 = 0, bytesAt1000 = 0, simLogAt100 = 0, simLogAt1000 = 0, writes = 0,
              toggles = 0, listedTotal = 0, cutShort = 0;
  int writesDue = 0;
  Sizes sizesAt100{};
  const auto sizes = [&r] {
    return Sizes{r.h.world.Recorder().Requests().size(),
                 r.h.world.Departures().All().size(),
                 r.h.services.Calls().size(),
                 r.h.host.Calls().size(),
                 r.h.boxes.shown.size(),
                 r.h.observer.changes.size()};
  };
  for (int find = 1; find <= 1000; ++find) {
    if (random() % 2 == 0) {
      ToggleAFault(r.h.world, random);
      ++toggles;
    }
    form.Button1Click();
    listedTotal += form.ComboBox1.Items().size();
    ASSERT_EQ(r.Holding(), idle) << "after Find " << find;
    cutShort += TakeDepartures(r.h.world);
    // A Write every fifth Find; one that finds nothing to write to passes
    // it on to the next.
    if (find % 5 == 0) ++writesDue;
    if (writesDue > 0 && !form.ComboBox1.Items().empty()) {
      --writesDue;
      form.ComboBox1.SelectionFromUser(static_cast<int>(random() % form.ComboBox1.Items().size()));
      form.ComboBox1Change();
      char code[19];
      std::snprintf(code, sizeof code, "%018X", static_cast<unsigned>(find));
      form.Edit1.TextFromUser(code);
      form.Edit1Exit();
      form.Button3Click();
      ++writes;
      ASSERT_EQ(r.Holding(), idle) << "after the Write after Find " << find;
      cutShort += TakeDepartures(r.h.world);
    }
    // The test's own records of what the form showed are emptied each time.
    r.h.boxes.shown.clear();
    r.h.observer.changes.clear();
    r.h.observer.busyChanges.clear();
    if (find == 100) {
      bytesAt100 = BytesInUse();
      simLogAt100 = SimLogBytes(r.h.world);
      sizesAt100 = sizes();
    }
    if (find == 1000) {
      bytesAt1000 = BytesInUse();
      simLogAt1000 = SimLogBytes(r.h.world);
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "[ soak     ] %d Finds, %zu Writes, %zu fault toggles, %zu items listed in all; "
      "%zu sessions cut short; %.1f s; virtual %llu ms; bytes in use at Find 100: %zu, "
      "at Find 1000: %zu; of them the printers' own logs: %zu, %zu\n",
      1000, writes, toggles, listedTotal, cutShort, seconds,
      static_cast<unsigned long long>(r.h.clock.NowMs()), bytesAt100, bytesAt1000, simLogAt100,
      simLogAt1000);
  EXPECT_EQ(writes, 200u);
  EXPECT_GT(r.api.LoadsTotal(), 200u) << "the channel API was hardly used";
  EXPECT_EQ(r.api.InitializeCalls(), r.api.ReleaseCalls());
  EXPECT_EQ(sizes(), sizesAt100) << "a log kept growing";
  // Nothing the program keeps may grow with the number of actions; a few
  // kilobytes of slack for containers that settle their capacity late.
  EXPECT_LE(bytesAt1000 - simLogAt1000, bytesAt100 - simLogAt100 + 16 * 1024);
}

}  // namespace
}  // namespace nolpa
