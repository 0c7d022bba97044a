// The "peripheral" object of a fleet file's faults: the misbehaviour
// switches of a printer-class printer's packet-protocol side.
#include <algorithm>
#include <iterator>
#include <string>

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

struct KindName {
  PrinterTransactions::Kind kind;
  const char* name;
};
constexpr KindName kKindNames[] = {{PrinterTransactions::Kind::Credit, "credit"},
                                   {PrinterTransactions::Kind::CreditRequest, "creditRequest"},
                                   {PrinterTransactions::Kind::Unknown, "unknown"}};

// The trigger of what a printer sends unasked: a transaction's command
// byte, or "command" for a command on the control channel.
std::optional<std::uint8_t> ReadTrigger(const Json& value, const char* field) {
  if (value.is_string() && value.get<std::string>() == "command") return std::nullopt;
  return static_cast<std::uint8_t>(ReadNumber(value, field, 0xFF));
}

Json TriggerJson(std::optional<std::uint8_t> on) {
  return on ? Json(HexNumber(*on, 2)) : Json("command");
}

// The most transactions a printer starts at once: more than a host's reads
// could ever keep up with.
constexpr std::uint64_t kMostAtOnce = 10000;

PrinterTransactions ReadPrinterTransactions(const Json& j) {
  CheckKeys(j, {"kind", "command", "on", "count", "flood"}, "printerTransactions");
  PrinterTransactions t;
  if (const Json* v = Field(j, "kind")) {
    const std::string name = ReadString(*v, "printerTransactions.kind");
    const auto* known = std::find_if(std::begin(kKindNames), std::end(kKindNames),
                                     [&](const KindName& k) { return name == k.name; });
    if (known == std::end(kKindNames))
      throw FleetError("printerTransactions.kind: expected credit, creditRequest or unknown");
    t.kind = known->kind;
  }
  if (const Json* v = Field(j, "command")) {
    t.command = static_cast<std::uint8_t>(ReadNumber(*v, "printerTransactions.command", 0xFF));
    // Commands the standard assigns (up to 0x0A, and Error) are not unknown.
    if (t.command <= 0x0A || t.command >= 0x7F)
      throw FleetError("printerTransactions.command: expected 0x0B to 0x7E");
  }
  if (const Json* v = Field(j, "on")) t.on = ReadTrigger(*v, "printerTransactions.on");
  if (const Json* v = Field(j, "count"))
    t.count = static_cast<std::uint32_t>(ReadNumber(*v, "printerTransactions.count", kMostAtOnce));
  if (const Json* v = Field(j, "flood")) t.flood = ReadBool(*v, "printerTransactions.flood");
  return t;
}

Json PrinterTransactionsJson(const PrinterTransactions& t) {
  Json j = Json::object();
  for (const KindName& k : kKindNames)
    if (k.kind == t.kind) j["kind"] = k.name;
  if (t.kind == PrinterTransactions::Kind::Unknown) j["command"] = HexNumber(t.command, 2);
  j["on"] = TriggerJson(t.on);
  j["count"] = t.count;
  if (t.flood) j["flood"] = true;
  return j;
}

UnaskedError ReadUnaskedError(const Json& j) {
  CheckKeys(j, {"code", "on", "count"}, "unaskedError");
  UnaskedError e;
  if (const Json* v = Field(j, "code"))
    e.code = static_cast<std::uint8_t>(ReadNumber(*v, "unaskedError.code", 0xFF));
  if (const Json* v = Field(j, "on")) e.on = ReadTrigger(*v, "unaskedError.on");
  if (const Json* v = Field(j, "count"))
    e.count = static_cast<std::uint32_t>(ReadNumber(*v, "unaskedError.count", 0xFFFFFFFF));
  return e;
}

Json UnaskedErrorJson(const UnaskedError& e) {
  return {{"code", HexNumber(e.code, 2)}, {"on", TriggerJson(e.on)}, {"count", e.count}};
}

// The switches of a printer as unkind as the packet protocol and USB allow.
void ReadHostileSwitches(const Json& j, PeripheralFaults& f) {
  if (const Json* v = Field(j, "usbPacketSize")) f.usbPacketSize = ReadUsbPacketSize(*v);
  if (const Json* v = Field(j, "lostInFlightMs"))
    f.lostInFlightMs = static_cast<std::uint32_t>(ReadNumber(*v, "lostInFlightMs", 3600000));
  if (const Json* v = Field(j, "staleAnswer")) {
    const std::string stale = ReadByteString(*v, "staleAnswer");
    f.staleAnswer.assign(stale.begin(), stale.end());
  }
  if (const Json* v = Field(j, "keepAnswers")) f.keepAnswers = ReadBool(*v, "keepAnswers");
  if (const Json* v = Field(j, "lateCreditMs"))
    f.lateCreditMs = static_cast<std::uint32_t>(ReadNumber(*v, "lateCreditMs", 3600000));
  if (const Json* v = Field(j, "printerTransactions"))
    f.printerTransactions = ReadPrinterTransactions(*v);
  if (const Json* v = Field(j, "unaskedError")) f.unaskedError = ReadUnaskedError(*v);
  if (const Json* v = Field(j, "headerCredit"))
    f.headerCredit = static_cast<std::uint8_t>(ReadNumber(*v, "headerCredit", 0xFF));
  if (const Json* v = Field(j, "entryAsPacket")) f.entryAsPacket = ReadBool(*v, "entryAsPacket");
}

void HostileSwitchesJson(const PeripheralFaults& f, Json& j) {
  if (f.usbPacketSize != 0) j["usbPacketSize"] = f.usbPacketSize;
  if (f.lostInFlightMs != 0) j["lostInFlightMs"] = f.lostInFlightMs;
  if (!f.staleAnswer.empty())
    j["staleAnswer"] = ByteStringJson(std::string(f.staleAnswer.begin(), f.staleAnswer.end()));
  if (f.keepAnswers) j["keepAnswers"] = true;
  if (f.lateCreditMs) j["lateCreditMs"] = *f.lateCreditMs;
  if (f.printerTransactions)
    j["printerTransactions"] = PrinterTransactionsJson(*f.printerTransactions);
  if (f.unaskedError) j["unaskedError"] = UnaskedErrorJson(*f.unaskedError);
  if (f.headerCredit != 0) j["headerCredit"] = f.headerCredit;
  if (f.entryAsPacket) j["entryAsPacket"] = true;
}

}  // namespace

PeripheralFaults ReadPeripheralFaults(const Json& j) {
  CheckKeys(j,
            {"refuseRevision",
             "errorCode",
             "errorOn",
             "wrongSockets",
             "noCredit",
             "silentFrom",
             "silentCommands",
             "packetSizeLimit",
             "toHostPacketLimit",
             "endOfMessage",
             "entryAnswer",
             "unaskedCredit",
             "lateReply",
             "writeAnswer",
             "statusFieldList",
             "lptError",
             "readPieces",
             "usbPacketSize",
             "lostInFlightMs",
             "staleAnswer",
             "keepAnswers",
             "lateCreditMs",
             "printerTransactions",
             "unaskedError",
             "headerCredit",
             "entryAsPacket"},
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
  ReadHostileSwitches(j, f);
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
  HostileSwitchesJson(f, j);
  return j;
}

}  // namespace nolpa::sim::fleet_json
