#include "benchmarks/fleet_list.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/console/console_listing.h"
#include "discovery/standard_routes.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/fleet/fleet.h"
#include "sim/fleet/generated_fleet.h"
#include "sim/host/host_system.h"
#include "sim/host/service_manager.h"
#include "sim/host/user_locale.h"
#include "sim/library_world.h"
#include "sim/world.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/library_world_services.h"
#include "ui/main_form.h"

namespace nolpa::bench {

namespace {

class QuietBoxes final : public platform::MessageBoxes {
 public:
  void Show(const std::string&, const std::string&, platform::MessageIcon) override {}
};

class EnglishSystem final : public platform::SystemInfo {
 public:
  std::uint16_t UserDefaultLangId() override { return 0x0409; }
  std::uint32_t MajorVersion() override { return 10; }
};

// The world with the fleet in it, before its bus is built.
sim::World& WithFleet(sim::World& world, std::string_view fleetJson) {
  sim::LoadFleet(world, fleetJson);
  world.Recorder().SetEnabled(false);  // as in a long run of the simulator program
  return world;
}

}  // namespace

struct FleetList::Parts {
  Parts(platform::Clock& clock, platform::TextEncoding& encoding, std::string_view fleetJson)
      : world(clock), around(WithFleet(world, fleetJson)), services(clock), encoding(encoding) {
    morvalib::DropHubTable();
    testing::BindLibraryExports(host.Library());
    morvalib::InstallServices(testing::LibraryWorldServices(world, clock, around));
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
    form = std::make_unique<ui::TMainForm>(ui::FormServices{
        p, discovery::StandardRoutes(p, [this] { return form->SerialLibrary(); })});
    form->PrepareWork();
  }
  ~Parts() {
    form->FormClose();
    morvalib::RemoveServices();
    morvalib::DropHubTable();
  }

  sim::World world;
  sim::LibraryWorld around;
  sim::ServiceManager services;
  sim::HostSystem host;
  sim::WesternUserLocale locale;
  EnglishSystem system;
  QuietBoxes boxes;
  platform::TextEncoding& encoding;
  std::unique_ptr<ui::TMainForm> form;
};

FleetList::FleetList(platform::Clock& clock, platform::TextEncoding& encoding,
                     std::string_view fleetJson)
    : parts_(std::make_unique<Parts>(clock, encoding, fleetJson)) {}

FleetList::~FleetList() = default;

void FleetList::Find() { parts_->form->Button1Click(); }

std::size_t FleetList::List() {
  parts_->form->Button1Click();
  const std::string json = app::console::ListJson(
      app::console::ListedPrinters(*parts_->form->DeviceList, &parts_->around.Usb().Tree()),
      parts_->encoding);
  return json.size() > 2 ? parts_->form->DeviceList->Count() : 0;
}

std::size_t FleetList::SerialNumbersRead() const {
  const discovery::DeviceList& list = *parts_->form->DeviceList;
  std::size_t read = 0;
  for (std::size_t i = 0; i < list.Count(); ++i) {
    const discovery::DeviceRecord record = list.Record(i);
    if (record.infoLine2.find("USB Printer Class") != std::string::npos && !record.idCode.empty())
      ++read;
  }
  return read;
}

double GeneratedFleetListMs(platform::Clock& clock, platform::TextEncoding& encoding, int printers,
                            const std::function<double()>& nowMs, int rounds, int runs) {
  FleetList program(clock, encoding, sim::ChainedFleetJson({.printers = printers}));
  program.List();  // the warm-up
  if (program.SerialNumbersRead() != static_cast<std::size_t>(printers)) return -1;
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
      const double start = nowMs();
      program.List();
      times.push_back(nowMs() - start);
      if (program.SerialNumbersRead() != static_cast<std::size_t>(printers)) return -1;
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    if (run == 0 || median < best) best = median;
  }
  return best;
}

}  // namespace nolpa::bench
