#pragma once
// The command line of a run without the window: "/s " sets a printer's ID
// code, "/c " checks it. Portable, so it is tested natively.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace nolpa::app {

// BatchMode values.
inline constexpr std::int32_t kInteractive = 0;
inline constexpr std::int32_t kSetMode = 1;
inline constexpr std::int32_t kCheckMode = 2;

struct CommandLineValues {
  std::string idCode;       // exactly as given, possibly empty
  std::string productName;  // exactly as given; empty means the first device
  std::int32_t mode = kInteractive;
  // Whether the system's ANSI code page holds the values exactly (see
  // InAnsiCodePage), and the ID code as the user gave it, in UTF-8.
  bool idCodeHeld = true;
  bool productNameHeld = true;
  std::string idCodeGiven;
};

// `commandLine` is the text after the program name. The switches are found
// anywhere, case-sensitively; no quoting is recognised. "/s " is taken
// first: a space after its code cuts the text there, and the rest becomes the
// product name. "/c " is then looked for before that cut and overrides the
// code, the mode and (when a space follows its code) the product name.
CommandLineValues ParseCommandLine(std::string_view commandLine);

// The text after the program's name in a whole command line
// (GetCommandLineW's, as UTF-8), as the GUI entry point is given it: the
// name runs to its closing quote when it starts with one, else to the first
// space or tab; the spaces and tabs after it are left off too.
std::string_view ArgumentsOf(std::string_view commandLine);

// Values parsed from UTF-8 text in the system's ANSI code page, as the
// device texts they are compared with. A value the code page cannot hold
// exactly is never taken in a look-alike's form ("ＬＩＮＥ３" is not "LINE3"):
// its flag says so, and its ANSI text is then left empty.
CommandLineValues InAnsiCodePage(const CommandLineValues& utf8, platform::TextEncoding& encoding);

}  // namespace nolpa::app
