#include <string_view>

#include "sim/core/text.h"
#include "sim/fleet/fleet_json.h"

namespace nolpa::sim::fleet_json {
namespace {

[[noreturn]] void Fail(const char* field, const std::string& problem) {
  throw FleetError(std::string(field) + ": " + problem);
}

std::uint64_t ParseNumberText(std::string_view text, const char* field) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 16) Fail(field, "not a number");
  std::uint64_t v = 0;
  for (char c : text) {
    int d = -1;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    if (d < 0) Fail(field, "not a number");
    v = v * base + d;
  }
  return v;
}

struct AnswerName {
  QueryAnswer answer;
  const char* name;
};
constexpr AnswerName kAnswerNames[] = {
    {QueryAnswer::Normal, "normal"},
    {QueryAnswer::OneByteStatus, "one-byte-status"},
    {QueryAnswer::Block, "block"},
};

struct ActionName {
  IoctlFault::Action action;
  const char* name;
};
constexpr ActionName kActionNames[] = {
    {IoctlFault::Action::Refuse, "refuse"},
    {IoctlFault::Action::Short, "short"},
    {IoctlFault::Action::Raw, "raw"},
};

}  // namespace

void CheckKeys(const Json& object, std::initializer_list<const char*> allowed,
               const std::string& what) {
  if (!object.is_object()) throw FleetError(what + ": not an object");
  for (const auto& item : object.items()) {
    bool known = false;
    for (const char* key : allowed) known = known || item.key() == key;
    if (!known) throw FleetError(what + ": unknown field \"" + item.key() + "\"");
  }
}

const Json* Field(const Json& object, const char* key) {
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

std::uint64_t ReadNumber(const Json& value, const char* field, std::uint64_t max) {
  std::uint64_t v = 0;
  if (value.is_number_unsigned())
    v = value.get<std::uint64_t>();
  else if (value.is_string())
    v = ParseNumberText(value.get<std::string>(), field);
  else
    Fail(field, "expected a number >= 0");
  if (v > max) Fail(field, "out of range (most " + std::to_string(max) + ")");
  return v;
}

bool ReadBool(const Json& value, const char* field) {
  if (!value.is_boolean()) Fail(field, "expected true or false");
  return value.get<bool>();
}

std::string ReadString(const Json& value, const char* field) {
  if (!value.is_string()) Fail(field, "expected a text");
  return value.get<std::string>();
}

std::string ReadByteString(const Json& value, const char* field) {
  return Utf8ToBytes(ReadString(value, field));
}

std::u16string ReadUnits(const Json& value, const char* field) {
  if (value.is_string()) return Utf8ToUtf16(value.get<std::string>());
  if (!value.is_array()) Fail(field, "expected a text or an array of code units");
  std::u16string units;
  for (const auto& u : value) units.push_back(static_cast<char16_t>(ReadNumber(u, field, 0xFFFF)));
  return units;
}

std::vector<std::uint8_t> ReadBytes(const Json& value, const char* field) {
  auto bytes = ParseHexBytes(ReadString(value, field));
  if (!bytes) Fail(field, "expected hexadecimal bytes such as \"04 03 09 04\"");
  return *bytes;
}

std::string HexNumber(std::uint32_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0 || static_cast<int>(out.size()) < digits);
  return "0x" + out;
}

Json ByteStringJson(const std::string& bytes) { return BytesToUtf8(bytes); }

Json UnitsJson(const std::u16string& units) {
  if (auto text = Utf16ToUtf8(units)) return *text;
  Json array = Json::array();
  for (char16_t u : units) array.push_back(static_cast<unsigned>(u));
  return array;
}

Json BytesJson(const std::vector<std::uint8_t>& bytes) { return FormatHexBytes(bytes); }

void ReadBoardMemory(const Json& j, BoardMemory& board) {
  if (!j.is_array()) throw FleetError("boardMemory: expected [[address, value], ...]");
  for (const auto& cell : j) {
    if (!cell.is_array() || cell.size() != 2)
      throw FleetError("boardMemory: expected [address, value]");
    board.SelectAddress(static_cast<std::uint16_t>(ReadNumber(cell[0], "boardMemory", 0xFFFF)));
    board.WriteValue(static_cast<std::uint16_t>(ReadNumber(cell[1], "boardMemory", 0xFFFF)));
  }
}

QueryAnswer ReadQueryAnswer(const Json& value) {
  const std::string name = ReadString(value, "queryAnswer");
  for (const auto& a : kAnswerNames)
    if (name == a.name) return a.answer;
  Fail("queryAnswer", "expected normal, one-byte-status or block");
}

const char* QueryAnswerName(QueryAnswer answer) {
  for (const auto& a : kAnswerNames)
    if (a.answer == answer) return a.name;
  return "normal";
}

IoctlFault::Action ReadAction(const Json& value) {
  const std::string name = ReadString(value, "action");
  for (const auto& a : kActionNames)
    if (name == a.name) return a.action;
  Fail("action", "expected refuse, short or raw");
}

const char* ActionName(IoctlFault::Action action) {
  for (const auto& a : kActionNames)
    if (a.action == action) return a.name;
  return "refuse";
}

}  // namespace nolpa::sim::fleet_json
