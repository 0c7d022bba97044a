#pragma once
// The promises the library's exports keep for the printer a caller names,
// checked around one call against a simulated world: a serial number,
// firmware version or reply returned is the caller's printer's; a write
// that succeeds changed the caller's printer and no other; a failure
// changed nothing; the call waited no longer than its bound; the library
// and the devices hold nothing afterwards. Shared by the native tests and
// the fuzz targets (no test framework here): each check gives the broken
// promise as a text, empty when every one held.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "serial_library/channel_api.h"
#include "serial_library/live_objects.h"
#include "serial_library/morvalib.h"
#include "serial_library/process_lock.h"
#include "sim/host/channel_api_standin.h"
#include "sim/host/spooler_world.h"
#include "sim/printers/class_printer.h"
#include "sim/usb/usb_topology.h"
#include "sim/world.h"

namespace nolpa::testing {

enum class Export { GetSerial, SetSerial, GetFirmware, SendReceive };
inline constexpr Export kExports[] = {Export::GetSerial, Export::SetSerial, Export::GetFirmware,
                                      Export::SendReceive};

inline const char* ExportName(Export which) {
  switch (which) {
    case Export::GetSerial: return "GetUSBSerialNumber";
    case Export::SetSerial: return "SetUSBSerialNumber";
    case Export::GetFirmware: return "GetPrinterFirmwareVersion";
    case Export::SendReceive: return "SendReceiveD4Command";
  }
  return "?";
}

// What a printer-class printer stores that an export reads or changes: the
// serial number it reports now, the one it will report after its next
// restart (a written one waits for that; unplugging it is one), and its
// firmware version. What a call changes is the last two: a restart while
// the call runs (its hub dropped off) turns the first into the second, and
// is the bus's doing, not the call's.
struct StoredValues {
  std::string serial;
  std::string next;
  std::string firmware;
  bool operator==(const StoredValues& o) const { return next == o.next && firmware == o.firmware; }
};

// Every printer-class printer's stored values, in the world's order.
inline std::vector<StoredValues> Stored(sim::World& world) {
  std::vector<StoredValues> values;
  for (const auto& device : world.Devices())
    if (auto* printer = dynamic_cast<sim::ClassPrinter*>(device.get()))
      values.push_back(
          {printer->Serial(),
           printer->Peripheral().Commands().PendingSerial().value_or(printer->Serial()),
           printer->Firmware()});
  return values;
}

// The bytes two hexadecimal digits each stand for ("4142" gives "AB"); an
// empty text for anything else.
inline std::string FromHex(const std::string& hex) {
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    if (digit(hex[i]) < 0 || digit(hex[i + 1]) < 0) return {};
    bytes += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
  }
  return hex.size() % 2 == 0 ? bytes : std::string();
}

// ": printer 2 \"A1\" then \"B1\", firmware \"1.2\", became ..." for the
// first printer whose values are not those expected.
inline std::string DescribeChange(const std::vector<StoredValues>& expected,
                                  const std::vector<StoredValues>& after) {
  const auto text = [](const StoredValues& v) {
    return "\"" + v.serial + "\" then \"" + v.next + "\", firmware \"" + v.firmware + "\"";
  };
  for (std::size_t i = 0; i < expected.size() && i < after.size(); ++i)
    if (!(expected[i] == after[i]))
      return ": printer " + std::to_string(i) + " " + text(expected[i]) + " became " +
             text(after[i]);
  return ": the printers changed in number";
}

struct ExportCall {
  int result = 0;
  std::string broken;  // empty when every promise held
};

// Calls `which` for the printer `caller` through `path` (a write stores
// `newSerial`, 18 characters; the command of SendReceiveD4Command is the
// serial-number read for model 0) and checks what it returned and changed.
inline ExportCall CallAndCheck(sim::World& world, platform::Clock& clock, Export which,
                               const std::string& path, const sim::ClassPrinter& caller,
                               const std::string& newSerial, std::uint64_t boundMs) {
  std::size_t index = 0;
  for (const auto& device : world.Devices()) {
    if (device.get() == &caller) break;
    if (dynamic_cast<const sim::ClassPrinter*>(device.get())) ++index;
  }
  const std::vector<StoredValues> before = Stored(world);
  const StoredValues& own = before.at(index);
  const std::uint64_t start = clock.NowMs();
  char text[128] = {};
  int length = 0;
  std::string returned;
  ExportCall call;
  switch (which) {
    case Export::GetSerial:
      call.result = GetUSBSerialNumber(path.c_str(), text, sizeof text, &length, 0);
      returned = text;
      break;
    case Export::SetSerial:
      call.result = SetUSBSerialNumber(path.c_str(), newSerial.c_str(), 0);
      break;
    case Export::GetFirmware:
      call.result = GetPrinterFirmwareVersion(path.c_str(), text, sizeof text, &length);
      returned = text;
      break;
    case Export::SendReceive: {
      const unsigned char command[] = {'t', 'p', 0x04, 0x00, 0x01, 0x27, 0x03, 0xF0};
      unsigned char reply[128] = {};
      call.result =
          SendReceiveD4Command(path.c_str(), command, sizeof command, reply, sizeof reply, &length);
      if (call.result == 0) returned.assign(reinterpret_cast<const char*>(reply), length);
      break;
    }
  }
  const std::uint64_t elapsed = clock.NowMs() - start;
  std::vector<StoredValues> expected = before;
  if (call.result == 0 && which == Export::SetSerial) expected[index].next = newSerial;
  const StoredValues ownAfter = Stored(world).at(index);
  // What the printer reports may have changed by a restart during the call.
  const auto reported = [&](const std::string& serial) {
    return serial == own.serial || serial == ownAfter.serial;
  };
  const std::string name = ExportName(which);
  if (call.result == 0 && which == Export::GetSerial && !reported(returned))
    call.broken = name + " returned \"" + returned + "\", not the caller's \"" + own.serial + "\"";
  else if (call.result == 0 && which == Export::GetFirmware && returned != own.firmware)
    call.broken =
        name + " returned \"" + returned + "\", not the caller's \"" + own.firmware + "\"";
  else if (call.result == 0 && which == Export::SendReceive &&
           !reported(returned.starts_with("tp:01F0:") && returned.size() >= 9
                         ? FromHex(returned.substr(8, returned.find(';') - 8))
                         : ""))
    call.broken = name + " returned another reply than the caller's: " + returned;
  else if (const std::vector<StoredValues> after = Stored(world); after != expected)
    call.broken =
        name +
        (call.result == 0 ? " changed another printer than the caller's"
                          : " failed (" + std::to_string(call.result) + ") and changed a printer") +
        DescribeChange(expected, after);
  else if (elapsed > boundMs)
    call.broken = name + " waited " + std::to_string(elapsed) + " ms";
  return call;
}

// What may still be held after a call: the world's devices and sets, the
// bus's controller and hub handles and sets, the spooler's registry keys,
// the channel API's channels and module, the library's lock, ports and
// buffers, and a printer left in packet mode. Empty when nothing is.
inline std::string LeftOpen(sim::World& world, sim::UsbTopology& usb,
                            sim::SpoolerWorld* spooler = nullptr,
                            sim::ChannelApiStandIn* api = nullptr) {
  if (world.OpenHandles() != 0) return "a device file was left open";
  if (world.OpenSets() != 0 || usb.OpenSets() != 0) return "an interface set was left open";
  if (usb.OpenHandles() != 0) return "a controller or hub was left open";
  if (spooler && spooler->OpenKeys() != 0) return "a registry key was left open";
  if (api && api->OpenChannels() != 0) return "a channel was left open";
  if (morvalib::channel_api::Loaded()) return "the channel API was left loaded";
  if (morvalib::ProcessLockScope::LockExists()) return "the process-wide lock was left";
  if (!(morvalib::Live() == morvalib::LiveObjects{})) return "a port or buffer was left";
  for (const auto& device : world.Devices())
    if (auto* printer = dynamic_cast<sim::ClassPrinter*>(device.get()))
      if (printer->Peripheral().InPacketMode()) return printer->Name() + " left in packet mode";
  return {};
}

}  // namespace nolpa::testing
