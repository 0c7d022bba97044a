// The console companion's list against the window program's Find, on the
// default fleet in this process under Wine: the simulated printers, the
// library linked in, the real clock. The window program's Find is the
// form's Find button; the list is the same Find followed by what list adds
// (the USB locations, the JSON document). Both alternate, 100 rounds each
// after a warm-up, five times; prints "figure NAME VALUE" lines with each
// side's best median.
#include <cstdio>
#include <string>
#include <vector>

#include "app/console/console_listing.h"
#include "benchmarks/win32/stopwatch.h"
#include "discovery/standard_routes.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_text_encoding.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/fleet/fleet.h"
#include "sim/host/host_system.h"
#include "sim/host/service_manager.h"
#include "sim/host/user_locale.h"
#include "sim/library_world.h"
#include "sim/world.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/library_world_services.h"
#include "ui/main_form.h"

namespace {

using namespace nolpa;

class QuietBoxes final : public platform::MessageBoxes {
 public:
  void Show(const std::string&, const std::string&, platform::MessageIcon) override {}
};

class EnglishSystem final : public platform::SystemInfo {
 public:
  std::uint16_t UserDefaultLangId() override { return 0x0409; }
  std::uint32_t MajorVersion() override { return 10; }
};

// The world with the default fleet in it, before its bus is built.
sim::World& WithDefaultFleet(sim::World& world) {
  sim::LoadFleet(world, sim::DefaultFleetJson());
  return world;
}

struct FleetProgram {
  FleetProgram() : world(clock), around(WithDefaultFleet(world)), services(clock) {
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
  ~FleetProgram() {
    form->FormClose();
    morvalib::RemoveServices();
  }

  platform::win32::Win32Clock clock;
  sim::World world;
  sim::LibraryWorld around;
  sim::ServiceManager services;
  sim::HostSystem host;
  sim::WesternUserLocale locale;
  EnglishSystem system;
  QuietBoxes boxes;
  platform::win32::Win32TextEncoding encoding;
  std::unique_ptr<ui::TMainForm> form;
};

// One Find as the window program's Find button runs it.
double FindMs(FleetProgram& program) {
  const double start = bench::CounterMs();
  program.form->Button1Click();
  return bench::CounterMs() - start;
}

// The console's list: the same Find, then the locations and the document.
double ListMs(FleetProgram& program, std::size_t* listed) {
  const double start = bench::CounterMs();
  program.form->Button1Click();
  const std::string json = app::console::ListJson(
      app::console::ListedPrinters(*program.form->DeviceList, &program.around.Usb().Tree()),
      program.encoding);
  const double elapsed = bench::CounterMs() - start;
  *listed = json.size() > 2 ? program.form->DeviceList->Count() : 0;
  return elapsed;
}

}  // namespace

int main() {
  FleetProgram program;
  constexpr int kRounds = 100;
  constexpr int kRuns = 5;
  double bestFind = 0, bestList = 0;
  std::size_t listed = 0;
  for (int run = 0; run < kRuns; ++run) {
    std::vector<double> find, list;
    for (int round = 0; round <= kRounds; ++round) {
      // Each goes first in every other round, so neither gains from the
      // other having warmed what they share.
      double findMs = 0, listMs = 0;
      if (round % 2 == 0) {
        findMs = FindMs(program);
        listMs = ListMs(program, &listed);
      } else {
        listMs = ListMs(program, &listed);
        findMs = FindMs(program);
      }
      if (round == 0) continue;  // the warm-up
      find.push_back(findMs);
      list.push_back(listMs);
    }
    const double f = bench::Median(find), l = bench::Median(list);
    if (run == 0 || f < bestFind) bestFind = f;
    if (run == 0 || l < bestList) bestList = l;
  }
  std::printf("figure fleet_find_wine_ms %.2f\n", bestFind);
  std::printf("figure list_wine_ms %.2f\n", bestList);
  std::printf("figure list_wine_devices %u\n", static_cast<unsigned>(listed));
  return listed > 0 ? 0 : 1;
}
