// Fleet files: devices to and from JSON.
#include "sim/fleet/fleet.h"

#include <algorithm>

#include "sim/core/text.h"
#include "sim/fleet/fleet_json.h"

namespace nolpa::sim {

using namespace fleet_json;

namespace {

constexpr std::uint64_t kMax16 = 0xFFFF;

Json Parse(std::string_view text) {
  try {
    return Json::parse(text.begin(), text.end());
  } catch (const Json::exception& e) {
    throw FleetError(std::string("not valid JSON: ") + e.what());
  }
}

template <typename T>
void ReadInto(const Json& j, const char* key, T& out, std::uint64_t max) {
  if (const Json* v = Field(j, key)) out = static_cast<T>(ReadNumber(*v, key, max));
}

UsbDeviceInfo ReadUsb(const Json& j) {
  CheckKeys(j,
            {"vendorId", "productId", "bcdUSB", "bcdDevice", "highSpeed", "boardCode",
             "manufacturer", "product"},
            "usb");
  UsbDeviceInfo usb;
  ReadInto(j, "vendorId", usb.vendorId, kMax16);
  ReadInto(j, "productId", usb.productId, kMax16);
  ReadInto(j, "bcdUSB", usb.bcdUsb, kMax16);
  ReadInto(j, "bcdDevice", usb.bcdDevice, kMax16);
  ReadInto(j, "boardCode", usb.boardCode, 0xFF);
  if (const Json* v = Field(j, "highSpeed")) usb.highSpeed = ReadBool(*v, "highSpeed");
  if (const Json* v = Field(j, "manufacturer")) usb.manufacturer = ReadUnits(*v, "manufacturer");
  if (const Json* v = Field(j, "product")) usb.product = ReadUnits(*v, "product");
  return usb;
}

void ReadIdentity(const Json& j, VendorPrinterConfig& c) {
  if (const Json* v = Field(j, "serial")) c.serial = ReadUnits(*v, "serial");
  if (const Json* v = Field(j, "idName")) c.idName = ReadUnits(*v, "idName");
  if (const Json* v = Field(j, "model")) c.model = ReadByteString(*v, "model");
  if (const Json* v = Field(j, "firmware")) c.firmware = ReadByteString(*v, "firmware");
  ReadInto(j, "identByte", c.identByte, 0xFF);
  if (!IsValidIdentByte(c.identByte))
    throw FleetError("identByte: a host would not read " + HexNumber(c.identByte, 2) +
                     " back as a one-byte answer");
}

SimDevice& AddVendor(World& world, const Json& j, DeviceKind kind) {
  CheckKeys(j,
            {"name", "kind", "interfacePath", "comPort", "dosTarget", "usb", "serial", "idName",
             "model", "firmware", "identByte", "boardMemory", "printed", "plugged", "faults"},
            "device");
  VendorPrinterConfig c;
  c.kind = kind;
  c.name = ReadString(j.at("name"), "name");
  if (const Json* v = Field(j, "interfacePath")) c.interfacePath = ReadString(*v, "interfacePath");
  ReadInto(j, "comPort", c.comPort, 255);
  if (kind == DeviceKind::VirtualCom && c.comPort == 0) throw FleetError("comPort missing");
  if (const Json* v = Field(j, "dosTarget")) c.dosTarget = ReadString(*v, "dosTarget");
  if (const Json* v = Field(j, "usb")) c.usb = ReadUsb(*v);
  ReadIdentity(j, c);
  if (const Json* v = Field(j, "printed")) c.printed = ReadByteString(*v, "printed");
  VendorPrinter& p = world.AddVendorPrinter(c);
  if (const Json* v = Field(j, "boardMemory")) ReadBoardMemory(*v, p.Board());
  return p;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The spooler keeps one printer of each name, case ignored.
void CheckSeatFree(const World& world, const SpoolerSeat& seat) {
  const auto same = [](const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
  };
  for (const auto& device : world.Devices()) {
    const auto* printer = dynamic_cast<const ClassPrinter*>(device.get());
    if (printer != nullptr && printer->Seat() && same(printer->Seat()->printer, seat.printer))
      throw FleetError("spooler.printer: \"" + seat.printer + "\" is taken by " + printer->Name());
  }
}

SimDevice& AddClass(World& world, const Json& j) {
  CheckKeys(j,
            {"name", "kind", "interfacePath", "vendorId", "productId", "deviceId", "serial",
             "pendingSerial", "firmware", "spooler", "socket", "plugged", "faults"},
            "device");
  ClassPrinterConfig c;
  c.name = ReadString(j.at("name"), "name");
  if (const Json* v = Field(j, "interfacePath")) c.interfacePath = ReadString(*v, "interfacePath");
  ReadInto(j, "vendorId", c.vendorId, kMax16);
  ReadInto(j, "productId", c.productId, kMax16);
  if (const Json* v = Field(j, "deviceId")) c.deviceId = ReadByteString(*v, "deviceId");
  if (const Json* v = Field(j, "serial")) c.serial = ReadByteString(*v, "serial");
  if (const Json* v = Field(j, "firmware")) c.firmware = ReadByteString(*v, "firmware");
  if (const Json* v = Field(j, "spooler")) {
    c.spoolerSeat = ReadSpoolerSeat(*v);
    CheckSeatFree(world, *c.spoolerSeat);
  }
  ClassPrinter& p = world.AddClassPrinter(c);
  if (const Json* v = Field(j, "socket")) world.Machine().sockets[p.Name()] = ReadSocket(*v);
  if (const Json* v = Field(j, "pendingSerial"))
    p.Peripheral().Commands().SetPendingSerial(ReadByteString(*v, "pendingSerial"));
  return p;
}

SimDevice& AddSerial(World& world, const Json& j) {
  CheckKeys(j, {"name", "kind", "comPort", "dosTarget", "plugged", "faults"}, "device");
  SerialPortConfig c;
  c.name = ReadString(j.at("name"), "name");
  ReadInto(j, "comPort", c.comPort, 255);
  if (const Json* v = Field(j, "dosTarget")) c.dosTarget = ReadString(*v, "dosTarget");
  return world.AddSerialPort(c);
}

void AddDevice(World& world, const Json& j) {
  if (!j.is_object() || !Field(j, "name") || !Field(j, "kind"))
    throw FleetError("every device needs a name and a kind");
  const auto kind = DeviceKindFromName(ReadString(j.at("kind"), "kind"));
  if (!kind) throw FleetError("kind: expected vendor, com, printer-class or serial");
  SimDevice* device = nullptr;
  if (*kind == DeviceKind::PrinterClass)
    device = &AddClass(world, j);
  else if (*kind == DeviceKind::SerialPort)
    device = &AddSerial(world, j);
  else
    device = &AddVendor(world, j, *kind);
  if (const Json* v = Field(j, "faults")) device->Faults() = ReadFaults(*v);
  if (const Json* v = Field(j, "plugged"); v && !ReadBool(*v, "plugged")) device->Unplug();
}

const Json& DevicesOf(const Json& root) {
  CheckKeys(root, {"comment", "version", "machine", "devices", "events"}, "fleet");
  const Json* devices = Field(root, "devices");
  if (!devices || !devices->is_array()) throw FleetError("fleet: \"devices\" must be an array");
  return *devices;
}

std::string NameOf(const Json& j) {
  const Json* name = j.is_object() ? Field(j, "name") : nullptr;
  return name && name->is_string() ? name->get<std::string>() : "?";
}

}  // namespace

void LoadFleet(World& world, std::string_view fleetJson) {
  const Json root = Parse(fleetJson);
  const Json& devices = DevicesOf(root);
  if (const Json* machine = Field(root, "machine")) ReadMachine(*machine, world.Machine());
  for (const auto& device : devices) {
    try {
      AddDevice(world, device);
    } catch (const FleetError& e) {
      throw FleetError("device " + NameOf(device) + ": " + e.what());
    } catch (const std::exception& e) {  // taken names, out-of-range ports
      throw FleetError("device " + NameOf(device) + ": " + e.what());
    }
  }
  CheckMachine(world);
  if (const Json* events = Field(root, "events")) ReadEvents(*events, world);
}

std::unique_ptr<World> WorldFromFleet(std::string_view fleetJson, platform::Clock& clock) {
  auto world = std::make_unique<World>(clock);
  LoadFleet(*world, fleetJson);
  return world;
}

}  // namespace nolpa::sim
