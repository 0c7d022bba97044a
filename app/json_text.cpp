#include "app/json_text.h"

#include <algorithm>
#include <cstdio>

namespace nolpa::app {

namespace {

// The length of the well-formed UTF-8 character at the start of `text`, or
// 0 when it does not start with one (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF).
std::size_t CharacterLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

void AppendEscaped(std::string& out, unsigned char c) {
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
  out += escape;
}

// Characters a JSON string holds as they are, one byte each.
bool PlainAscii(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\';
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view utf8) {
  out += '"';
  while (!utf8.empty()) {
    // Runs of plain ASCII characters go over whole.
    const auto plain = static_cast<std::size_t>(
        std::find_if_not(utf8.begin(), utf8.end(), PlainAscii) - utf8.begin());
    out.append(utf8.substr(0, plain));
    utf8.remove_prefix(plain);
    if (utf8.empty()) break;
    const auto c = static_cast<unsigned char>(utf8[0]);
    if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
      AppendEscaped(out, c);
      utf8.remove_prefix(1);
      continue;
    }
    const std::size_t length = CharacterLength(utf8);
    if (length == 0) {
      out += "\\uFFFD";
      utf8.remove_prefix(1);
      continue;
    }
    out.append(utf8.substr(0, length));
    utf8.remove_prefix(length);
  }
  out += '"';
}

std::string JsonString(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 2);
  AppendJsonString(out, utf8);
  return out;
}

void JsonObject::Name(std::string_view name) {
  if (!members_.empty()) members_ += ',';
  AppendJsonString(members_, name);
  members_ += ':';
}

JsonObject& JsonObject::Text(std::string_view name, std::string_view utf8) {
  Name(name);
  AppendJsonString(members_, utf8);
  return *this;
}

JsonObject& JsonObject::Number(std::string_view name, std::int64_t value) {
  Name(name);
  members_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Boolean(std::string_view name, bool value) {
  Name(name);
  members_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Null(std::string_view name) {
  Name(name);
  members_ += "null";
  return *this;
}

JsonObject& JsonObject::Value(std::string_view name, std::string_view json) {
  Name(name);
  members_.append(json);
  return *this;
}

std::string JsonArray(const std::vector<std::string>& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) out += (i > 0 ? "," : "") + values[i];
  return out + "]";
}

}  // namespace nolpa::app
