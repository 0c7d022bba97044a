// The spooler printer table and the channel API's location: which spooler
// printers sit on which USB socket, which of them offer the channel API, and
// where its file is looked for.
#include <gtest/gtest.h>

#include "serial_library/channel_api_location.h"
#include "serial_library/spooler_printers.h"
#include "tests/serial_library/channel_api_harness.h"

namespace nolpa::morvalib {
namespace {

using testing::ChannelApiHarness;

TEST(SpoolerPrinterTable, PortMatchesTheInterfaceByBaseNameAndNumber) {
  struct Case {
    const char* port;
    std::optional<std::uint32_t> portNumber;
    std::optional<std::string> baseName;
    bool listed;
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
    h.locations[printer.InterfacePath()] = "1203";
    h.spooler.AddPrinter(
        {.name = "Line", .port = c.port, .driver = testing::kDriverName, .device = "cp"});
    h.spooler.SetInterfaceValues("cp", {.portNumber = c.portNumber, .baseName = c.baseName});
    const auto table = SpoolerPrinterTable(Services(), h.Locator());
    ASSERT_EQ(table.size(), c.listed ? 1u : 0u);
    if (c.listed) {
      EXPECT_EQ(table[0].printerName, "Line");
      EXPECT_EQ(table[0].usbLocation, "1203");
    }
    EXPECT_EQ(h.world.OpenSets(), 0u);
  }
}

TEST(SpoolerPrinterTable, ListsOnlyNamedLocatedPrintersThatOfferTheChannelApi) {
  ChannelApiHarness h;
  h.AddPrinter("a", "First", 1, "1201");
  h.AddPrinter("b", "Second", 2, "1202");
  h.AddPrinter("c", "Unplaced", 3, "");  // the hub walk finds no location
  // On its socket, but its driver names no channel API.
  sim::ClassPrinter& d = h.world.AddClassPrinter({.name = "d", .deviceId = testing::kDeviceIdD4});
  h.spooler.SetInterfaceValues("d", {.portNumber = 4});
  h.locations[d.InterfacePath()] = "1204";
  h.spooler.AddDriver({.name = "Plain", .driverPath = "C:\\drv\\PLAIN.DLL"});
  h.spooler.AddPrinter({.name = "No API", .port = "USB004", .driver = "Plain", .device = "d"});
  h.spooler.AddPrinter({.name = "", .port = "USB001", .driver = testing::kDriverName});
  h.spooler.AddPrinter({.name = "Portless", .port = "", .driver = testing::kDriverName});
  h.spooler.AddPrinter({.name = "Elsewhere", .port = "LPT1:", .driver = testing::kDriverName});
  h.spooler.AddPrinter({.name = "No device", .port = "USB009", .driver = testing::kDriverName});

  const auto table = SpoolerPrinterTable(Services(), h.Locator());
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].printerName, "First");
  EXPECT_EQ(table[1].printerName, "Second");
  EXPECT_EQ(table[1].usbLocation, "1202");
  EXPECT_EQ(h.api.LoadsTotal(), 0u) << "locating never loads the channel API";

  // The same printer without a file behind its channel API name is left out.
  h.spooler.SetMachineString(testing::kChannelApiKey, "ZQAPI32", "ZQAPI3.DLL");
  EXPECT_TRUE(SpoolerPrinterTable(Services(), h.Locator()).empty());
}

TEST(SpoolerPrinterTable, NothingWithoutTheChannelApiServices) {
  ChannelApiHarness h;
  h.AddPrinter("a", "First", 1, "1201");
  LibraryServices plain{.files = &h.world.Files(), .clock = &h.clock};
  ASSERT_TRUE(InstallServices(plain));
  EXPECT_TRUE(SpoolerPrinterTable(Services(), h.Locator()).empty());
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
