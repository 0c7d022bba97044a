#include "app/command_line.h"

#include <algorithm>

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

std::string_view ArgumentsOf(std::string_view commandLine) {
  std::size_t at = 0;
  if (commandLine.starts_with('"')) {
    const std::size_t close = commandLine.find('"', 1);
    at = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    at = std::min(commandLine.find_first_of(" \t"), commandLine.size());
  }
  at = std::min(commandLine.find_first_not_of(" \t", at), commandLine.size());
  return commandLine.substr(at);
}

CommandLineValues InAnsiCodePage(const CommandLineValues& utf8, platform::TextEncoding& encoding) {
  CommandLineValues ansi = utf8;
  ansi.idCodeGiven = utf8.idCode;
  ansi.idCodeHeld = encoding.Utf8ToAnsi(utf8.idCode, &ansi.idCode);
  if (!ansi.idCodeHeld) ansi.idCode.clear();
  ansi.productNameHeld = encoding.Utf8ToAnsi(utf8.productName, &ansi.productName);
  if (!ansi.productNameHeld) ansi.productName.clear();
  return ansi;
}

CommandLineValues ParseCommandLine(std::string_view commandLine) {
  CommandLineValues values;
  const std::string_view rest = TakeSwitch(commandLine, "/s ", kSetMode, values);
  TakeSwitch(rest, "/c ", kCheckMode, values);
  return values;
}

}  // namespace nolpa::app
