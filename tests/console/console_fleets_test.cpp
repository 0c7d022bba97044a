// The console companion on bigger machines: printers behind chains of USB 2
// or USB 3 hubs, and the default fleet (today's stack, a composite device's
// function, printers of one model side by side). `list` shows each
// printer-class printer with its own serial number, and `set` on one of
// them writes that printer and no other.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "sim/fleet/generated_fleet.h"
#include "tests/console/console_harness.h"

namespace nolpa::testing {
namespace {

// What each printer-class printer of the world will report after its next
// restart, by device path.
std::map<std::string, std::string> NextSerials(sim::World& world) {
  std::map<std::string, std::string> serials;
  for (const auto& device : world.Devices())
    if (auto* printer = dynamic_cast<sim::ClassPrinter*>(device.get()))
      serials[printer->InterfacePath()] =
          printer->Peripheral().Commands().PendingSerial().value_or(printer->Serial());
  return serials;
}

TEST(ConsoleFleets, EachPrinterIsListedWithItsOwnSerialNumberAndWrittenAlone) {
  const struct {
    const char* name;
    std::string fleet;
    int listed;  // printer-class printers Find lists (of the library's models)
  } fleets[] = {
      {"the default fleet", std::string(sim::DefaultFleetJson()), 5},
      {"20 printers behind USB 2 hubs", sim::ChainedFleetJson({.printers = 20}), 20},
      {"20 printers behind USB 3 hubs", sim::ChainedFleetJson({.printers = 20, .usb3Hubs = true}),
       20},
      {"12 printers, hubs of 2 ports 5 deep",
       sim::ChainedFleetJson({.printers = 12, .hubPorts = 2, .depth = 5}), 12},
  };
  for (const auto& f : fleets) {
    SCOPED_TRACE(f.name);
    ConsoleRig rig(f.fleet);
    ASSERT_EQ(rig.Run({"list", "--json"}), 0) << rig.streams.error;
    const nlohmann::json listed = nlohmann::json::parse(rig.streams.output);
    std::map<std::string, std::string> before = NextSerials(rig.h.world);
    int classListed = 0, chosen = -1;
    for (const auto& entry : listed) {
      const std::string path = entry["devicePath"].get<std::string>();
      if (!before.count(path)) continue;
      const sim::ClassPrinter* printer = nullptr;
      for (const auto& device : rig.h.world.Devices())
        if (device->InterfacePath() == path)
          printer = dynamic_cast<sim::ClassPrinter*>(device.get());
      ASSERT_NE(printer, nullptr);
      // A printer without the packet protocol has no serial number to show.
      const bool d4 = printer->DeviceId().find("D4") != std::string::npos;
      EXPECT_EQ(entry["idCode"].get<std::string>(), d4 ? printer->Serial() : "") << path;
      ++classListed;
      if (d4) chosen = entry["index"].get<int>();
    }
    EXPECT_EQ(classListed, f.listed);
    ASSERT_GE(chosen, 0);

    rig.streams.output.clear();
    const int set = rig.Run({"set", "0123456789ABCDEF0C", "--index", std::to_string(chosen)});
    EXPECT_TRUE(set == 0 || set == 5) << set << rig.streams.error;
    const std::string chosenPath = listed[chosen]["devicePath"].get<std::string>();
    before[chosenPath] = "0123456789ABCDEF0C";
    EXPECT_EQ(NextSerials(rig.h.world), before) << "written: " << chosenPath;
  }
}

}  // namespace
}  // namespace nolpa::testing
