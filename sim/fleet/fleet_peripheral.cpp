// The "peripheral" object of a fleet file's faults: the misbehaviour
// switches of a printer-class printer's packet-protocol side.
#include "sim/fleet/fleet_json.h"

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

// A packet size a printer may grant: room for a header and one byte.
std::uint16_t ReadPacketSize(const Json& value, const char* field) {
  const auto size = static_cast<std::uint16_t>(ReadNumber(value, field, 0xFFFF));
  if (size < 7) throw FleetError(std::string(field) + ": at least 7");
  return size;
}

// The packet sizes a bulk endpoint may have: 8 to 64 at full speed, 512 at
// high speed.
std::uint16_t ReadUsbPacketSize(const Json& value) {
  const auto size = static_cast<std::uint16_t>(ReadNumber(value, "usbPacketSize", 0xFFFF));
  for (const std::uint16_t allowed : {8, 16, 32, 64, 512})
    if (size == allowed) return size;
  throw FleetError("usbPacketSize: expected 8, 16, 32, 64 or 512");
}

LateReply ReadLateReply(const Json& j) {
  CheckKeys(j, {"transaction", "ms", "count"}, "lateReply");
  LateReply late;
  if (const Json* v = Field(j, "transaction"))
    late.transaction = static_cast<std::uint8_t>(ReadNumber(*v, "lateReply.transaction", 0xFF));
  if (const Json* v = Field(j, "ms"))
    late.ms = static_cast<std::uint32_t>(ReadNumber(*v, "lateReply.ms", 3600000));
  if (const Json* v = Field(j, "count"))
    late.count = static_cast<std::uint32_t>(ReadNumber(*v, "lateReply.count", 0xFFFFFFFF));
  return late;
}

Json LateReplyJson(const LateReply& late) {
  Json j = Json::object();
  if (late.transaction) j["transaction"] = HexNumber(*late.transaction, 2);
  j["ms"] = late.ms;
  j["count"] = late.count;
  return j;
}

}  // namespace

PeripheralFaults ReadPeripheralFaults(const Json& j) {
  CheckKeys(j,
            {"refuseRevision", "errorCode", "errorOn", "wrongSockets", "noCredit", "silentFrom",
             "silentCommands", "packetSizeLimit", "toHostPacketLimit", "endOfMessage",
             "entryAnswer", "unaskedCredit", "lateReply", "writeAnswer", "statusFieldList",
             "lptError", "readPieces", "usbPacketSize", "lostInFlightMs"},
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
  if (const Json* v = Field(j, "packetSizeLimit"))
    f.packetSizeLimit = ReadPacketSize(*v, "packetSizeLimit");
  if (const Json* v = Field(j, "toHostPacketLimit"))
    f.toHostPacketLimit = ReadPacketSize(*v, "toHostPacketLimit");
  flag("endOfMessage", f.endOfMessage);
  if (const Json* v = Field(j, "entryAnswer")) f.entryAnswer = ReadBytes(*v, "entryAnswer");
  flag("unaskedCredit", f.unaskedCredit);
  if (const Json* v = Field(j, "lateReply")) f.lateReply = ReadLateReply(*v);
  if (const Json* v = Field(j, "writeAnswer")) f.writeAnswer = ReadWriteAnswer(*v);
  flag("statusFieldList", f.statusFieldList);
  flag("lptError", f.lptError);
  if (const Json* v = Field(j, "readPieces"))
    f.readPieces = static_cast<std::uint8_t>(ReadNumber(*v, "readPieces", 0xFF));
  if (const Json* v = Field(j, "usbPacketSize")) f.usbPacketSize = ReadUsbPacketSize(*v);
  if (const Json* v = Field(j, "lostInFlightMs"))
    f.lostInFlightMs = static_cast<std::uint32_t>(ReadNumber(*v, "lostInFlightMs", 3600000));
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
  if (f.toHostPacketLimit) j["toHostPacketLimit"] = *f.toHostPacketLimit;
  if (f.endOfMessage) j["endOfMessage"] = true;
  if (!f.entryAnswer.empty()) j["entryAnswer"] = BytesJson(f.entryAnswer);
  if (f.unaskedCredit) j["unaskedCredit"] = true;
  if (f.lateReply) j["lateReply"] = LateReplyJson(*f.lateReply);
  if (f.writeAnswer != WriteAnswer::Ok) j["writeAnswer"] = WriteAnswerText(f.writeAnswer);
  if (f.statusFieldList) j["statusFieldList"] = true;
  if (f.lptError) j["lptError"] = true;
  if (f.readPieces != 0) j["readPieces"] = f.readPieces;
  if (f.usbPacketSize != 0) j["usbPacketSize"] = f.usbPacketSize;
  if (f.lostInFlightMs != 0) j["lostInFlightMs"] = f.lostInFlightMs;
  return j;
}

}  // namespace nolpa::sim::fleet_json
