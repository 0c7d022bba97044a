// Fleet files: a world's present state written out, and stored state taken
// back in from a file another writer changed.
#include "sim/core/text.h"
#include "sim/fleet/fleet.h"
#include "sim/fleet/fleet_json.h"

namespace nolpa::sim {

using namespace fleet_json;

namespace {

Json UsbJson(const UsbDeviceInfo& usb) {
  return {{"vendorId", HexNumber(usb.vendorId, 4)},
          {"productId", HexNumber(usb.productId, 4)},
          {"bcdUSB", HexNumber(usb.bcdUsb, 4)},
          {"bcdDevice", HexNumber(usb.bcdDevice, 4)},
          {"highSpeed", usb.highSpeed},
          {"boardCode", HexNumber(usb.boardCode, 2)},
          {"manufacturer", UnitsJson(usb.manufacturer)},
          {"product", UnitsJson(usb.product)}};
}

Json BoardJson(const BoardMemory& board) {
  Json cells = Json::array();
  for (const auto& [address, value] : board.Cells()) cells.push_back({address, value});
  return cells;
}

void VendorJson(const VendorPrinter& p, Json& j) {
  if (p.Kind() == DeviceKind::VirtualCom) {
    j["comPort"] = p.ComPort();
    j["dosTarget"] = p.DosTarget();
  } else {
    j["interfacePath"] = p.InterfacePath();
  }
  j["usb"] = UsbJson(p.Usb());
  j["serial"] = UnitsJson(p.SerialUnits());
  j["idName"] = UnitsJson(p.IdNameUnits());
  j["model"] = ByteStringJson(p.Identity().model);
  j["firmware"] = ByteStringJson(p.Identity().firmware);
  j["identByte"] = HexNumber(p.Identity().identByte, 2);
  if (!p.Board().Cells().empty()) j["boardMemory"] = BoardJson(p.Board());
  if (!p.Printed().empty()) j["printed"] = ByteStringJson(p.Printed());
}

void ClassJson(const ClassPrinter& p, Json& j) {
  j["interfacePath"] = p.InterfacePath();
  j["vendorId"] = HexNumber(p.VendorId(), 4);
  j["productId"] = HexNumber(p.ProductId(), 4);
  j["deviceId"] = ByteStringJson(p.DeviceId());
  j["serial"] = ByteStringJson(p.Serial());
  if (const auto& pending = p.Peripheral().Commands().PendingSerial())
    j["pendingSerial"] = ByteStringJson(*pending);
  j["firmware"] = ByteStringJson(p.Firmware());
  if (p.Seat()) j["spooler"] = SpoolerSeatJson(*p.Seat());
}

Json DeviceJson(const World& world, const SimDevice& d) {
  Json j = {{"name", d.Name()}, {"kind", DeviceKindName(d.Kind())}};
  if (const auto* v = dynamic_cast<const VendorPrinter*>(&d)) VendorJson(*v, j);
  if (const auto* c = dynamic_cast<const ClassPrinter*>(&d)) ClassJson(*c, j);
  if (d.Kind() == DeviceKind::SerialPort) {
    j["comPort"] = d.ComPort();
    j["dosTarget"] = d.DosTarget();
  }
  // Away for a while (a hub's fault, say) is still plugged in.
  if (!d.PluggedItself() && !world.ComingBack(d.Name())) j["plugged"] = false;
  Json faults = FaultsJson(d.Faults());
  if (!faults.empty()) j["faults"] = faults;
  return j;
}

void ApplyVendorState(VendorPrinter& p, const Json& j) {
  if (const Json* v = Field(j, "serial"); v && ReadUnits(*v, "serial") != p.SerialUnits())
    p.SetSerial(ReadUnits(*v, "serial"));
  if (const Json* v = Field(j, "idName"); v && ReadUnits(*v, "idName") != p.IdNameUnits())
    p.SetIdName(ReadUnits(*v, "idName"));
  BoardMemory board;
  if (const Json* v = Field(j, "boardMemory")) ReadBoardMemory(*v, board);
  if (board.Cells() != p.Board().Cells()) p.Board() = board;
  std::string printed;
  if (const Json* v = Field(j, "printed")) printed = ReadByteString(*v, "printed");
  if (printed != p.Printed()) p.SetPrinted(std::move(printed));
}

}  // namespace

std::string FleetToJson(World& world) {
  const MachineLayout& machine = world.Machine();
  Json devices = Json::array();
  for (const auto& d : world.Devices()) {
    Json j = DeviceJson(world, *d);
    if (const auto socket = machine.sockets.find(d->Name()); socket != machine.sockets.end())
      j["socket"] = SocketJson(socket->second);
    devices.push_back(j);
  }
  Json root = {{"version", 1}};
  if (machine != MachineLayout{})
    root["machine"] =
        MachineJson(machine, [&world](const std::string& name) { return world.ComingBack(name); });
  root["devices"] = devices;
  if (!world.PendingEvents().empty()) root["events"] = EventsJson(world);
  return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string World::ToJson() { return FleetToJson(*this); }

void ApplyStoredState(World& world, std::string_view fleetJson) {
  Json root;
  try {
    root = Json::parse(fleetJson.begin(), fleetJson.end());
  } catch (const Json::exception& e) {
    throw FleetError(std::string("not valid JSON: ") + e.what());
  }
  const Json* devices = root.is_object() ? Field(root, "devices") : nullptr;
  if (!devices || !devices->is_array()) throw FleetError("fleet: \"devices\" must be an array");
  for (const auto& j : *devices) {
    const Json* name = j.is_object() ? Field(j, "name") : nullptr;
    if (!name || !name->is_string()) continue;
    SimDevice* d = world.FindDevice(name->get<std::string>());
    if (auto* v = dynamic_cast<VendorPrinter*>(d)) {
      ApplyVendorState(*v, j);
    } else if (auto* c = dynamic_cast<ClassPrinter*>(d)) {
      if (const Json* s = Field(j, "serial"); s && ReadByteString(*s, "serial") != c->Serial())
        c->SetSerial(ReadByteString(*s, "serial"));
      const Json* pending = Field(j, "pendingSerial");
      c->Peripheral().Commands().SetPendingSerial(
          pending ? std::optional<std::string>(ReadByteString(*pending, "pendingSerial"))
                  : std::nullopt);
    }
  }
}

}  // namespace nolpa::sim
