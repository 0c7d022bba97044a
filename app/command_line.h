#pragma once
// The command line of a run without the window: "/s " sets a printer's ID
// code, "/c " checks it. Portable, so it is tested natively.
#include <cstdint>
#include <string>
#include <string_view>

namespace nolpa::app {

// BatchMode values.
inline constexpr std::int32_t kInteractive = 0;
inline constexpr std::int32_t kSetMode = 1;
inline constexpr std::int32_t kCheckMode = 2;

struct CommandLineValues {
  std::string idCode;       // exactly as given, possibly empty
  std::string productName;  // exactly as given; empty means the first device
  std::int32_t mode = kInteractive;
};

// `commandLine` is the text after the program name. The switches are found
// anywhere, case-sensitively; no quoting is recognised. "/s " is taken
// first: a space after its code cuts the text there, and the rest becomes the
// product name. "/c " is then looked for before that cut and overrides the
// code, the mode and (when a space follows its code) the product name.
CommandLineValues ParseCommandLine(std::string_view commandLine);

}  // namespace nolpa::app
