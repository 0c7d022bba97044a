// Fleet files: the "spooler" object of a printer-class printer, the spooler
// printer it sits behind.
#include "sim/fleet/fleet_json.h"

namespace nolpa::sim::fleet_json {
namespace {

constexpr char kSystemFolder[] = "system";
constexpr char kDriverFolder[] = "driver";

template <typename T>
void ReadOptionalText(const Json& j, const char* key, T& out) {
  if (const Json* v = Field(j, key)) out = ReadByteString(*v, key);
}

std::string RequiredText(const Json& j, const char* key, const std::string& what) {
  const Json* v = Field(j, key);
  if (v == nullptr) throw FleetError(what + ": \"" + key + "\" missing");
  return ReadByteString(*v, key);
}

void ReadDriver(const Json& j, SpoolerSeat& seat) {
  CheckKeys(
      j, {"name", "path", "dataFile", "installed", "environment", "zqapi32", "zqapi32View", "ini"},
      "spooler.driver");
  seat.driver = RequiredText(j, "name", "spooler.driver");
  seat.driverPath = RequiredText(j, "path", "spooler.driver");
  ReadOptionalText(j, "dataFile", seat.dataFile);
  if (const Json* v = Field(j, "installed")) seat.driverInstalled = ReadBool(*v, "installed");
  ReadOptionalText(j, "environment", seat.driverEnvironment);
  ReadOptionalText(j, "zqapi32", seat.zqapi32);
  if (const Json* v = Field(j, "zqapi32View")) {
    const auto view = ReadNumber(*v, "zqapi32View", 64);
    if (view != 32 && view != 64) throw FleetError("spooler.driver.zqapi32View: expected 32 or 64");
    seat.zqapi32In64BitView = view == 64;
  }
  if (const Json* ini = Field(j, "ini")) {
    CheckKeys(*ini, {"ZQAPII", "ZQAPINAME"}, "spooler.driver.ini");
    ReadOptionalText(*ini, "ZQAPII", seat.zqapii);
    ReadOptionalText(*ini, "ZQAPINAME", seat.zqapiName);
  }
}

void ReadChannelApi(const Json& j, SpoolerSeat& seat) {
  CheckKeys(j, {"file", "folder", "bits", "initialize"}, "spooler.channelApi");
  seat.channelApiFile = RequiredText(j, "file", "spooler.channelApi");
  if (seat.channelApiFile.empty() || seat.channelApiFile.find_first_of("\\/:") != std::string::npos)
    throw FleetError("spooler.channelApi.file: expected a file name without a folder");
  const Json* folder = Field(j, "folder");
  const std::string name = folder ? ReadString(*folder, "folder") : kSystemFolder;
  if (name == kSystemFolder)
    seat.channelApiFolder = ChannelApiFolder::System;
  else if (name == kDriverFolder)
    seat.channelApiFolder = ChannelApiFolder::Driver;
  else
    throw FleetError("spooler.channelApi.folder: expected system or driver");
  if (const Json* v = Field(j, "bits")) {
    const auto bits = ReadNumber(*v, "bits", 64);
    if (bits != 32 && bits != 64) throw FleetError("spooler.channelApi.bits: expected 32 or 64");
    seat.channelApi64Bit = bits == 64;
  }
  if (const Json* v = Field(j, "initialize")) {
    if (!v->is_number_integer())
      throw FleetError("spooler.channelApi.initialize: expected a whole number");
    seat.channelApiInitialize = v->get<int>();
  }
}

}  // namespace

SpoolerSeat ReadSpoolerSeat(const Json& j) {
  CheckKeys(j, {"printer", "port", "portNumber", "baseName", "driver", "channelApi"}, "spooler");
  SpoolerSeat seat;
  seat.printer = RequiredText(j, "printer", "spooler");
  if (seat.printer.empty()) throw FleetError("spooler.printer: a spooler printer has a name");
  ReadOptionalText(j, "port", seat.port);
  if (const Json* v = Field(j, "portNumber"))
    seat.portNumber = static_cast<std::uint32_t>(ReadNumber(*v, "portNumber", 0xFFFFFFFF));
  ReadOptionalText(j, "baseName", seat.baseName);
  const Json* driver = Field(j, "driver");
  if (driver == nullptr) throw FleetError("spooler: \"driver\" missing");
  ReadDriver(*driver, seat);
  if (const Json* v = Field(j, "channelApi")) ReadChannelApi(*v, seat);
  return seat;
}

Json SpoolerSeatJson(const SpoolerSeat& seat) {
  Json j = {{"printer", ByteStringJson(seat.printer)}};
  if (!seat.port.empty()) j["port"] = ByteStringJson(seat.port);
  if (seat.portNumber) j["portNumber"] = *seat.portNumber;
  if (seat.baseName) j["baseName"] = ByteStringJson(*seat.baseName);
  Json driver = {{"name", ByteStringJson(seat.driver)}, {"path", ByteStringJson(seat.driverPath)}};
  if (!seat.dataFile.empty()) driver["dataFile"] = ByteStringJson(seat.dataFile);
  if (!seat.driverInstalled) driver["installed"] = false;
  if (!seat.driverEnvironment.empty())
    driver["environment"] = ByteStringJson(seat.driverEnvironment);
  if (seat.zqapi32) driver["zqapi32"] = ByteStringJson(*seat.zqapi32);
  if (seat.zqapi32In64BitView) driver["zqapi32View"] = 64;
  Json ini = Json::object();
  if (seat.zqapii) ini["ZQAPII"] = ByteStringJson(*seat.zqapii);
  if (seat.zqapiName) ini["ZQAPINAME"] = ByteStringJson(*seat.zqapiName);
  if (!ini.empty()) driver["ini"] = ini;
  j["driver"] = driver;
  if (!seat.channelApiFile.empty()) {
    Json api = {{"file", ByteStringJson(seat.channelApiFile)},
                {"folder", seat.channelApiFolder == ChannelApiFolder::System ? kSystemFolder
                                                                             : kDriverFolder}};
    if (seat.channelApi64Bit) api["bits"] = 64;
    if (seat.channelApiInitialize != 0) api["initialize"] = seat.channelApiInitialize;
    j["channelApi"] = api;
  }
  return j;
}

}  // namespace nolpa::sim::fleet_json
