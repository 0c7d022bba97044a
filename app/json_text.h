#pragma once
// JSON text of what the programs write for other programs to read: the
// console's reports and the audit log's lines. Every text handed in is
// UTF-8 (device texts are converted from the ANSI code page first).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nolpa::app {

// `utf8` as a JSON string, quotes included. Quote and backslash are escaped,
// the control characters U+0000 to U+001F and DEL as \b \f \n \r \t or
// \u00XX; a byte that does not begin a well-formed UTF-8 character (a stray
// continuation byte, a cut or overlong sequence, a surrogate, a code point
// above U+10FFFF) becomes \uFFFD; every other character is kept as it is.
std::string JsonString(std::string_view utf8);
// The same, appended to `out`.
void AppendJsonString(std::string& out, std::string_view utf8);

// One JSON object, its members in the order they are added.
class JsonObject {
 public:
  JsonObject& Text(std::string_view name, std::string_view utf8);
  JsonObject& Number(std::string_view name, std::int64_t value);
  JsonObject& Boolean(std::string_view name, bool value);
  JsonObject& Null(std::string_view name);
  // `json` must be a JSON value already (an object or array built here).
  JsonObject& Value(std::string_view name, std::string_view json);

  std::string Json() const { return "{" + members_ + "}"; }

 private:
  void Name(std::string_view name);
  std::string members_;
};

// A JSON array of values that are JSON already.
std::string JsonArray(const std::vector<std::string>& values);

}  // namespace nolpa::app
