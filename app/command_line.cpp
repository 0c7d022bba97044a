#include "app/command_line.h"

namespace nolpa::app {

namespace {

// Takes one switch out of `text` into `values`. Returns the text as it
// stands afterwards: cut at the space that ends the code, if there is one.
std::string_view TakeSwitch(std::string_view text, std::string_view name, std::int32_t mode,
                            CommandLineValues& values) {
  const std::size_t at = text.find(name);
  if (at == std::string_view::npos) return text;
  const std::size_t codeStart = at + name.size();
  const std::size_t space = text.find(' ', codeStart);
  values.mode = mode;
  if (space == std::string_view::npos) {
    values.idCode = std::string(text.substr(codeStart));
    return text;
  }
  values.idCode = std::string(text.substr(codeStart, space - codeStart));
  values.productName = std::string(text.substr(space + 1));
  return text.substr(0, space);
}

}  // namespace

CommandLineValues ParseCommandLine(std::string_view commandLine) {
  CommandLineValues values;
  const std::string_view rest = TakeSwitch(commandLine, "/s ", kSetMode, values);
  TakeSwitch(rest, "/c ", kCheckMode, values);
  return values;
}

}  // namespace nolpa::app
