#pragma once
#include <iterator>

// A TMainForm running the program's own routes against a simulated world.
#include "discovery/standard_routes.h"
#include "sim/core/virtual_clock.h"
#include "sim/host/host_system.h"
#include "sim/host/service_manager.h"
#include "sim/host/user_locale.h"
#include "sim/world.h"
#include "tests/support/fakes.h"
#include "ui/main_form.h"

namespace nolpa::testing {

struct SimHarness {
  sim::VirtualClock clock;
  sim::World world{clock};
  sim::ServiceManager services{clock, &world.Departures()};
  sim::HostSystem host;
  FakeSystemInfo system;
  RecordingMessageBoxes boxes;
  sim::WesternUserLocale locale;
  RecordingObserver observer;
  std::unique_ptr<ui::TMainForm> form;
  std::size_t identBytesGiven = 0;

  platform::Platform Platform() {
    platform::Platform p;
    p.clock = &clock;
    p.files = &world.Files();
    p.interfaces = &world.Interfaces();
    p.dosDevices = &world.DosDevices();
    p.system = &system;
    p.messageBoxes = &boxes;
    p.serviceManager = &services;
    p.textCompare = &locale;
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

  // Each printer answers the identification query with a byte of its own,
  // so a host that assumes one fixed answer fails.
  std::uint8_t NextIdentByte() {
    static constexpr std::uint8_t kAnswers[] = {0x4E, 0xA7, 0x21, 0x63, 0xC2, 0x09, 0x6B, 0xE5};
    return kAnswers[identBytesGiven++ % std::size(kAnswers)];
  }

  sim::VendorPrinter& AddVendor(const std::string& name, std::u16string serial,
                                std::u16string idName, std::uint8_t board = sim::kOnboardUsb1) {
    sim::VendorPrinterConfig config;
    config.name = name;
    config.identByte = NextIdentByte();
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
