// The spooler printers and the channel API's location: which device each
// spooler printer's ports lead to, which spooler printer reaches a device and
// offers the channel API, and where its file is looked for.
#include <gtest/gtest.h>

#include "serial_library/channel_api_location.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/spooler_printers.h"
#include "tests/serial_library/channel_api_harness.h"

namespace nolpa::morvalib {
namespace {

using testing::ChannelApiHarness;

std::string IdentifierOf(const sim::ClassPrinter& printer) {
  return InstanceIdentifier(printer.InterfacePath()).value_or("no instance identifier");
}

TEST(SpoolerPrinterOf, PortMatchesTheInterfaceByBaseNameAndNumber) {
  struct Case {
    const char* port;
    std::optional<std::uint32_t> portNumber;
    std::optional<std::string> baseName;
    bool matches;
  } cases[] = {
      {"USB001", 1, std::nullopt, true},  // no "Base Name": "USB"
      {"usb001", 1, std::nullopt, true},
      {"USB1", 1, std::nullopt, true},
      {"USB002", 1, std::nullopt, false},
      {"USB010", 1, std::nullopt, false},
      {"DOT4_003", 3, "DOT4_", true},
      {"dot4_003", 3, "Dot4_", true},
      {"USB003", 3, "DOT4_", false},
      {"USB001", std::nullopt, std::nullopt, false},  // no "Port Number"
      {"USB", 0, std::nullopt, false},                // no number after the name
      {"USB001X", 1, std::nullopt, false},
      {"USB99999999999", 1, std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    ChannelApiHarness h;
    h.world.AddClassPrinter(
        {.name = "other", .deviceId = testing::kDeviceIdD4});  // an interface with no values
    sim::ClassPrinter& printer =
        h.world.AddClassPrinter({.name = "cp", .deviceId = testing::kDeviceIdD4});
    h.spooler.AddPrinter(
        {.name = "Line", .port = c.port, .driver = testing::kDriverName, .device = "cp"});
    h.spooler.SetInterfaceValues("cp", {.portNumber = c.portNumber, .baseName = c.baseName});
    EXPECT_EQ(PortDevicePath(Services(), c.port), c.matches ? printer.InterfacePath() : "");
    EXPECT_EQ(SpoolerPrinterOf(Services(), IdentifierOf(printer)), c.matches ? "Line" : "");
    EXPECT_EQ(h.world.OpenSets(), 0u);
  }
}

// A port that two interfaces claim, or one while an interface cannot be
// read, leads to no one device: the spooler might reach the other.
TEST(SpoolerPrinterOf, APortThatMayLeadToAnotherDeviceLeadsToNone) {
  for (const bool twoClaim : {false, true}) {
    SCOPED_TRACE(twoClaim ? "two interfaces on port 1" : "an interface that cannot be read");
    ChannelApiHarness h;
    sim::ClassPrinter& printer = h.AddPrinter("a", "Line 1", 1, "1110");
    sim::ClassPrinter& other =
        h.world.AddClassPrinter({.name = "b", .deviceId = testing::kDeviceIdD4});
    if (twoClaim)
      h.spooler.SetInterfaceValues("b", {.portNumber = 1});
    else
      other.Faults().failInterfaceDetail = true;
    EXPECT_EQ(PortDevicePath(Services(), "USB001"), "");
    EXPECT_EQ(SpoolerPrinterOf(Services(), IdentifierOf(printer)), "");
  }
}

TEST(SpoolerPrinterOf, TheFirstNamedPrinterThatReachesTheDeviceAndOffersTheChannelApi) {
  ChannelApiHarness h;
  sim::ClassPrinter& a = h.AddPrinter("a", "First", 1, "1201");
  sim::ClassPrinter& b = h.AddPrinter("b", "Second", 2, "1202");
  // On its socket, but its driver names no channel API.
  sim::ClassPrinter& d = h.world.AddClassPrinter({.name = "d", .deviceId = testing::kDeviceIdD4});
  h.spooler.SetInterfaceValues("d", {.portNumber = 4});
  h.spooler.AddDriver({.name = "Plain", .driverPath = "C:\\drv\\PLAIN.DLL"});
  h.spooler.AddPrinter({.name = "No API", .port = "USB004", .driver = "Plain", .device = "d"});
  h.spooler.AddPrinter({.name = "", .port = "USB002", .driver = testing::kDriverName});
  h.spooler.AddPrinter({.name = "First again", .port = "USB001", .driver = testing::kDriverName});
  h.spooler.AddPrinter({.name = std::string(kMaxPrinterName + 1, 'L'),
                        .port = "USB004",
                        .driver = testing::kDriverName});
  h.spooler.AddPrinter({.name = "Elsewhere", .port = "LPT1:", .driver = testing::kDriverName});

  EXPECT_EQ(SpoolerPrinterOf(Services(), IdentifierOf(a)), "First");
  EXPECT_EQ(SpoolerPrinterOf(Services(), IdentifierOf(b)), "Second");
  EXPECT_EQ(SpoolerPrinterOf(Services(), IdentifierOf(d)), "")
      << "no channel API, and a name OpenParams cannot hold";
  EXPECT_EQ(SpoolerPrinterOf(Services(), "USB\\VID_0F1A&PID_0520\\NOSUCH"), "");
  EXPECT_EQ(h.api.LoadsTotal(), 0u) << "choosing never loads the channel API";

  // The same printers without a file behind their channel API's name.
  h.spooler.SetMachineString(testing::kChannelApiKey, "ZQAPI32", "ZQAPI3.DLL");
  EXPECT_EQ(SpoolerPrinterOf(Services(), IdentifierOf(a)), "");
}

TEST(SpoolerPrinterOf, NothingWithoutTheChannelApiServices) {
  ChannelApiHarness h;
  sim::ClassPrinter& a = h.AddPrinter("a", "First", 1, "1201");
  LibraryServices plain{.files = &h.world.Files(), .clock = &h.clock};
  ASSERT_TRUE(InstallServices(plain));
  EXPECT_EQ(SpoolerPrinterOf(Services(), IdentifierOf(a)), "");
  EXPECT_EQ(SpoolerPrinterLocation(Services(), "First", h.Locator()), "");
  ASSERT_TRUE(InstallServices(h.services));
  EXPECT_EQ(SpoolerPrinterLocation(Services(), "First", h.Locator()), "1201");
}

TEST(ChannelApiLocation, FileNameAndFolderFollowTheDriver) {
  const std::string driverLibrary = std::string(testing::kDriverFolder) + "\\NLAPI.DLL";
  const std::string systemLibrary = std::string(testing::kSystemFolder) + "\\NLAPI.DLL";
  struct Case {
    const char* name;
    std::optional<std::string> registryName;  // ZQAPI32
    const char* ini;                          // the data file's text
    platform::WindowsVersion version;
    std::string expected;
  } cases[] = {
      {"lower-case system name",
       "zqapi2.dll",
       "",
       {true, 5},
       std::string(testing::kSystemFolder) + "\\zqapi2.dll"},
      {"own name in the driver folder", "NLAPI.DLL", "", {true, 5}, driverLibrary},
      {"own name on NT 4", "NLAPI.DLL", "", {true, 4}, systemLibrary},
      {"own name outside NT", "NLAPI.DLL", "", {false, 5}, systemLibrary},
      {"INI driver key",
       std::nullopt,
       "[User Mode Printer Driver Information]\nZQAPII=NLAPI.DLL\n",
       {true, 6},
       driverLibrary},
      {"INI utility key when the first is empty",
       std::nullopt,
       "[User Mode Printer Driver Information]\nZQAPII=\n[Utility]\nZQAPINAME=ZQAPI.DLL\n",
       {true, 6},
       std::string(testing::kSystemFolder) + "\\ZQAPI.DLL"},
      {"registry name of 32 bytes is no name",
       std::string(32, 'N'),
       "[Utility]\nZQAPINAME=NLAPI.DLL\n",
       {true, 5},
       driverLibrary},
      {"no name anywhere", std::nullopt, "[Utility]\nOther=NLAPI.DLL\n", {true, 5}, ""},
      {"named file missing", "MISSING.DLL", "", {true, 5}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChannelApiHarness h;
    h.spooler.SetVersion(c.version);
    h.spooler.SetMachineString(testing::kChannelApiKey, "ZQAPI32", c.registryName.value_or(""));
    h.spooler.SetIniFile(std::string(testing::kDriverFolder) + "\\NLLINE.INI", c.ini);
    for (const std::string& file :
         {driverLibrary, systemLibrary, std::string(testing::kSystemFolder) + "\\ZQAPI.DLL",
          std::string(testing::kSystemFolder) + "\\ZQAPI2.DLL"})
      h.spooler.AddFile(file);
    h.spooler.AddPrinter({.name = "Line", .port = "USB001", .driver = testing::kDriverName});
    EXPECT_EQ(LocateChannelApi(Services(), "Line"), c.expected);
    if (!c.registryName || c.registryName->size() >= kChannelApiRegistryNameBytes) {
      EXPECT_EQ(h.spooler.IniReads().at(0),
                std::string(testing::kDriverFolder) +
                    "\\NLLINE.INI|User Mode Printer Driver Information|ZQAPII");
    }
  }
}

TEST(ChannelApiLocation, DataFileWithAFolderAndDriversOutOfReach) {
  ChannelApiHarness h;
  h.spooler.SetMachineString(testing::kChannelApiKey, "ZQAPI32", "");
  h.spooler.AddDriver({.name = "Elsewhere",
                       .driverPath = "D:\\drivers\\EW.DLL",
                       .dataFile = "D:\\data\\EW.INI",
                       .installed = false});
  h.spooler.SetIniFile("D:\\data\\EW.INI", "[Utility]\nZQAPINAME=EWAPI.DLL\n");
  h.spooler.AddFile("D:\\drivers\\EWAPI.DLL");
  h.spooler.AddPrinter({.name = "EW", .port = "USB001", .driver = "Elsewhere"});
  EXPECT_EQ(
      ChannelApiFileName(Services(), {"Elsewhere", "D:\\drivers\\EW.DLL", "D:\\data\\EW.INI"}),
      "EWAPI.DLL");
  EXPECT_EQ(LocateChannelApi(Services(), "EW"), "")
      << "a driver that is not installed gives no folder";
  EXPECT_EQ(LocateChannelApi(Services(), "No such printer"), "");
}

}  // namespace
}  // namespace nolpa::morvalib
