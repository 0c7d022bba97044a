#pragma once
// A production line for the station: a fleet of printers that are all
// unplugged at first, and a script of plug and unplug events on the
// simulator's virtual clock.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/core/virtual_clock.h"
#include "sim/world.h"

namespace nolpa::testing {

// A fleet of `vendors` printers of the maker's USB driver ("p0", "p1", ...,
// all "VX-410 Receipt" with blank serials), and, when asked, a printer on a
// virtual COM port ("com5", "VX-300 Kiosk   [COM5]") and a printer-class
// printer ("rk", an RK-L5200 in the first socket of the machine's
// controller). Every one of them unplugged.
inline std::string LineFleet(int vendors, bool withCom, bool withClass) {
  std::string devices;
  const auto add = [&](const std::string& device) {
    devices += (devices.empty() ? "" : ",\n") + device;
  };
  for (int i = 0; i < vendors; ++i)
    add(R"({"name": "p)" + std::to_string(i) + R"(", "kind": "vendor", "plugged": false,
      "usb": {"vendorId": "0x0F1A", "productId": "0x0410", "boardCode": "0x04",
              "manufacturer": "Nolpa", "product": "VX-410 Receipt", "highSpeed": true},
      "serial": "BLANK)" +
        std::to_string(1000 + i) + R"(", "idName": "", "identByte": "0x4E"})");
  if (withCom)
    add(R"({"name": "com5", "kind": "com", "comPort": 5, "plugged": false,
      "usb": {"vendorId": "0x0F1A", "productId": "0x0300", "boardCode": "0x08",
              "manufacturer": "Nolpa", "product": "VX-300 Kiosk"},
      "serial": "BLANKC", "idName": "", "identByte": "0x22"})");
  if (withClass)
    add(R"({"name": "rk", "kind": "printer-class", "plugged": false,
      "vendorId": "0x0F1A", "productId": "0x0601",
      "deviceId": "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;DES:Nolpa RK-L5200 Label;",
      "serial": "4E4C5041000000A001", "firmware": "5.10", "socket": {"hub": "xhci", "port": 1}})");
  return R"({"version": 1,
  "machine": {"windows": "x64", "hostControllers": [{"name": "xhci", "number": 0, "ports": 8,
    "service": "USBXHCI", "hubService": "USBHUB3", "usb3": true}]},
  "devices": [
)" + devices +
         "]}";
}

// The line's script: printers plugged in and out by the fleet's events,
// which the world applies when it is next asked anything at or after their
// time; and other things that happen on the line, at the first sleep of the
// program at or after their time (the program's clock over the test's).
class LineScript final : public platform::Clock {
 public:
  LineScript(sim::VirtualClock& clock, sim::World& world) : clock_(clock), world_(world) {}

  // A printer plugged in at `fromMs` and unplugged at `toMs` (never when 0).
  LineScript& Plugged(const std::string& device, std::uint64_t fromMs, std::uint64_t toMs = 0) {
    world_.AddEvents({{fromMs, device, true}});
    if (toMs != 0) world_.AddEvents({{toMs, device, false}});
    endMs_ = std::max(endMs_, std::max(fromMs, toMs));
    return *this;
  }
  // Something else that happens on the line at `atMs`.
  LineScript& At(std::uint64_t atMs, std::function<void()> action) {
    actions_.insert(std::upper_bound(actions_.begin(), actions_.end(), atMs,
                                     [](std::uint64_t t, const Action& a) { return t < a.atMs; }),
                    Action{atMs, std::move(action)});
    endMs_ = std::max(endMs_, atMs);
    return *this;
  }
  // When the last event happens.
  std::uint64_t EndMs() const { return endMs_; }

  std::uint64_t NowMs() override { return clock_.NowMs(); }
  void SleepMs(std::uint32_t ms) override {
    clock_.SleepMs(ms);
    while (!actions_.empty() && actions_.front().atMs <= world_.ElapsedMs()) {
      const std::function<void()> action = std::move(actions_.front().action);
      actions_.erase(actions_.begin());
      action();
    }
  }
  platform::LocalTime LocalNow() override { return clock_.LocalNow(); }

 private:
  struct Action {
    std::uint64_t atMs;
    std::function<void()> action;
  };

  sim::VirtualClock& clock_;
  sim::World& world_;
  std::vector<Action> actions_;
  std::uint64_t endMs_ = 0;
};

}  // namespace nolpa::testing
