// A printer-class printer idle in USB selective suspend fails its first
// request with "not ready" and answers once it has woken. Find and the
// serial-number library each send the device-ID request once more, after a
// short pause, and only when the first attempt found the device not ready.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/waking_request.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "sim/fleet/fleet.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/sim_harness.h"
#include "tests/support/usb_bus.h"

namespace nolpa {
namespace {

constexpr std::uint32_t kDeviceIdRequest = 0x220034;
constexpr char kPrinter[] = "rk-l5200";

// The default fleet with the library bound and its printers on a USB bus.
struct Rig {
  Rig() {
    sim::LoadFleet(h.world, sim::DefaultFleetJson());
    bus.PlugAll();
    morvalib::InstallServices(bus.Services(h.world, h.clock));
    testing::BindLibraryExports(h.host.Library());
  }
  ~Rig() {
    if (h.form) h.form->FormClose();
    morvalib::RemoveServices();
  }
  sim::ClassPrinter& Printer() { return h.world.PrinterClass(kPrinter); }

  // The device-ID requests the printer received: whether each was answered,
  // and when.
  std::vector<sim::RecordedRequest> DeviceIdRequests() const {
    std::vector<sim::RecordedRequest> found;
    for (const auto& r : h.world.Recorder().RequestsOf(kPrinter))
      if (r.kind == sim::RequestKind::IoControl && r.code == kDeviceIdRequest) found.push_back(r);
    return found;
  }
  std::vector<bool> Answered() const {
    std::vector<bool> answered;
    for (const auto& r : DeviceIdRequests()) answered.push_back(r.ok);
    return answered;
  }
  // By its device path: the fleet holds a second printer of the same model.
  std::string IdCodeListed() {
    const std::string path = Printer().InterfacePath();
    for (std::size_t i = 0; i < h.form->DeviceList->Count(); ++i)
      if (h.form->DeviceList->Record(i).devicePath == path)
        return h.form->DeviceList->Record(i).idCode;
    return "(not listed)";
  }

  testing::SimHarness h;
  testing::UsbBus bus{h.world};
};

struct SuspendCase {
  const char* name;
  std::function<void(sim::FaultSet&)> arrange;
  const char* idCode;          // as Find lists it
  std::vector<bool> answered;  // the device-ID requests, in order
};

TEST(SelectiveSuspend, FindRetriesTheDeviceIdOnceWhenThePrinterIsNotReady) {
  const SuspendCase cases[] = {
      {"awake", [](sim::FaultSet&) {}, "4E4C5041000000A001", {true, true}},
      // Find's request wakes it; the library's, a moment later, is answered.
      {"idle, wakes on the retry",
       [](sim::FaultSet& f) { f.suspend = sim::SuspendFault{1000}; },
       "4E4C5041000000A001",
       {false, true, true}},
      {"never wakes: one retry only",
       [](sim::FaultSet& f) { f.suspend = sim::SuspendFault{0}; },
       "(not listed)",
       {false, false}},
      {"refused: no retry",
       [](sim::FaultSet& f) { f.ioctl.push_back({.code = kDeviceIdRequest}); },
       "(not listed)",
       {false}},
  };
  for (const SuspendCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    c.arrange(r.Printer().Faults());
    r.h.Show();
    EXPECT_EQ(r.IdCodeListed(), c.idCode);
    EXPECT_EQ(r.Answered(), c.answered);
    const auto requests = r.DeviceIdRequests();
    if (requests.size() >= 2 && !requests[0].ok) {
      EXPECT_EQ(requests[1].timeMs - requests[0].timeMs, platform::kWakePauseMs)
          << "no pause to wake";
    }
    EXPECT_TRUE(r.h.boxes.shown.empty());
    EXPECT_EQ(r.h.world.OpenHandles(), 0u);
  }
}

TEST(SelectiveSuspend, TheLibraryRetriesItsOwnDeviceIdRequest) {
  struct LibraryCase {
    const char* name;
    std::uint32_t idleMs;
    bool read;
    std::vector<bool> answered;
  };
  const LibraryCase cases[] = {
      {"idle, wakes on the retry", 1000, true, {false, true}},
      {"never wakes: one retry only", 0, false, {false, false}},
  };
  for (const LibraryCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.Printer().Faults().suspend = sim::SuspendFault{c.idleMs};
    char serial[64] = {};
    int length = 0;
    const int result =
        testing::kGetSerial(r.Printer().InterfacePath().c_str(), serial, sizeof serial, &length, 0);
    EXPECT_EQ(result == MORVALIB_OK, c.read) << result;
    if (c.read) {
      EXPECT_STREQ(serial, "4E4C5041000000A001");
    }
    EXPECT_EQ(r.Answered(), c.answered);
    EXPECT_EQ(r.h.world.OpenHandles(), 0u);
  }
}

}  // namespace
}  // namespace nolpa
