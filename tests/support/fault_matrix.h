#pragma once
// A program under failure injection: the simulated world and host, the
// serial-number library bound from its own code, and a form on the program's
// own routes whose every outside request passes through one FailingPlatform.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "discovery/standard_routes.h"
#include "ident/spooler_control.h"
#include "resources/messages.h"
#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "tests/sim_harness.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/fault_injection.h"
#include "tests/support/usb_bus.h"

namespace nolpa::testing {

struct FaultRig {
  FaultRig() { testing::BindLibraryExports(h.host.Library()); }
  ~FaultRig() {
    fp.counter.Disarm();
    if (h.form && !closed) h.form->FormClose();
    morvalib::RemoveServices();
  }

  // The form on the decorated platform, with the spooler control the
  // program gives it.
  ui::TMainForm& Make() {
    // The library traces the printers added so far on a simulated bus, and
    // its own device requests count and fail with the program's.
    bus.PlugAll();
    morvalib::LibraryServices services = bus.Services(h.world, h.clock);
    services.files = &fp.files;
    morvalib::InstallServices(services);
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
    bool operator==(const Held&) const = default;
  };
  Held Holding() const {
    return {h.world.OpenHandles(), h.world.OpenSets(), h.services.OpenHandles(),
            h.host.OpenHolds(), h.host.LoadedModules(), morvalib::Live()};
  }

  SimHarness h;
  UsbBus bus{h.world};
  FailingPlatform fp{h.Platform()};
  bool closed = false;  // the action closed the form
  int result = -1;       // what a function the action called returned
  std::vector<std::string> listedAtClose;  // ID codes listed when the form closed
};

inline std::ostream& operator<<(std::ostream& os, const FaultRig::Held& held) {
  return os << "handles " << held.handles << ", sets " << held.sets << ", services " << held.services
            << ", holds " << held.holds << ", modules " << held.modules << ", library locks "
            << held.library.locks << " ports " << held.library.ports << " buffers "
            << held.library.buffers;
}

}  // namespace nolpa::testing
