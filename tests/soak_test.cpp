// A long session on virtual time: 1,000 Finds and 200 Writes over the
// default fleet (every kind of printer) while the devices' fault switches
// are turned on and off at random from a fixed seed. After every action
// nothing is held, and the memory in use does not grow between the 100th
// and the 1,000th Find.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "sim/fleet.h"
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

// Turns one fault switch of one device on or off.
void ToggleAFault(sim::World& world, std::mt19937& random) {
  const auto& devices = world.Devices();
  sim::SimDevice& d = *devices[random() % devices.size()];
  sim::FaultSet& f = d.Faults();
  switch (random() % 4) {
    case 0:
      f.refuseOpen = !f.refuseOpen;
      break;
    case 1:
      d.Plugged() ? d.Unplug() : d.Plug();
      break;
    case 2:
      f.channel.silent = !f.channel.silent;
      break;
    default:
      if (f.channel.chatter.empty())
        f.channel.chatter = {0x14, 0x00};
      else
        f.channel.chatter.clear();
      break;
  }
}

struct Sizes {
  std::size_t recorded, departures, serviceCalls, hostCalls, boxes, changes;
  bool operator==(const Sizes&) const = default;
};

TEST(Soak, ThousandFindsAndTwoHundredWritesUnderRandomFaultsHoldNothingAndDoNotGrow) {
  const auto start = std::chrono::steady_clock::now();
  FaultRig r;  // no request is made to fail: the injector stays disarmed
  sim::LoadFleet(r.h.world, sim::DefaultFleetJson());
  r.h.world.Recorder().SetEnabled(false);
  ui::TMainForm& form = r.Make();
  form.FormShow();
  const FaultRig::Held idle = r.Holding();
  ASSERT_GT(form.ComboBox1.Items().size(), 0u);

  std::mt19937 random(20261207);
  std::size_t bytesAt100 = 0, bytesAt1000 = 0, writes = 0, toggles = 0, listedTotal = 0;
  Sizes sizesAt100{};
  const auto sizes = [&r] {
    return Sizes{r.h.world.Recorder().Requests().size(), r.h.world.Departures().All().size(),
                 r.h.services.Calls().size(), r.h.host.Calls().size(), r.h.boxes.shown.size(),
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
    if (find % 5 == 0 && !form.ComboBox1.Items().empty()) {
      form.ComboBox1.SelectionFromUser(static_cast<int>(random() % form.ComboBox1.Items().size()));
      form.ComboBox1Change();
      char code[19];
      std::snprintf(code, sizeof code, "%018X", static_cast<unsigned>(find));
      form.Edit1.TextFromUser(code);
      form.Edit1Exit();
      form.Button3Click();
      ++writes;
      ASSERT_EQ(r.Holding(), idle) << "after the Write after Find " << find;
    }
    // The test's own records of what the form showed are emptied each time.
    r.h.boxes.shown.clear();
    r.h.observer.changes.clear();
    r.h.observer.busyChanges.clear();
    if (find == 100) {
      bytesAt100 = BytesInUse();
      sizesAt100 = sizes();
    }
    if (find == 1000) bytesAt1000 = BytesInUse();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ soak     ] %d Finds, %zu Writes, %zu fault toggles, %zu items listed in all; "
              "%.1f s; virtual %llu ms; bytes in use at Find 100: %zu, at Find 1000: %zu\n",
              1000, writes, toggles, listedTotal, seconds,
              static_cast<unsigned long long>(r.h.clock.NowMs()), bytesAt100, bytesAt1000);
  EXPECT_EQ(writes, 200u);
  EXPECT_EQ(sizes(), sizesAt100) << "a log kept growing";
  // Nothing the program keeps may grow with the number of actions; a few
  // kilobytes of slack for containers that settle their capacity late.
  EXPECT_LE(bytesAt1000, bytesAt100 + 16 * 1024);
}

}  // namespace
}  // namespace nolpa
