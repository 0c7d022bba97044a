#pragma once
// A TMainForm running the program's own routes against a simulated world.
#include "discovery/standard_routes.h"
#include "sim/virtual_clock.h"
#include "sim/world.h"
#include "tests/support/fakes.h"
#include "ui/main_form.h"

namespace nolpa::testing {

struct SimHarness {
  sim::VirtualClock clock;
  sim::World world{clock};
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
    return p;
  }

  // Makes the form and runs its first Find, as showing the window does.
  ui::TMainForm& Show() {
    const platform::Platform p = Platform();
    form = std::make_unique<ui::TMainForm>(ui::FormServices{p, discovery::StandardRoutes(p)});
    form->SetObserver(&observer);
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

  // A printer on the maker's virtual COM port driver at COM`port`.
  sim::VendorPrinter& AddComPrinter(const std::string& name, int port, std::u16string serial,
                                    std::u16string idName) {
    sim::VendorPrinterConfig config;
    config.name = name;
    config.kind = sim::DeviceKind::VirtualCom;
    config.comPort = port;
    config.serial = std::move(serial);
    config.idName = std::move(idName);
    config.usb.product = u"VX " + std::u16string(name.begin(), name.end());
    return world.AddVendorPrinter(config);
  }
};

}  // namespace nolpa::testing
