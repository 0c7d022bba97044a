#pragma once
// The serial-number library's four exports against a HostilePeripheral: a
// simulated world with one printer-class printer on a USB bus (found by the
// library's lookup, answering the device-ID and port-status requests),
// whose byte channel is the hostile link. Installs the library's services
// for its life.
#include <string>

#include "serial_library/morvalib.h"
#include "serial_library/services.h"
#include "sim/core/virtual_clock.h"
#include "sim/world.h"
#include "tests/support/hostile_link.h"
#include "tests/support/hostile_peripheral.h"
#include "tests/support/usb_bus.h"

namespace nolpa::testing {

inline constexpr char kHostileSerial[] = "4E4C5041000000A001";
inline constexpr char kHostileFirmware[] = "2.07";

class HostileWorld {
 public:
  explicit HostileWorld(const Chooser& choose)
      : printer_(world_.AddClassPrinter({.name = "hostile",
                                         .deviceId = "MFG:Nolpa;CMD:NLP,D4;MDL:RK-L5200;",
                                         .serial = "000000000000000000",
                                         .firmware = "0.00"})),
        peripheral_(kHostileSerial, kHostileFirmware, choose),
        link_(world_.Files(), clock_, printer_.InterfacePath(), peripheral_, choose) {
    bus_.PlugAll();
    morvalib::LibraryServices services = bus_.Services(world_, clock_);
    services.files = &link_;
    installed_ = morvalib::InstallServices(services);
  }
  ~HostileWorld() { morvalib::RemoveServices(); }
  HostileWorld(const HostileWorld&) = delete;
  HostileWorld& operator=(const HostileWorld&) = delete;

  bool Installed() const { return installed_; }
  // From now on the printer (and its link) choose as `choose` says.
  void Choose(const Chooser& choose) {
    peripheral_.SetChooser(choose);
    link_.SetChooser(choose);
  }

  int ReadSerial(std::string* serial) {
    char buffer[64] = {};
    int length = 0;
    const int result = ::GetUSBSerialNumber(Path(), buffer, sizeof buffer, &length, 0);
    *serial = buffer;
    return result;
  }
  int WriteSerial(const std::string& serial) {
    return ::SetUSBSerialNumber(Path(), serial.c_str(), 0);
  }
  int ReadFirmware(std::string* version) {
    char buffer[128] = {};
    int length = 0;
    const int result = ::GetPrinterFirmwareVersion(Path(), buffer, sizeof buffer, &length);
    *version = buffer;
    return result;
  }
  int SendStatus(std::string* reply) {
    const unsigned char command[] = {'s', 't', 0x01, 0x00, 0x01};
    unsigned char buffer[512] = {};
    int length = 0;
    const int result =
        ::SendReceiveD4Command(Path(), command, sizeof command, buffer, sizeof buffer, &length);
    reply->assign(reinterpret_cast<const char*>(buffer), result == MORVALIB_OK ? length : 0);
    return result;
  }

  HostilePeripheral& Printer() { return peripheral_; }
  sim::VirtualClock& Clock() { return clock_; }
  sim::World& World() { return world_; }

 private:
  const char* Path() const { return path_.c_str(); }

  sim::VirtualClock clock_;
  sim::World world_{clock_};
  UsbBus bus_{world_};
  sim::ClassPrinter& printer_;
  std::string path_ = printer_.InterfacePath();
  HostilePeripheral peripheral_;
  HostileLink link_;
  bool installed_ = false;
};

}  // namespace nolpa::testing
