#pragma once
// A TMainForm running the program's own routes against a simulated world.
#include "discovery/standard_routes.h"
#include "sim/host_system.h"
#include "sim/virtual_clock.h"
#include "sim/world.h"
#include "tests/support/fakes.h"
#include "ui/main_form.h"

namespace nolpa::testing {

struct SimHarness {
  sim::VirtualClock clock;
  sim::World world{clock};
  sim::HostSystem host;
  FakeSystemInfo system;
  RecordingMessageBoxes boxes;
  RecordingObserver observer;
  std::unique_ptr<ui::TMainForm> form;

  platform::Platform Platform() {
    platform::Platform p;
    p.clock = &clock;
    p.files = &world.Files();
    p.interfaces = &world.Interfaces();
    p.dosDevices = &world.DosDevices();
    p.system = &system;
    p.messageBoxes = &boxes;
    p.hostFiles = &host.Files();
    p.modules = &host.Modules();
    p.program = &host.Program();
    return p;
  }

  // Makes the form with the program's own routes; `services` may set the
  // hooks before the form takes them.
  ui::TMainForm& Make(const std::function<void(ui::FormServices&)>& services = {}) {
    const platform::Platform p = Platform();
    ui::FormServices s{p, discovery::StandardRoutes(p, [this] { return form->SerialLibrary(); })};
    if (services) services(s);
    form = std::make_unique<ui::TMainForm>(std::move(s));
    form->SetObserver(&observer);
    return *form;
  }

  // Makes the form and prepares the work, as showing the window does.
  ui::TMainForm& Show() {
    Make();
    form->FormShow();
    return *form;
  }

  sim::VendorPrinter& AddVendor(const std::string& name, std::u16string serial,
                                std::u16string idName, std::uint8_t board = sim::kOnboardUsb1) {
    sim::VendorPrinterConfig config;
    config.name = name;
    config.serial = std::move(serial);
    config.idName = std::move(idName);
    config.usb.boardCode = board;
    config.usb.product = u"VX " + std::u16string(name.begin(), name.end());
    return world.AddVendorPrinter(config);
  }
};

}  // namespace nolpa::testing
