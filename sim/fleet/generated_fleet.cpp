// Big fleets made to measure (generated_fleet.h).
#include "sim/fleet/generated_fleet.h"

#include <cstdio>
#include <stdexcept>

#include "sim/fleet/fleet_json.h"

namespace nolpa::sim {
namespace {

using fleet_json::Json;

constexpr int kRootPorts = 26;
constexpr int kSuperSpeedPorts = 10;
constexpr int kUsbHubDepth = 5;  // hubs below the root hub, by the USB tiers

struct Model {
  const char* productId;
  const char* deviceId;
  const char* firmware;
};
constexpr Model kModels[] = {
    {"0x0601", "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;DES:Nolpa RK-L5200 Label;", "5.10"},
    {"0x0602", "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L880;CLS:PRINTER;DES:Nolpa RK-L880 Receipt;", "3.41"},
};

Json Printer(int number, const std::string& hub, int port) {
  const Model& model = kModels[(number - 1) % 2];
  char serial[32];
  std::snprintf(serial, sizeof serial, "4E4C5047%010X", static_cast<unsigned>(number));
  return {{"name", "p" + std::to_string(number)},
          {"kind", "printer-class"},
          {"vendorId", "0x0F1A"},
          {"productId", model.productId},
          {"deviceId", model.deviceId},
          {"serial", serial},
          {"firmware", model.firmware},
          {"socket", {{"hub", hub}, {"port", port}}}};
}

}  // namespace

std::string ChainedFleetJson(const ChainedFleet& shape) {
  const int perChain = shape.depth * (shape.hubPorts - 1) + 1;
  const int chains =
      shape.printers > 0 && shape.hubPorts >= 2 ? (shape.printers + perChain - 1) / perChain : 0;
  if (chains == 0 || shape.depth < 1 || shape.depth > kUsbHubDepth ||
      chains > kRootPorts - kSuperSpeedPorts)
    throw std::invalid_argument("a chained fleet of that shape does not fit the machine");
  Json hubs = Json::array();
  Json devices = Json::array();
  int placed = 0;
  for (int chain = 1; chain <= chains; ++chain) {
    std::string above = "xhci";
    int port = chain;
    for (int level = 1; level <= shape.depth && placed < shape.printers; ++level) {
      const std::string hub = "chain" + std::to_string(chain) + "-hub" + std::to_string(level);
      Json entry = {{"name", hub}, {"hub", above}, {"port", port}, {"ports", shape.hubPorts}};
      if (shape.usb3Hubs) entry["usb3"] = true;
      hubs.push_back(entry);
      // The last hub of a chain holds printers on every port.
      const int forPrinters = level == shape.depth ? shape.hubPorts : shape.hubPorts - 1;
      for (int p = 1; p <= forPrinters && placed < shape.printers; ++p)
        devices.push_back(Printer(++placed, hub, p));
      above = hub;
      port = shape.hubPorts;
    }
  }
  const Json controller = {{"name", "xhci"},       {"number", 0},
                           {"ports", kRootPorts},  {"superSpeedPorts", kSuperSpeedPorts},
                           {"service", "USBXHCI"}, {"hubService", "USBHUB3"},
                           {"usb3", true}};
  const Json fleet = {
      {"comment", "generated: " + std::to_string(shape.printers) + " printers behind chained hubs"},
      {"version", 1},
      {"machine",
       {{"windows", "x64"}, {"hostControllers", Json::array({controller})}, {"hubs", hubs}}},
      {"devices", devices}};
  return fleet.dump(2) + "\n";
}

}  // namespace nolpa::sim
