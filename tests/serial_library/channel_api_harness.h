#pragma once
// A simulated spooler with its printers, their printer-class devices and the
// maker's channel API (the stand-in), installed as the serial-number
// library's services. The device locations stand in for the USB hub walk:
// a test says where each device is plugged in.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "serial_library/channel_api.h"
#include "serial_library/channel_api_port.h"
#include "serial_library/morvalib.h"
#include "serial_library/open_printer_port.h"
#include "serial_library/process_lock.h"
#include "serial_library/services.h"
#include "serial_library/spooler_printers.h"
#include "serial_library/usb_location.h"
#include "sim/core/virtual_clock.h"
#include "sim/host/channel_api_standin.h"
#include "sim/host/spooler_world.h"
#include "sim/world.h"

namespace nolpa::testing {

inline constexpr char kDriverName[] = "Nolpa Line";
inline constexpr char kDriverFolder[] = "C:\\WINDOWS\\system32\\spool\\DRIVERS\\W32X86\\3";
inline constexpr char kSystemFolder[] = "C:\\WINDOWS\\system32";
inline constexpr char kChannelApiKey[] = "Software\\VARDU\\QTR7\\Driver\\Nolpa Line";
inline constexpr char kDeviceIdD4[] = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;CLS:PRINTER;";

struct ChannelApiHarness {
  sim::VirtualClock clock;
  sim::World world{clock};
  sim::SpoolerWorld spooler{world};
  sim::ChannelApiStandIn api{world, spooler};
  // Device path -> UsbLocation, as the hub walk would give it.
  std::map<std::string, std::string> locations;
  morvalib::LibraryServices services{.files = &world.Files(),
                                     .clock = &clock,
                                     .spooler = &spooler.Spooler(),
                                     .registry = &spooler.Registry(),
                                     .interfaces = &world.Interfaces(),
                                     .system = &spooler.System(),
                                     .modules = &api.Modules()};

  // The driver every printer uses; its registry key names ZQAPI2.DLL, which
  // sits in the system folder.
  ChannelApiHarness() {
    spooler.SetSystemDirectory(kSystemFolder);
    spooler.AddDriver({.name = kDriverName,
                       .driverPath = std::string(kDriverFolder) + "\\NLLINE.DLL",
                       .dataFile = "NLLINE.INI"});
    spooler.SetMachineString(kChannelApiKey, "ZQAPI32", "ZQAPI2.DLL");
    api.AddLibrary(std::string(kSystemFolder) + "\\ZQAPI2.DLL");
    EXPECT_TRUE(morvalib::InstallServices(services));
  }

  ~ChannelApiHarness() {
    EXPECT_FALSE(morvalib::channel_api::Loaded()) << "the channel API was left loaded";
    EXPECT_EQ(morvalib::channel_api::LiveBuffers(), 0) << "a sized call's buffer was not freed";
    EXPECT_EQ(morvalib::ProcessLockHold::Holds(), 0);
    EXPECT_FALSE(morvalib::ProcessLockScope::LockExists());
    EXPECT_EQ(api.OpenChannels(), 0u) << "a channel was left open";
    EXPECT_EQ(spooler.OpenKeys(), 0u) << "a registry key was left open";
    // Whatever a failing test left, the next one starts with nothing loaded.
    for (int i = 0; i < 64 && morvalib::channel_api::Loaded(); ++i) morvalib::channel_api::Unload();
    morvalib::RemoveServices();
  }

  morvalib::UsbLocator Locator() {
    return [this](const std::string& path) {
      const auto found = locations.find(path);
      return found == locations.end() ? std::string() : found->second;
    };
  }

  // A printer-class printer `device` at `location`, behind spooler printer
  // `printer` on port "USB00<n>" (its interface's "Port Number" n, no
  // "Base Name").
  sim::ClassPrinter& AddPrinter(const std::string& device, const std::string& printer, int n,
                                const std::string& location,
                                const std::string& deviceId = kDeviceIdD4) {
    sim::ClassPrinter& p =
        world.AddClassPrinter({.name = device,
                               .deviceId = deviceId,
                               .serial = "4E4C5041000000A0" + std::to_string(10 + n),
                               .firmware = "1.2" + std::to_string(n)});
    spooler.AddPrinter({.name = printer,
                        .port = "USB00" + std::to_string(n),
                        .driver = kDriverName,
                        .device = device});
    spooler.SetInterfaceValues(device, {.portNumber = static_cast<std::uint32_t>(n)});
    locations[p.InterfacePath()] = location;
    return p;
  }

  // A channel-API port for spooler printer `printer`, matched to the device
  // its ports lead to where that device is, opened.
  std::unique_ptr<morvalib::TRKZQAPI> OpenPort(const std::string& printer) {
    const std::string device = morvalib::SpoolerPrinterDevice(services, printer);
    auto port = std::make_unique<morvalib::TRKZQAPI>(
        Locator(), morvalib::InstanceIdentifier(device).value_or(""));
    morvalib::OpenParams params;
    params.portKind = morvalib::kChannelApiPortKind;
    params.printerName = printer;
    params.usbLocation = Locator()(device);
    EXPECT_EQ(port->SetParams(params), 1);
    EXPECT_EQ(port->Open(), 1);
    return port;
  }

  // The open step as the library makes it for a spooler printer: the
  // device's location, the matching spooler printer, its port opened.
  morvalib::PortOpener Opener() {
    return [this](const char* devicePath, std::unique_ptr<morvalib::TRKCCC>* port) {
      const std::string location = Locator()(devicePath);
      morvalib::OpenParams params;
      params.usbLocation = location;
      std::unique_ptr<morvalib::TRKCCC> made = morvalib::MakeChannelApiPort(
          morvalib::InstanceIdentifier(devicePath).value_or(""), location,
          morvalib::HubTableGeneration(), Locator(), &params);
      if (!made || made->SetParams(params) != 1 || made->Open() != 1) return MORVALIB_E_NO_PRINTER;
      *port = std::move(made);
      return MORVALIB_OK;
    };
  }
};

}  // namespace nolpa::testing
