// A printer-class printer behind a spooler printer, from a fleet file: the
// seat is kept through the round trip, refused when it is not whole, and
// sets the simulated spooler up as the library will read it.
#include <gtest/gtest.h>

#include "platform/device_interfaces.h"
#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/host/spooler_seats.h"

namespace nolpa::sim {
namespace {

// Every field a seat has, the channel API named by the INI data file and
// installed in the driver's folder; a second printer shares the driver.
constexpr char kSeatedFleet[] = R"({"devices": [
  {"name": "a", "kind": "printer-class", "serial": "4E4C5041000000A001",
   "deviceId": "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;",
   "spooler": {"printer": "Line A", "port": "NLP007", "portNumber": 7, "baseName": "NLP",
               "driver": {"name": "Nolpa Line", "path": "C:\\drv\\3\\NLLINE.DLL", "dataFile": "NLLINE.INI",
                          "installed": false, "ini": {"ZQAPII": "", "ZQAPINAME": "NLZQ.DLL"}},
               "channelApi": {"file": "NLZQ.DLL", "folder": "driver"}}},
  {"name": "b", "kind": "printer-class", "serial": "4E4C5041000000A002",
   "spooler": {"printer": "Line B", "port": "USB002",
               "driver": {"name": "Nolpa Line", "path": "C:\\other\\NLLINE.DLL", "zqapi32": "ZQAPI2.DLL"},
               "channelApi": {"file": "NLZQ.DLL", "folder": "driver"}}}
]})";

TEST(SpoolerSeats, SurviveTheRoundTrip) {
  VirtualClock clock;
  const auto first = WorldFromFleet(kSeatedFleet, clock);
  const std::string text = FleetToJson(*first);
  const auto second = WorldFromFleet(text, clock);
  EXPECT_EQ(FleetToJson(*second), text);
  for (const char* name : {"a", "b"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(second->PrinterClass(name).Seat().has_value());
    EXPECT_EQ(second->PrinterClass(name).Seat(), first->PrinterClass(name).Seat());
  }
  const SpoolerSeat& a = *second->PrinterClass("a").Seat();
  EXPECT_EQ(a.portNumber, 7u);
  EXPECT_EQ(a.baseName, "NLP");
  EXPECT_FALSE(a.driverInstalled);
  EXPECT_EQ(a.zqapii, "");  // present but empty: not the same as missing
  EXPECT_EQ(a.zqapiName, "NLZQ.DLL");
  EXPECT_EQ(a.channelApiFolder, ChannelApiFolder::Driver);
  const SpoolerSeat& b = *second->PrinterClass("b").Seat();
  EXPECT_FALSE(b.portNumber.has_value());
  EXPECT_FALSE(b.baseName.has_value());
  EXPECT_FALSE(b.zqapii.has_value());
}

TEST(SpoolerSeats, SetTheSpoolerUpAsTheLibraryReadsIt) {
  VirtualClock clock;
  const auto world = WorldFromFleet(kSeatedFleet, clock);
  SpoolerWorld spooler(*world);
  ChannelApiStandIn api(*world, spooler);
  // Both name the same file in the first driver's folder: installed once.
  EXPECT_EQ(SeatSpoolerPrinters(*world, spooler, api),
            std::vector<std::string>{"C:\\drv\\3\\NLZQ.DLL"});
  EXPECT_TRUE(spooler.HasFile("c:\\DRV\\3\\nlzq.dll"));
  EXPECT_EQ(spooler.PrinterBehind("Line A"), &world->PrinterClass("a"));
  EXPECT_EQ(spooler.PrinterBehind("Line B"), &world->PrinterClass("b"));

  platform::PrintSpooler& printers = spooler.Spooler();
  EXPECT_EQ(printers.LocalPrinterNames(), (std::vector<std::string>{"Line A", "Line B"}));
  platform::PrinterDriverInfo driver;
  ASSERT_TRUE(printers.PrinterDriver("Line B", "", &driver));
  EXPECT_EQ(driver.driverPath, "C:\\drv\\3\\NLLINE.DLL")
      << "the first seat describes the shared driver";
  EXPECT_TRUE(printers.InstalledDrivers("").empty());

  platform::Registry& registry = spooler.Registry();
  const platform::RegistryKey port = registry.OpenMachineKey(
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Line A", platform::RegistryView::Own);
  EXPECT_EQ(registry.ReadString(port, "Port", 64), "NLP007");
  registry.CloseKey(port);
  // The first seat's driver has no "ZQAPI32": the key is not there at all.
  EXPECT_EQ(registry.OpenMachineKey(std::string(kChannelApiDriverKey) + "Nolpa Line",
                                    platform::RegistryView::Own),
            platform::kNoRegistryKey);

  platform::SystemFolders& system = spooler.System();
  EXPECT_EQ(system.IniString("C:\\drv\\3\\NLLINE.INI", kDriverInfoSection, "ZQAPII", 128), "");
  EXPECT_EQ(system.IniString("C:\\drv\\3\\NLLINE.INI", kUtilitySection, "ZQAPINAME", 128),
            "NLZQ.DLL");

  // The interface keys, in the world's order of printer-class interfaces.
  platform::DeviceInterfaces& interfaces = world->Interfaces();
  const platform::InterfaceSet set = interfaces.OpenSet(kUsbPrintInterfaceGuid);
  const struct {
    std::optional<std::uint32_t> portNumber;
    std::optional<std::string> baseName;
  } expected[] = {{7u, "NLP"}, {std::nullopt, std::nullopt}};
  for (std::uint32_t index = 0; index < 2; ++index) {
    SCOPED_TRACE(index);
    const platform::RegistryKey key = registry.OpenInterfaceKey(set, kUsbPrintInterfaceGuid, index);
    ASSERT_NE(key, platform::kNoRegistryKey);
    EXPECT_EQ(registry.ReadDword(key, "Port Number"), expected[index].portNumber);
    EXPECT_EQ(registry.ReadString(key, "Base Name", 64), expected[index].baseName);
    registry.CloseKey(key);
  }
  interfaces.CloseSet(set);
}

TEST(SpoolerSeats, IncompleteOrDoubleSeatsAreRefused) {
  const auto device = [](const std::string& name, const std::string& spooler) {
    return R"({"name": ")" + name + R"(", "kind": "printer-class", "spooler": )" + spooler + "}";
  };
  const std::string driver = R"("driver": {"name": "D", "path": "C:\\d\\D.DLL"})";
  const struct {
    const char* name;
    std::string devices;
    const char* mentions;
  } cases[] = {
      {"unknown seat field", device("a", R"({"printer": "P", "prot": "USB001", )" + driver + "}"),
       "prot"},
      {"unknown driver field",
       device("a", R"({"printer": "P", "driver": {"name": "D", "path": "p", "ZQAPI32": "x"}})"),
       "ZQAPI32"},
      {"unknown INI key",
       device("a",
              R"({"printer": "P", "driver": {"name": "D", "path": "p", "ini": {"ZQAPI": "x"}}})"),
       "ZQAPI"},
      {"no driver", device("a", R"({"printer": "P"})"), "driver"},
      {"no printer name", device("a", "{" + driver + "}"), "printer"},
      {"empty printer name", device("a", R"({"printer": "", )" + driver + "}"), "printer"},
      {"channel API in a folder of its own",
       device("a", R"({"printer": "P", )" + driver +
                       R"(, "channelApi": {"file": "C:\\x\\ZQAPI2.DLL"}})"),
       "file"},
      {"channel API folder unknown",
       device("a", R"({"printer": "P", )" + driver +
                       R"(, "channelApi": {"file": "Z.DLL", "folder": "temp"}})"),
       "folder"},
      {"port number above 32 bits",
       device("a", R"({"printer": "P", "portNumber": 4294967296, )" + driver + "}"), "portNumber"},
      {"one spooler printer for two devices",
       device("a", R"({"printer": "Line", )" + driver + "}") + ", " +
           device("b", R"({"printer": "LINE", )" + driver + "}"),
       "device b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock clock;
    World world(clock);
    try {
      LoadFleet(world, R"({"devices": [)" + c.devices + "]}");
      ADD_FAILURE() << "loaded";
    } catch (const FleetError& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace nolpa::sim
