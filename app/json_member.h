#pragma once
// Reading back one text member of a JSON object, as the audit log's lines
// hold them (a station resumes from the codes its log names).
#include <optional>
#include <string>
#include <string_view>

namespace nolpa::app {

// The value of the member `name` of the JSON object `json` (surrounding
// white space allowed), unescaped to UTF-8; a \u escape of a lone
// surrogate gives U+FFFD. Nothing when `json` is no well-formed object up
// to that member, has no such member at its top level, or the member's
// value is not a text. Members nested deeper are not looked at.
std::optional<std::string> JsonMemberText(std::string_view json, std::string_view name);

}  // namespace nolpa::app
