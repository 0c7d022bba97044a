// The spooler printers and their channel API as today's Windows shows them:
// a printer pool's "Port" lists several ports, a 64-bit machine keeps a
// 64-bit driver's "ZQAPI32" in the 64-bit registry view and its drivers in
// the environment "Windows x64", and a stopped spooler lists nothing.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "serial_library/channel_api_location.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/spooler_printers.h"
#include "tests/serial_library/channel_api_harness.h"

namespace nolpa::morvalib {
namespace {

using testing::ChannelApiHarness;
using testing::kSystemFolder;

TEST(SpoolerPorts, APortValueListsItsPortsApart) {
  const struct {
    const char* value;
    std::vector<std::string> ports;
  } cases[] = {
      {"USB001", {"USB001"}},
      {"USB001,USB002", {"USB001", "USB002"}},
      {" USB003 , USB001,", {"USB003", "USB001"}},
      {",,", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(PortList(c.value), c.ports) << c.value;
}

// Device "a" is behind port 1 at "1110", "b" behind port 2 at "1120".
TEST(SpoolerPorts, APrinterOnSeveralPortsSitsWhereTheOneDeviceBehindThemIs) {
  const struct {
    const char* value;
    const char* location;
  } cases[] = {
      {"USB001", "1110"},
      {"USB002,usb002", "1120"},  // one device named twice
      {"USB001,USB002", ""},      // a pool of two: the API could reach either
      {"USB009", ""},
      // A port that leads to no printer-class device may be where the
      // spooler sends the job: the printer reaches no one device.
      {"USB009,USB002", ""},
      {"LPT1:, USB001", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    ChannelApiHarness h;
    h.AddPrinter("a", "Line 1", 1, "1110");
    h.AddPrinter("b", "Line 2", 2, "1120");
    h.spooler.AddPrinter({.name = "Pool", .port = c.value, .driver = testing::kDriverName});
    EXPECT_EQ(SpoolerPrinterLocation(h.services, "Pool", h.Locator()), c.location);
  }
}

struct ViewCase {
  const char* name;
  bool windows64;
  std::optional<std::string> in32, in64;  // "ZQAPI32" in each view
  const char* expected;                   // the file located, in the system folder
};

TEST(ChannelApiLocation, Zqapi32IsReadFromThe32BitViewThenFromThe64BitOne) {
  const ViewCase cases[] = {
      {"32-bit view only", true, "ZQAPI2.DLL", std::nullopt, "ZQAPI2.DLL"},
      {"64-bit view only", true, std::nullopt, "ZQAPI3.DLL", "ZQAPI3.DLL"},
      {"both: the 32-bit one first", true, "ZQAPI2.DLL", "ZQAPI3.DLL", "ZQAPI2.DLL"},
      {"empty in the 32-bit view", true, "", "ZQAPI3.DLL", "ZQAPI3.DLL"},
      {"32-bit Windows has one view", false, std::nullopt, "ZQAPI3.DLL", "ZQAPI3.DLL"},
      {"in neither", true, std::nullopt, std::nullopt, ""},
  };
  for (const ViewCase& c : cases) {
    SCOPED_TRACE(c.name);
    ChannelApiHarness h;
    h.spooler.SetWindows64(c.windows64);
    h.api.AddLibrary(std::string(kSystemFolder) + "\\ZQAPI3.DLL");
    const std::string key = "Software\\VARDU\\QTR7\\Driver\\Nolpa Wide";
    h.spooler.AddDriver({.name = "Nolpa Wide", .driverPath = "C:\\drv\\NLWIDE.DLL"});
    if (c.in32) h.spooler.SetMachineString(key, "ZQAPI32", *c.in32, platform::RegistryView::Own);
    if (c.in64) h.spooler.SetMachineString(key, "ZQAPI32", *c.in64, platform::RegistryView::Bits64);
    h.spooler.AddPrinter({.name = "Wide", .port = "USB001", .driver = "Nolpa Wide"});
    const std::string expected = *c.expected ? std::string(kSystemFolder) + "\\" + c.expected : "";
    EXPECT_EQ(LocateChannelApi(h.services, "Wide"), expected);
  }
}

// On 64-bit Windows the printer's driver is of "Windows x64": asked for
// without an environment (a 32-bit caller's own, "Windows NT x86") the
// spooler has none. A channel API named for the driver's folder is found
// among the installed drivers of that environment too.
TEST(ChannelApiLocation, DriverIsLookedUpInTheEnvironmentTheSpoolerReports) {
  for (const bool windows64 : {false, true}) {
    SCOPED_TRACE(windows64 ? "x64" : "x86");
    ChannelApiHarness h;
    h.spooler.SetWindows64(windows64);
    const std::string folder =
        windows64 ? "C:\\WINDOWS\\system32\\spool\\DRIVERS\\x64\\3" : testing::kDriverFolder;
    h.spooler.AddDriver({.name = "Nolpa Own", .driverPath = folder + "\\NLOWN.DLL"});
    h.spooler.SetMachineString("Software\\VARDU\\QTR7\\Driver\\Nolpa Own", "ZQAPI32", "NLAPI.DLL");
    h.api.AddLibrary(folder + "\\NLAPI.DLL");
    h.spooler.AddPrinter({.name = "Own", .port = "USB001", .driver = "Nolpa Own"});
    platform::PrinterDriverInfo driver;
    EXPECT_EQ(h.spooler.Spooler().PrinterDriver("Own", "", &driver), !windows64);
    EXPECT_EQ(LocateChannelApi(h.services, "Own"), folder + "\\NLAPI.DLL");
  }
}

// While the spooler service is stopped the spooler lists no printer and
// gives no driver, so no printer is reached through its channel API.
TEST(SpoolerService, AStoppedSpoolerListsNothingAndLocatesNoChannelApi) {
  ChannelApiHarness h;
  bool running = true;
  h.spooler.FollowService([&running] { return running; });
  const std::string device =
      *InstanceIdentifier(h.AddPrinter("a", "Line 1", 1, "1110").InterfacePath());
  ASSERT_EQ(SpoolerPrinterOf(h.services, device), "Line 1");
  running = false;
  EXPECT_EQ(SpoolerPrinterOf(h.services, device), "");
  EXPECT_EQ(LocateChannelApi(h.services, "Line 1"), "");
  EXPECT_EQ(h.spooler.Spooler().Environment(), "");
  running = true;
  EXPECT_EQ(SpoolerPrinterOf(h.services, device), "Line 1");
}

}  // namespace
}  // namespace nolpa::morvalib
