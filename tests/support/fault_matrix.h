#pragma once
// A program under failure injection: the simulated world and host, the
// serial-number library bound from its own code, and a form on the program's
// own routes whose every outside request passes through one FailingPlatform.
// The library's own lookup services (the bus it traces printers on, the
// spooler, registry, system folders and channel API) count and fail on the
// same counter.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "discovery/standard_routes.h"
#include "ident/spooler_control.h"
#include "resources/messages.h"
#include "serial_library/channel_api.h"
#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "sim/host/channel_api_standin.h"
#include "sim/host/spooler_world.h"
#include "tests/support/failing_library_services.h"
#include "tests/support/fault_injection.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/sim_harness.h"
#include "tests/support/usb_bus.h"

namespace nolpa::testing {

struct FaultRig {
  // The checks read the world's state, never its transcript: a run keeps no
  // record of its thousands of requests, which makes it several times
  // cheaper.
  FaultRig() {
    testing::BindLibraryExports(h.host.Library());
    h.world.Recorder().SetEnabled(false);
  }
  ~FaultRig() {
    fp.counter.Disarm();
    if (h.form && !closed) h.form->FormClose();
    morvalib::RemoveServices();
  }

  // The library's services, every one decorated: it traces the printers
  // added so far on the simulated bus, and looks for spooler printers with
  // the channel API (none unless a test adds them).
  void InstallLibraryServices() {
    bus.PlugAll();
    morvalib::LibraryServices services = bus.Services(h.world, h.clock);
    services.files = &fp.files;
    services.deviceTree = &tree;
    services.hubFiles = &hubFiles;
    services.interfaces = &libraryInterfaces;
    services.spooler = &printSpooler;
    services.registry = &registry;
    services.system = &system;
    services.modules = &libraryModules;
    ASSERT_TRUE(morvalib::InstallServices(services));
    // Every channel-API operation counts as a request; a refused
    // ZQInitialize is remembered, since no ZQRelease may follow it.
    for (ChannelApiBehaviour* library : apiLibraries)
      library->fails = [this](const char* operation) {
        const bool fails = fp.counter.Fails((std::string("ChannelApi::") + operation).c_str());
        if (fails && std::string_view(operation) == "ZQInitialize") ++refusedInitializes;
        return fails;
      };
  }
  // Registers a channel-API library file that counts and fails its calls.
  void AddChannelApi(const std::string& path) { apiLibraries.push_back(&api.AddLibrary(path)); }

  // The form on the decorated platform, with the spooler control the
  // program gives it.
  ui::TMainForm& Make() {
    InstallLibraryServices();
    const platform::Platform p = fp.Platform();
    ui::FormServices s{p, discovery::StandardRoutes(p, [this] { return h.form->SerialLibrary(); })};
    s.controlSpooler = [p](int mode) { return ident::ControlSpooler(p, mode); };
    h.form = std::make_unique<ui::TMainForm>(std::move(s));
    h.form->SetObserver(&h.observer);
    return *h.form;
  }

  bool Shown(resources::MessageId id) const {
    const std::string text = resources::Message(id).english;
    for (const auto& box : h.boxes.shown)
      if (box.text == text) return true;
    return false;
  }

  // The ID codes of the listed printers, in list order.
  std::vector<std::string> ListedCodes() const {
    std::vector<std::string> codes;
    if (!h.form->DeviceList) return codes;  // closed, or never prepared
    for (std::size_t i = 0; i < h.form->DeviceList->Count(); ++i)
      codes.push_back(h.form->DeviceList->Record(i).idCode);
    return codes;
  }

  // The index of the listed printer whose ID code is `idCode`; -1 if none.
  int IndexOfCode(const std::string& idCode) const {
    const std::size_t n = h.form->ComboBox1.Items().size();
    for (std::size_t i = 0; i < n; ++i)
      if (h.form->DeviceList->Record(i).idCode == idCode) return static_cast<int>(i);
    return -1;
  }
  void SelectCode(const std::string& idCode) {
    const int index = IndexOfCode(idCode);
    ASSERT_GE(index, 0) << idCode;
    h.form->ComboBox1.SelectionFromUser(index);
    h.form->ComboBox1Change();
  }

  // What is held besides the form's own library load and file hold.
  struct Held {
    std::size_t handles, sets, services, holds, modules;
    morvalib::LiveObjects library;
    std::size_t usbHandles, usbSets, keys, apiModules, channels;
    bool apiLoaded, apiInitialised;
    bool operator==(const Held&) const = default;
  };
  Held Holding() const {
    return {h.world.OpenHandles(), h.world.OpenSets(),     h.services.OpenHandles(),
            h.host.OpenHolds(),    h.host.LoadedModules(), morvalib::Live(),
            bus.usb.OpenHandles(), bus.usb.OpenSets(),     spooler.OpenKeys(),
            api.LoadedModules(),   api.OpenChannels(),     morvalib::channel_api::Loaded(),
            api.IsInitialised()};
  }

  using ChannelApiBehaviour = sim::ChannelApiBehaviour;

  SimHarness h;
  UsbBus bus{h.world};
  sim::SpoolerWorld spooler{h.world};
  sim::ChannelApiStandIn api{h.world, spooler};
  std::vector<ChannelApiBehaviour*> apiLibraries;
  int refusedInitializes = 0;
  FailingPlatform fp{h.Platform()};
  FailingDeviceTree tree{bus.usb.Tree(), fp.counter};
  FailingUsbHubFiles hubFiles{bus.usb.HubFiles(), fp.counter};
  FailingDeviceInterfaces libraryInterfaces{bus.usb.Interfaces(), fp.counter};
  FailingPrintSpooler printSpooler{spooler.Spooler(), fp.counter};
  FailingRegistry registry{spooler.Registry(), fp.counter};
  FailingSystemFolders system{spooler.System(), fp.counter};
  FailingModules libraryModules{api.Modules(), fp.counter};
  bool closed = false;                     // the action closed the form
  int result = -1;                         // what a function the action called returned
  std::vector<std::string> listedAtClose;  // ID codes listed when the form closed
};

inline std::ostream& operator<<(std::ostream& os, const FaultRig::Held& held) {
  return os << "handles " << held.handles << ", sets " << held.sets << ", services "
            << held.services << ", holds " << held.holds << ", modules " << held.modules
            << ", library locks " << held.library.locks << " ports " << held.library.ports
            << " buffers " << held.library.buffers << ", usb handles " << held.usbHandles
            << " sets " << held.usbSets << ", registry keys " << held.keys << ", channel API loads "
            << held.apiModules << " channels " << held.channels << (held.apiLoaded ? " bound" : "")
            << (held.apiInitialised ? " initialised" : "");
}

}  // namespace nolpa::testing
