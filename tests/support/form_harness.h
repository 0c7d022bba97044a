#pragma once
// A TMainForm wired to fakes, with probes a test scripts.
#include <memory>
#include <string>
#include <vector>

#include "sim/host/host_system.h"
#include "tests/support/fakes.h"
#include "ui/main_form.h"

namespace nolpa::testing {

class VirtualTestClock : public platform::Clock {
 public:
  std::uint64_t now = 0;
  platform::LocalTime local{2027, 3, 1, 1, 9, 5, 3, 7};
  std::uint64_t NowMs() override { return now; }
  void SleepMs(std::uint32_t ms) override { now += ms; }
  platform::LocalTime LocalNow() override { return local; }
};

struct FormHarness {
  FakeSystemInfo system;
  RecordingMessageBoxes boxes;
  VirtualTestClock clock;
  RecordingObserver observer;
  discovery::Routes routes;
  // Where the library is written out and loaded from.
  sim::HostSystem host;
  // Filled into the platform before the form is made; tests may set them.
  platform::DeviceFiles* files = nullptr;
  platform::DeviceInterfaces* interfaces = nullptr;
  platform::DosDevices* dos = nullptr;
  std::unique_ptr<ui::TMainForm> form;

  platform::Platform MakePlatform() {
    platform::Platform p;
    p.clock = &clock;
    p.files = files;
    p.interfaces = interfaces;
    p.dosDevices = dos;
    p.system = &system;
    p.messageBoxes = &boxes;
    p.hostFiles = &host.Files();
    p.modules = &host.Modules();
    p.program = &host.Program();
    return p;
  }

  ui::TMainForm& Make() {
    form = std::make_unique<ui::TMainForm>(ui::FormServices{MakePlatform(), routes});
    form->SetObserver(&observer);
    return *form;
  }
};

// A probe that appends the given records at the given indices.
inline discovery::Probe ProbeListing(
    const std::vector<std::pair<int, discovery::DeviceRecord>>& found,
    std::vector<int>* seen = nullptr) {
  return [found, seen](int index, discovery::DeviceList& list) {
    if (seen != nullptr) seen->push_back(index);
    for (const auto& [at, record] : found)
      if (at == index) {
        list.Append(record);
        return true;
      }
    return false;
  };
}

inline discovery::DeviceRecord VendorRecord(const std::string& product, const std::string& code,
                                            const std::string& name = "NAME") {
  return {"\\\\?\\usb#" + product + "\\RK",
          product,
          code,
          name,
          "",
          "USB2.0 High Speed, Onboard USB(1) Series Ver.1.0 "};
}

inline discovery::DeviceRecord PrinterClassRecord(const std::string& model,
                                                  const std::string& code) {
  return {"\\\\?\\usb#print#" + model, model, code, "", "", "USB Printer Class"};
}

}  // namespace nolpa::testing
