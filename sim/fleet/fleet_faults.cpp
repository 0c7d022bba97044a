// Fault switches in a fleet file: one "faults" object per device.
#include <string_view>

#include "sim/fleet/fleet_json.h"

namespace nolpa::sim::fleet_json {
namespace {

constexpr std::uint64_t kMax32 = 0xFFFFFFFF;

IoctlFault ReadIoctlFault(const Json& j) {
  CheckKeys(j, {"code", "action", "nth", "fill", "bytes"}, "ioctl fault");
  IoctlFault f;
  const Json* code = Field(j, "code");
  if (!code) throw FleetError("ioctl fault: code missing");
  f.code = static_cast<std::uint32_t>(ReadNumber(*code, "code", kMax32));
  if (const Json* v = Field(j, "action")) f.action = ReadAction(*v);
  if (const Json* v = Field(j, "nth"))
    f.nth = static_cast<std::uint32_t>(ReadNumber(*v, "nth", kMax32));
  if (const Json* v = Field(j, "fill"))
    f.fill = static_cast<std::uint32_t>(ReadNumber(*v, "fill", kMax32));
  if (const Json* v = Field(j, "bytes")) f.bytes = ReadBytes(*v, "bytes");
  return f;
}

WriteFault ReadWriteFault(const Json& j) {
  CheckKeys(j, {"nth", "take"}, "write fault");
  WriteFault f;
  if (const Json* v = Field(j, "nth"))
    f.nth = static_cast<std::uint32_t>(ReadNumber(*v, "nth", kMax32));
  const Json* take = Field(j, "take");
  if (!take) throw FleetError("write fault: take missing");
  f.take = static_cast<std::uint32_t>(ReadNumber(*take, "take", kMax32));
  return f;
}

UnplugFault ReadUnplugFault(const Json& j) {
  CheckKeys(j, {"after", "kind", "code"}, "unplug fault");
  UnplugFault f;
  if (const Json* v = Field(j, "after"))
    f.after = static_cast<std::uint32_t>(ReadNumber(*v, "after", kMax32));
  if (const Json* v = Field(j, "kind")) {
    f.kind = RequestKindFromName(ReadString(*v, "kind"));
    if (!f.kind) throw FleetError("kind: expected open, read, write, ioctl or set-timeouts");
  }
  if (const Json* v = Field(j, "code"))
    f.code = static_cast<std::uint32_t>(ReadNumber(*v, "code", kMax32));
  return f;
}

struct InfoAnswerName {
  InfoAnswer answer;
  const char* name;
};
constexpr InfoAnswerName kInfoAnswerNames[] = {
    {InfoAnswer::Normal, "normal"},
    {InfoAnswer::Ignore, "ignore"},
    {InfoAnswer::OneByteStatus, "one-byte-status"},
    {InfoAnswer::NoTerminator, "no-terminator"},
    {InfoAnswer::OtherBlock, "other-block"},
};
// The requests whose answers can be switched, by their letter.
constexpr char kInfoRequests[] = "CAD";

// {"C": "ignore", "A": "one-byte-status", "D": "no-terminator"}
std::map<std::uint8_t, InfoAnswer> ReadInfoAnswers(const Json& j) {
  CheckKeys(j, {"C", "A", "D"}, "infoAnswers");
  std::map<std::uint8_t, InfoAnswer> answers;
  for (const auto& item : j.items()) {
    const std::string name = ReadString(item.value(), "infoAnswers");
    bool known = false;
    for (const auto& a : kInfoAnswerNames) {
      if (name != a.name) continue;
      answers[static_cast<std::uint8_t>(item.key()[0])] = a.answer;
      known = true;
    }
    if (!known)
      throw FleetError("infoAnswers: expected normal, ignore, one-byte-status or no-terminator");
  }
  return answers;
}

Json InfoAnswersJson(const std::map<std::uint8_t, InfoAnswer>& answers) {
  Json j = Json::object();
  for (char letter : std::string_view(kInfoRequests)) {
    const auto it = answers.find(static_cast<std::uint8_t>(letter));
    if (it == answers.end() || it->second == InfoAnswer::Normal) continue;
    for (const auto& a : kInfoAnswerNames)
      if (a.answer == it->second) j[std::string(1, letter)] = a.name;
  }
  return j;
}

Heartbeat ReadHeartbeat(const Json& j) {
  CheckKeys(j, {"byte", "periodMs"}, "heartbeat");
  Heartbeat h;
  if (const Json* v = Field(j, "byte"))
    h.byte = static_cast<std::uint8_t>(ReadNumber(*v, "byte", 0xFF));
  if (const Json* v = Field(j, "periodMs"))
    h.periodMs = static_cast<std::uint32_t>(ReadNumber(*v, "periodMs", kMax32));
  if (h.periodMs == 0) throw FleetError("heartbeat: periodMs must be above 0");
  return h;
}

void ReadChannelFaults(const Json& j, ChannelFaults& c) {
  auto u32 = [&](const char* key, std::uint32_t& out) {
    if (const Json* v = Field(j, key))
      out = static_cast<std::uint32_t>(ReadNumber(*v, key, kMax32));
  };
  if (const Json* v = Field(j, "silent")) c.silent = ReadBool(*v, "silent");
  u32("latencyMs", c.latencyMs);
  u32("byteGapMs", c.byteGapMs);
  u32("flowControlEvery", c.flowControlEvery);
  if (const Json* v = Field(j, "gapBeforeByte")) {
    if (!v->is_array()) throw FleetError("gapBeforeByte: expected [[index, ms], ...]");
    for (const auto& pair : *v) {
      if (!pair.is_array() || pair.size() != 2)
        throw FleetError("gapBeforeByte: expected [index, ms]");
      c.gapBeforeByte[static_cast<std::uint32_t>(ReadNumber(pair[0], "gapBeforeByte", kMax32))] =
          static_cast<std::uint32_t>(ReadNumber(pair[1], "gapBeforeByte", kMax32));
    }
  }
  if (const Json* v = Field(j, "chatter")) c.chatter = ReadBytes(*v, "chatter");
  if (const Json* v = Field(j, "flowControl")) c.flowControl = ReadBytes(*v, "flowControl");
  if (const Json* v = Field(j, "heartbeat")) c.heartbeat = ReadHeartbeat(*v);
  if (const Json* v = Field(j, "queryAnswer")) c.queryAnswer = ReadQueryAnswer(*v);
  if (const Json* v = Field(j, "infoAnswers")) c.infoAnswers = ReadInfoAnswers(*v);
}

Json IoctlFaultJson(const IoctlFault& f) {
  Json j;
  j["code"] = HexNumber(f.code, 6);
  j["action"] = ActionName(f.action);
  if (f.nth != 0) j["nth"] = f.nth;
  if (f.action == IoctlFault::Action::Short) j["fill"] = f.fill;
  if (f.action == IoctlFault::Action::Raw) j["bytes"] = BytesJson(f.bytes);
  return j;
}

void ChannelFaultsJson(const ChannelFaults& c, Json& j) {
  if (c.silent) j["silent"] = true;
  if (c.latencyMs != 0) j["latencyMs"] = c.latencyMs;
  if (c.byteGapMs != 0) j["byteGapMs"] = c.byteGapMs;
  if (!c.gapBeforeByte.empty()) {
    Json pairs = Json::array();
    for (const auto& [index, ms] : c.gapBeforeByte) pairs.push_back({index, ms});
    j["gapBeforeByte"] = pairs;
  }
  if (!c.chatter.empty()) j["chatter"] = BytesJson(c.chatter);
  if (!c.flowControl.empty()) j["flowControl"] = BytesJson(c.flowControl);
  if (c.flowControlEvery != 1) j["flowControlEvery"] = c.flowControlEvery;
  if (c.heartbeat)
    j["heartbeat"] = {{"byte", HexNumber(c.heartbeat->byte, 2)},
                      {"periodMs", c.heartbeat->periodMs}};
  if (c.queryAnswer != QueryAnswer::Normal) j["queryAnswer"] = QueryAnswerName(c.queryAnswer);
  if (Json answers = InfoAnswersJson(c.infoAnswers); !answers.empty()) j["infoAnswers"] = answers;
}

}  // namespace

FaultSet ReadFaults(const Json& j) {
  CheckKeys(j,
            {"ioctl", "writes", "unplug", "unplugAtMs", "refuseOpen", "failInterfaceDetail",
             "refuseTimeouts", "notReadyAfterIdleMs", "silent", "latencyMs", "byteGapMs",
             "gapBeforeByte", "chatter", "flowControl", "flowControlEvery", "heartbeat",
             "queryAnswer", "infoAnswers", "peripheral"},
            "faults");
  FaultSet f;
  if (const Json* v = Field(j, "ioctl")) {
    if (!v->is_array()) throw FleetError("ioctl: expected an array");
    for (const auto& item : *v) f.ioctl.push_back(ReadIoctlFault(item));
  }
  if (const Json* v = Field(j, "writes")) {
    if (!v->is_array()) throw FleetError("writes: expected an array");
    for (const auto& item : *v) f.writes.push_back(ReadWriteFault(item));
  }
  if (const Json* v = Field(j, "unplug")) f.unplug = ReadUnplugFault(*v);
  if (const Json* v = Field(j, "unplugAtMs")) f.unplugAtMs = ReadNumber(*v, "unplugAtMs", ~0ULL);
  if (const Json* v = Field(j, "refuseOpen")) f.refuseOpen = ReadBool(*v, "refuseOpen");
  if (const Json* v = Field(j, "failInterfaceDetail"))
    f.failInterfaceDetail = ReadBool(*v, "failInterfaceDetail");
  if (const Json* v = Field(j, "refuseTimeouts")) f.refuseTimeouts = ReadBool(*v, "refuseTimeouts");
  if (const Json* v = Field(j, "notReadyAfterIdleMs"))
    f.suspend =
        SuspendFault{static_cast<std::uint32_t>(ReadNumber(*v, "notReadyAfterIdleMs", kMax32))};
  ReadChannelFaults(j, f.channel);
  if (const Json* v = Field(j, "peripheral")) f.peripheral = ReadPeripheralFaults(*v);
  return f;
}

Json FaultsJson(const FaultSet& f) {
  Json j = Json::object();
  if (!f.ioctl.empty()) {
    Json list = Json::array();
    for (const auto& i : f.ioctl) list.push_back(IoctlFaultJson(i));
    j["ioctl"] = list;
  }
  if (!f.writes.empty()) {
    Json list = Json::array();
    for (const auto& w : f.writes)
      list.push_back(w.nth ? Json{{"nth", w.nth}, {"take", w.take}} : Json{{"take", w.take}});
    j["writes"] = list;
  }
  if (f.unplug) {
    Json u = {{"after", f.unplug->after}};
    if (f.unplug->kind) u["kind"] = RequestKindName(*f.unplug->kind);
    if (f.unplug->code) u["code"] = HexNumber(*f.unplug->code, 6);
    j["unplug"] = u;
  }
  if (f.unplugAtMs) j["unplugAtMs"] = *f.unplugAtMs;
  if (f.refuseOpen) j["refuseOpen"] = true;
  if (f.failInterfaceDetail) j["failInterfaceDetail"] = true;
  if (f.refuseTimeouts) j["refuseTimeouts"] = true;
  if (f.suspend) j["notReadyAfterIdleMs"] = f.suspend->idleMs;
  ChannelFaultsJson(f.channel, j);
  if (Json p = PeripheralFaultsJson(f.peripheral); !p.empty()) j["peripheral"] = p;
  return j;
}

}  // namespace nolpa::sim::fleet_json
