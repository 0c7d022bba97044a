// The "peripheral" object of a fleet file's faults: the misbehaviour
// switches of a printer-class printer's packet-protocol side.
#include "sim/fleet_json.h"

namespace nolpa::sim::fleet_json {
namespace {

struct WriteAnswerName {
  WriteAnswer answer;
  const char* name;
};
constexpr WriteAnswerName kWriteAnswerNames[] = {
    {WriteAnswer::Ok, "ok"}, {WriteAnswer::NotAvailable, "na"}, {WriteAnswer::Busy, "busy"}};

WriteAnswer ReadWriteAnswer(const Json& value) {
  const std::string name = ReadString(value, "writeAnswer");
  for (const auto& a : kWriteAnswerNames)
    if (name == a.name) return a.answer;
  throw FleetError("writeAnswer: expected ok, na or busy");
}

const char* WriteAnswerText(WriteAnswer answer) {
  for (const auto& a : kWriteAnswerNames)
    if (a.answer == answer) return a.name;
  return "ok";
}

}  // namespace

PeripheralFaults ReadPeripheralFaults(const Json& j) {
  CheckKeys(j,
            {"refuseRevision", "errorCode", "errorOn", "wrongSockets", "noCredit", "silentFrom",
             "silentCommands", "packetSizeLimit", "writeAnswer", "statusFieldList", "lptError"},
            "peripheral");
  PeripheralFaults f;
  auto flag = [&](const char* key, bool& out) {
    if (const Json* v = Field(j, key)) out = ReadBool(*v, key);
  };
  auto byte = [&](const char* key, std::optional<std::uint8_t>& out) {
    if (const Json* v = Field(j, key)) out = static_cast<std::uint8_t>(ReadNumber(*v, key, 0xFF));
  };
  flag("refuseRevision", f.refuseRevision);
  byte("errorCode", f.errorCode);
  byte("errorOn", f.errorOn);
  flag("wrongSockets", f.wrongSockets);
  flag("noCredit", f.noCredit);
  byte("silentFrom", f.silentFrom);
  flag("silentCommands", f.silentCommands);
  if (const Json* v = Field(j, "packetSizeLimit")) {
    f.packetSizeLimit = static_cast<std::uint16_t>(ReadNumber(*v, "packetSizeLimit", 0xFFFF));
    if (*f.packetSizeLimit < 7) throw FleetError("packetSizeLimit: at least 7");
  }
  if (const Json* v = Field(j, "writeAnswer")) f.writeAnswer = ReadWriteAnswer(*v);
  flag("statusFieldList", f.statusFieldList);
  flag("lptError", f.lptError);
  return f;
}

Json PeripheralFaultsJson(const PeripheralFaults& f) {
  Json j = Json::object();
  if (f.refuseRevision) j["refuseRevision"] = true;
  if (f.errorCode) j["errorCode"] = HexNumber(*f.errorCode, 2);
  if (f.errorOn) j["errorOn"] = HexNumber(*f.errorOn, 2);
  if (f.wrongSockets) j["wrongSockets"] = true;
  if (f.noCredit) j["noCredit"] = true;
  if (f.silentFrom) j["silentFrom"] = HexNumber(*f.silentFrom, 2);
  if (f.silentCommands) j["silentCommands"] = true;
  if (f.packetSizeLimit) j["packetSizeLimit"] = *f.packetSizeLimit;
  if (f.writeAnswer != WriteAnswer::Ok) j["writeAnswer"] = WriteAnswerText(f.writeAnswer);
  if (f.statusFieldList) j["statusFieldList"] = true;
  if (f.lptError) j["lptError"] = true;
  return j;
}

}  // namespace nolpa::sim::fleet_json
