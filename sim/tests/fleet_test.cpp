// Fleet files: the default fleet, the round trip, and refusals.
#include <gtest/gtest.h>

#include <set>

#include <nlohmann/json.hpp>

#include "sim/core/virtual_clock.h"
#include "sim/fleet/fleet.h"
#include "sim/tests/sim_test_support.h"

namespace nolpa::sim {
namespace {

using testing::Bytes;

// Everything a device answers on one open: what "the same answers" means.
std::vector<Bytes> Answers(World& world, SimDevice& device) {
  std::vector<Bytes> answers;
  std::string path = device.InterfacePath();
  if (device.Kind() == DeviceKind::VendorDriver) path += "\\RK";
  if (device.ComPort() != 0) path = "\\\\.\\COM" + std::to_string(device.ComPort());
  const auto h = world.Files().Open(path);
  if (h == platform::kInvalidDeviceHandle) return {};
  // Each request with the buffer its driver defines for it.
  const bool classPrinter = device.Kind() == DeviceKind::PrinterClass;
  const std::pair<std::uint32_t, std::uint32_t> requests[] = {{kIoctlDeviceDescriptor, 18},
                                                              {kIoctlStringDescriptors, 1024},
                                                              {kIoctlStatusBlock, 4},
                                                              {kIoctlIdName, 512}};
  for (const auto& [code, size] : requests) {
    if (classPrinter) break;
    const auto r = testing::Ioctl(world, h, code, size);
    answers.push_back(r.ok ? r.out : Bytes{0xBA, 0xD0});
  }
  if (classPrinter) {
    answers.push_back(testing::Ioctl(world, h, kIoctlUsbPrint1284Id, 1024).out);
    answers.push_back(testing::Ioctl(world, h, kIoctlUsbPrintLptStatus, 64).out);
    testing::WriteAll(world, h,
                      Bytes(std::begin(kRemoteStatusRequest), std::end(kRemoteStatusRequest)));
    answers.push_back(testing::ReadDue(world, h));
  }
  for (const Bytes& query : {Bytes{0x1D, 0x49, 0x01}, Bytes{0x1D, 0x49, 0x43},
                             Bytes{0x1D, 0x49, 0x41}, Bytes{0x1D, 0x49, 0x44}}) {
    testing::WriteAll(world, h, query);
    world.Clock().SleepMs(5000);
    answers.push_back(testing::ReadDue(world, h));
  }
  world.Files().Close(h);
  return answers;
}

TEST(SimFleetTest, DefaultFleetHoldsOnePrinterOfEachKind) {
  VirtualClock clock;
  auto world = WorldFromFleet(DefaultFleetJson(), clock);
  const auto vendor = testing::Enumerate(*world, kVendorInterfaceGuid);
  EXPECT_EQ(vendor.size(), 4u);
  EXPECT_FALSE(world->Vendor("onboard-usb").OnNwjBoard());
  EXPECT_EQ(world->Vendor("onboard-usb").Usb().bcdUsb, 0x0200);
  EXPECT_TRUE(world->Vendor("onboard-usb").Usb().highSpeed);
  // NW-J boards on both codes the board table fixes, and code 0x10 onboard.
  EXPECT_EQ(world->Vendor("nwj-board").Usb().boardCode, 0x00);
  EXPECT_EQ(world->Vendor("nwj-board-c").Usb().boardCode, 0x0C);
  EXPECT_TRUE(world->Vendor("nwj-board").OnNwjBoard());
  EXPECT_TRUE(world->Vendor("nwj-board-c").OnNwjBoard());
  EXPECT_EQ(world->Vendor("onboard-usb3").Usb().boardCode, 0x10);
  EXPECT_FALSE(world->Vendor("onboard-usb3").OnNwjBoard());
  // No two printers share an answer to the identification query.
  std::set<std::uint8_t> answers;
  for (const char* name : {"onboard-usb", "nwj-board", "nwj-board-c", "onboard-usb3", "com3"})
    answers.insert(world->Vendor(name).Identity().identByte);
  EXPECT_EQ(answers.size(), 5u);
  std::string target;
  EXPECT_TRUE(world->DosDevices().QueryTarget("COM3", &target));
  EXPECT_NE(target.find("Kolmx"), std::string::npos);
  EXPECT_TRUE(world->DosDevices().QueryTarget("COM1", &target));
  EXPECT_EQ(target.find("Kolmx"), std::string::npos);

  std::vector<std::string> models;
  for (const auto& path : testing::Enumerate(*world, kUsbPrintInterfaceGuid)) {
    const auto h = world->Files().Open(path);
    const auto id = testing::Ioctl(*world, h, kIoctlUsbPrint1284Id, 1024).out;
    const std::string text(id.begin() + 2, id.end());
    const auto mdl = text.find("MDL:");
    models.push_back(text.substr(mdl + 4, text.find(';', mdl) - mdl - 4));
    world->Files().Close(h);
  }
  EXPECT_EQ(models, (std::vector<std::string>{"RK-L5200", "RK-L5200S", "RK-L880", "RK-L880",
                                              "QF-90 Office", "RK-L5200"}));
  // Today's machine: 64-bit Windows, an xHCI controller run by USBHUB3.
  EXPECT_TRUE(world->Machine().windows64);
  ASSERT_EQ(world->Machine().hostControllers.size(), 1u);
  EXPECT_EQ(world->Machine().hostControllers[0].drivers, kXhciDrivers);
  // One of the library's printers sits behind a spooler printer, the others not.
  for (const auto& [name, seated] :
       {std::pair{"rk-l5200", false}, {"rk-l5200s", true}, {"rk-l880", false}})
    EXPECT_EQ(world->PrinterClass(name).Seat().has_value(), seated) << name;
  // The library's models with and without the packet protocol.
  EXPECT_TRUE(world->PrinterClass("rk-l5200").Peripheral().OffersPacketProtocol());
  EXPECT_TRUE(world->PrinterClass("rk-l880").Peripheral().OffersPacketProtocol());
  EXPECT_FALSE(world->PrinterClass("rk-l880-plain").Peripheral().OffersPacketProtocol());
  for (const auto& d : world->Devices()) {
    if (auto* p = dynamic_cast<VendorPrinter*>(d.get())) {
      EXPECT_FALSE(p->Identity().serial.empty()) << p->Name();
      EXPECT_FALSE(p->Identity().idName.empty()) << p->Name();
      EXPECT_TRUE(IsValidIdentByte(p->Identity().identByte)) << p->Name();
    }
  }
}

TEST(SimFleetTest, RoundTripGivesTheSameAnswers) {
  VirtualClock clock;
  auto first = WorldFromFleet(DefaultFleetJson(), clock);
  // State and faults a program run or a test leaves behind.
  auto& nwj = first->Vendor("nwj-board");
  nwj.SetIdName(u"\u00C4\u0141");                      // above U+00FF: kept as a code unit
  nwj.SetSerial(std::u16string(1, char16_t(0xD800)));  // lone surrogate: kept as a number
  nwj.Board().SelectAddress(256);
  nwj.Board().WriteValue(0x00FF);
  first->Vendor("com3").SetIdName(u"\u0082\u00A0");  // code page bytes survive
  first->Vendor("onboard-usb").Faults().channel = {
      .latencyMs = 7, .chatter = {0x12}, .heartbeat = Heartbeat{0x14, 300}};
  first->Vendor("onboard-usb")
      .Faults()
      .ioctl.push_back(
          {.code = kIoctlIdName, .action = IoctlFault::Action::Raw, .nth = 2, .bytes = {9, 9}});
  first->Vendor("onboard-usb").Faults().unplug =
      UnplugFault{.after = 40, .kind = RequestKind::Read};
  first->PrinterClass("rk-l880").SetSerial("00000000000000ABCD");
  first->PrinterClass("rk-l880").Peripheral().Commands().SetPendingSerial("00000000000000DCBA");
  first->PrinterClass("rk-l880").Faults().peripheral = {.refuseRevision = true,
                                                        .wrongSockets = true,
                                                        .noCredit = true,
                                                        .silentCommands = true,
                                                        .toHostPacketLimit = 24,
                                                        .endOfMessage = true,
                                                        .entryAnswer = {0, 0, 0, 8, 1, 0, 0xD1, 0},
                                                        .unaskedCredit = true,
                                                        .lateReply = LateReply{0x01, 7000, 2},
                                                        .readPieces = 5};
  first->PrinterClass("rk-l5200").Faults().peripheral = {.errorCode = 0x84,
                                                         .errorOn = 0x01,
                                                         .silentFrom = 0x04,
                                                         .packetSizeLimit = 64,
                                                         .writeAnswer = WriteAnswer::Busy,
                                                         .statusFieldList = true,
                                                         .lptError = true};
  first->Device("other-make").Unplug();

  const std::string text = FleetToJson(*first);
  auto second = WorldFromFleet(text, clock);
  EXPECT_EQ(FleetToJson(*second), text);
  EXPECT_EQ(second->Vendor("nwj-board").IdNameUnits(), u"\u00C4\u0141");
  EXPECT_EQ(second->Vendor("nwj-board").Board().Cells(), nwj.Board().Cells());
  EXPECT_FALSE(second->Device("other-make").Plugged());
  EXPECT_EQ(second->PrinterClass("rk-l880").Peripheral().Commands().PendingSerial(),
            "00000000000000DCBA");
  EXPECT_EQ(second->PrinterClass("rk-l5200").Faults().peripheral.packetSizeLimit, 64);
  const PeripheralFaults& kept = second->PrinterClass("rk-l880").Faults().peripheral;
  EXPECT_EQ(kept.lateReply->transaction, 0x01);
  EXPECT_EQ(kept.lateReply->count, 2u);
  EXPECT_EQ(kept.entryAnswer.size(), 8u);
  EXPECT_EQ(kept.readPieces, 5);
  ASSERT_EQ(first->Devices().size(), second->Devices().size());
  for (std::size_t i = 0; i < first->Devices().size(); ++i) {
    SCOPED_TRACE(first->Devices()[i]->Name());
    EXPECT_EQ(Answers(*first, *first->Devices()[i]), Answers(*second, *second->Devices()[i]));
  }
}

// What a state file keeps between processes of a station: the events not
// applied yet, the hubs and printers unplugged, the hubs' faults.
TEST(SimFleetTest, EventsAndPluggedStateSurviveTheRoundTrip) {
  constexpr char kFleet[] = R"({"machine": {
      "hostControllers": [{"name": "hc", "ports": 2}],
      "hubs": [{"name": "h", "hub": "hc", "port": 1, "faults": {"unplug": {"after": 3, "backAfterMs": 40}}},
               {"name": "g", "hub": "hc", "port": 2, "plugged": false}]},
    "devices": [{"name": "a", "kind": "printer-class", "socket": {"hub": "h", "port": 1}},
                {"name": "b", "kind": "printer-class", "socket": {"hub": "g", "port": 1}},
                {"name": "v", "kind": "vendor"}],
    "events": [{"atMs": 10, "unplug": "v"}, {"atMs": 20, "plug": "g"}, {"atMs": 20, "unplug": "h"},
               {"atMs": 30, "plug": "v"}]})";
  VirtualClock clock;
  auto first = WorldFromFleet(kFleet, clock);
  EXPECT_FALSE(first->Device("b").Plugged());  // below a hub the fleet unplugged
  clock.Advance(25);
  testing::Enumerate(*first, kUsbPrintInterfaceGuid);  // touches the world
  const std::string text = FleetToJson(*first);
  auto second = WorldFromFleet(text, clock);
  EXPECT_EQ(FleetToJson(*second), text);
  EXPECT_EQ(second->Machine(), first->Machine());
  EXPECT_EQ(second->PendingEvents(), (std::vector<PlugEvent>{{30, "v", true}}));
  for (const char* name : {"a", "b", "v"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(second->Device(name).Plugged(), first->Device(name).Plugged());
    EXPECT_EQ(second->Device(name).PluggedItself(), first->Device(name).PluggedItself());
  }
  EXPECT_FALSE(second->Device("a").Plugged());
  EXPECT_TRUE(second->Device("b").Plugged());
  ASSERT_TRUE(second->Machine().hubs[0].faults.drop);
  EXPECT_EQ(second->Machine().hubs[0].faults.drop->backAfterMs, 40u);
}

TEST(SimFleetTest, WrittenIdentifiersAreSaved) {
  VirtualClock clock;
  auto world = WorldFromFleet(DefaultFleetJson(), clock);
  auto& p = world->Vendor("onboard-usb");
  const auto h = world->Files().Open(testing::VendorPath(p));
  testing::WriteAll(*world, h,
                    testing::StoreSession(p.Identity().identByte, 0x39, "20270301090503"));
  world->Files().Close(h);
  const auto saved = nlohmann::json::parse(FleetToJson(*world));
  EXPECT_EQ(saved["devices"][0]["serial"], "20270301090503");
}

struct BadFleet {
  const char* name;
  const char* text;
  const char* mentions;
};

void PrintTo(const BadFleet& f, std::ostream* os) { *os << f.name; }

class SimBadFleetTest : public ::testing::TestWithParam<BadFleet> {};

TEST_P(SimBadFleetTest, IsRefusedWithAReason) {
  VirtualClock clock;
  World world(clock);
  try {
    LoadFleet(world, GetParam().text);
    FAIL() << "loaded";
  } catch (const FleetError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().mentions), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimBadFleetTest,
    ::testing::Values(
        BadFleet{"NotJson", "{devices: []}", "not valid JSON"},
        BadFleet{"NoDevices", R"({"version": 1})", "devices"},
        BadFleet{"UnknownField",
                 R"({"devices": [{"name": "a", "kind": "vendor", "seriall": "x"}]})", "seriall"},
        BadFleet{"UnknownKind", R"({"devices": [{"name": "a", "kind": "parallel"}]})", "kind"},
        BadFleet{"StatusAsIdentByte",
                 R"({"devices": [{"name": "a", "kind": "vendor", "identByte": "0x12"}]})",
                 "identByte"},
        BadFleet{"ComWithoutPort", R"({"devices": [{"name": "a", "kind": "com"}]})", "comPort"},
        BadFleet{"SamePortTwice",
                 R"({"devices": [{"name": "a", "kind": "serial", "comPort": 2},
                                 {"name": "b", "kind": "com", "comPort": 2}]})",
                 "device b"},
        BadFleet{"BadNumber",
                 R"({"devices": [{"name": "a", "kind": "vendor", "usb": {"bcdUSB": "0x1FFFF"}}]})",
                 "bcdUSB"},
        BadFleet{"BadFaultBytes",
                 R"({"devices": [{"name": "a", "kind": "vendor", "faults": {"chatter": "1"}}]})",
                 "chatter"},
        BadFleet{"BadFaultName",
                 R"({"devices": [{"name": "a", "kind": "vendor", "faults": {"slow": true}}]})",
                 "slow"},
        BadFleet{"BadWriteAnswer",
                 R"({"devices": [{"name": "a", "kind": "printer-class",
                                  "faults": {"peripheral": {"writeAnswer": "later"}}}]})",
                 "writeAnswer"},
        BadFleet{"TinyPackets",
                 R"({"devices": [{"name": "a", "kind": "printer-class",
                                  "faults": {"peripheral": {"packetSizeLimit": 6}}}]})",
                 "packetSizeLimit"},
        BadFleet{"TinyPacketsToTheHost",
                 R"({"devices": [{"name": "a", "kind": "printer-class",
                                  "faults": {"peripheral": {"toHostPacketLimit": 6}}}]})",
                 "toHostPacketLimit"},
        BadFleet{"EventWithoutTime", R"({"devices": [], "events": [{"unplug": "a"}]})", "atMs"},
        BadFleet{"EventBothWays",
                 R"({"devices": [{"name": "a", "kind": "serial"}],
                     "events": [{"atMs": 1, "unplug": "a", "plug": "a"}]})",
                 "one of"},
        BadFleet{"EventForNobody",
                 R"({"devices": [{"name": "a", "kind": "serial"}],
                     "events": [{"atMs": 1, "unplug": "b"}]})",
                 "\"b\""},
        BadFleet{"EventForAController",
                 R"({"machine": {"hostControllers": [{"name": "hc"}]}, "devices": [],
                     "events": [{"atMs": 1, "unplug": "hc"}]})",
                 "\"hc\""},
        BadFleet{"ControllerDropping",
                 R"({"machine": {"hostControllers": [{"name": "hc", "faults": {"unplug": {}}}]},
                     "devices": []})",
                 "unplug"},
        BadFleet{"HubNamedAsADevice",
                 R"({"machine": {"hostControllers": [{"name": "hc"}],
                                 "hubs": [{"name": "a", "hub": "hc", "port": 1}]},
                     "devices": [{"name": "a", "kind": "serial"}]})",
                 "a device has that name"},
        BadFleet{"LateReplyField",
                 R"({"devices": [{"name": "a", "kind": "printer-class",
                                  "faults": {"peripheral": {"lateReply": {"delay": 5}}}}]})",
                 "delay"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimFleetTest, FaultsFromAFleetTakeEffect) {
  VirtualClock clock;
  auto world = WorldFromFleet(R"({"devices": [{
      "name": "p", "kind": "vendor", "serial": "S",
      "faults": {"ioctl": [{"code": "0x2220CC", "action": "short", "fill": 2}],
                 "writes": [{"nth": 1, "take": 1}],
                 "flowControl": "13", "queryAnswer": "one-byte-status"}}]})",
                              clock);
  auto& p = world->Vendor("p");
  const auto h = world->Files().Open(testing::VendorPath(p));
  EXPECT_EQ(testing::Ioctl(*world, h, kIoctlIdName, 512).out, (Bytes{0x02, 0x03}));
  EXPECT_EQ(testing::WriteAll(*world, h, {0x1D, 0x49, 0x01}), 1u);
  testing::WriteAll(*world, h, {0x49, 0x01});
  EXPECT_EQ(testing::ReadDue(*world, h), Bytes{0x12});
  world->Files().Close(h);
}

}  // namespace
}  // namespace nolpa::sim
