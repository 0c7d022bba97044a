// The library on the default fleet as NOLPAID-sim.exe sets it up: the
// printer behind the spooler printer is reached through the channel API
// (loaded and released once per call), the other printer-class printers by
// their device files; a serial number written either way is saved, and the
// report the simulated program keeps says what happened.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "serial_library/channel_api.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/host/service_manager.h"
#include "sim/library_world.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/library_world_services.h"

namespace nolpa::morvalib {
namespace {

using testing::kGetFirmware;
using testing::kGetSerial;
using testing::kSetSerial;

struct DefaultFleetLibrary {
  DefaultFleetLibrary() {
    DropHubTable();
    sim::LoadFleet(world, sim::DefaultFleetJson());
    around.emplace(world);
    EXPECT_TRUE(InstallServices(testing::LibraryWorldServices(world, clock, *around)));
  }
  ~DefaultFleetLibrary() {
    RemoveServices();
    DropHubTable();
  }
  sim::ChannelApiStandIn& Api() { return around->ChannelApi(); }

  sim::VirtualClock clock;
  sim::World world{clock};
  std::optional<sim::LibraryWorld> around;
};

// What the channel-API stand-in reports after `n` calls went through it.
std::string ChannelApiReport(int n) {
  const std::string k = std::to_string(n);
  return "channel API: " + k + " loads, " + k + " frees, " + k + " ZQInitialize, " + k +
         " ZQRelease, 0 loaded; departures: 0\n";
}

TEST(DefaultFleetLookup, SpooledPrinterGoesThroughTheChannelApiAndTheOthersDirect) {
  const struct {
    const char* device;
    const char* serial;
    const char* firmware;
    int model;  // the library's model selector: 1 for an RK-L880
    bool throughChannelApi;
  } cases[] = {
      {"rk-l5200", "4E4C5041000000A001", "5.10", 0, false},
      {"rk-l5200s", "4E4C5041000000D004", "5.12", 0, true},
      {"rk-l880", "4E4C5041000000B002", "3.41", 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    DefaultFleetLibrary f;
    EXPECT_EQ(f.around->ChannelApiFiles(),
              std::vector<std::string>{"C:\\WINDOWS\\system32\\ZQAPI2.DLL"});
    sim::ClassPrinter& printer = f.world.PrinterClass(c.device);
    const std::string path = printer.InterfacePath();
    char text[64] = {};
    int length = 0;
    ASSERT_EQ(kGetSerial(path.c_str(), text, sizeof text, &length, c.model), MORVALIB_OK);
    EXPECT_STREQ(text, c.serial);
    // The simulated program saves its world whenever a printer's stored state changes.
    int changes = 0;
    f.world.SetStateChangedHook([&changes] { ++changes; });
    ASSERT_EQ(kSetSerial(path.c_str(), "0123456789ABCDEF02", c.model), MORVALIB_OK);
    EXPECT_EQ(printer.Peripheral().Commands().PendingSerial().value_or("(none)"),
              "0123456789ABCDEF02");
    EXPECT_EQ(changes, 1) << "the pending serial number would not be saved";
    ASSERT_EQ(kGetFirmware(path.c_str(), text, sizeof text, &length), MORVALIB_OK);
    EXPECT_STREQ(text, c.firmware);

    const int calls = c.throughChannelApi ? 3 : 0;
    EXPECT_EQ(f.Api().LoadsTotal(), static_cast<std::size_t>(calls));
    EXPECT_EQ(f.Api().ReleaseCalls(), calls);
    EXPECT_FALSE(channel_api::Loaded());
    EXPECT_EQ(f.Api().OpenChannels(), 0u);
    EXPECT_EQ(f.world.OpenHandles(), 0u);
    EXPECT_EQ(f.around->Report(), ChannelApiReport(calls));
  }
}

// Today's machine of the default fleet: two printers on the USBHUB3 root
// hub, the others behind a hub, one of them a composite device's function.
// Each printer-class printer answers as itself. While the spooler service
// runs, a caller of the library reaches the printer behind the spooler
// printer through the channel API; once the program has stopped it, every
// printer by its device file.
TEST(DefaultFleetLookup, EveryPrinterAnswersAsItselfWithTheSpoolerRunningOrStopped) {
  const struct {
    const char* device;
    const char* serial;
    int model;
    bool behindSpoolerPrinter;
  } printers[] = {
      {"rk-l5200", "4E4C5041000000A001", 0, false},
      {"rk-l880", "4E4C5041000000B002", 1, false},
      {"rk-l5200s", "4E4C5041000000D004", 0, true},
      {"rk-l5200-combo", "4E4C5041000000E005", 0, false},
  };
  for (const bool running : {true, false}) {
    SCOPED_TRACE(running ? "spooler running" : "spooler stopped");
    DefaultFleetLibrary f;
    sim::ServiceManager services(f.clock, &f.world.Departures());
    if (!running) services.Spooler().SetState(sim::ServiceState::Stopped);
    f.around->Spooler().FollowService(
        [&services] { return services.Spooler().State() == sim::ServiceState::Running; });
    std::size_t throughApi = 0;
    for (const auto& p : printers) {
      SCOPED_TRACE(p.device);
      const std::string path = f.world.PrinterClass(p.device).InterfacePath();
      char text[64] = {};
      int length = 0;
      ASSERT_EQ(kGetSerial(path.c_str(), text, sizeof text, &length, p.model), MORVALIB_OK);
      EXPECT_STREQ(text, p.serial);
      throughApi += running && p.behindSpoolerPrinter ? 1 : 0;
      EXPECT_EQ(f.Api().LoadsTotal(), throughApi);
    }
    int length = 0;
    EXPECT_EQ(kGetSerial(f.world.PrinterClass("rk-l880-plain").InterfacePath().c_str(), nullptr, 0,
                         &length, 1),
              MORVALIB_E_NO_PACKET);
  }
}

// What the simulated program's report shows when something went wrong: a
// load that was never freed and a departure the world noted.
TEST(DefaultFleetLookup, ReportShowsWhatIsLeftLoadedAndEveryDeparture) {
  DefaultFleetLibrary f;
  ASSERT_TRUE(f.Api().ModuleLoaded("c:\\windows\\SYSTEM32\\zqapi2.dll"));
  EXPECT_FALSE(f.Api().ModuleLoaded("C:\\WINDOWS\\system32\\ZQAPI3.DLL"))
      << "not a registered library";
  const auto close = reinterpret_cast<int (*)(int)>(f.Api().ExportNamed("ZQCloseChannel"));
  ASSERT_NE(close, nullptr);
  EXPECT_LT(close(0x31), 0);  // before ZQInitialize
  EXPECT_EQ(f.Api().ExportNamed("ZQNoSuchCall"), nullptr);
  const std::string report = f.around->Report();
  EXPECT_EQ(report.substr(0, report.find('\n')),
            "channel API: 1 loads, 0 frees, 0 ZQInitialize, 0 ZQRelease, 1 loaded; departures: 1");
  EXPECT_NE(report.find(sim::departure::kChannelApiNotInitialised), std::string::npos) << report;
  f.world.Departures().Expect(sim::departure::kChannelApiNotInitialised);
  f.Api().ModuleFreed();
  EXPECT_EQ(f.Api().ExportNamed("ZQCloseChannel"), nullptr) << "nothing loaded";
  f.Api().ModuleFreed();
  f.world.Departures().Expect(sim::departure::kModuleFreedTwice);
}

}  // namespace
}  // namespace nolpa::morvalib
