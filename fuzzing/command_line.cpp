// The command-line parser: the input is the text after the program name.
#include "app/command_line.h"
#include "fuzzing/support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace app = nolpa::app;
  const std::string_view line = nolpa::fuzz::AsText({data, size});
  const app::CommandLineValues values = app::ParseCommandLine(line);

  const bool hasSet = line.find("/s ") != std::string_view::npos;
  const bool hasCheck = line.find("/c ") != std::string_view::npos;
  FUZZ_CHECK(values.mode == app::kInteractive || values.mode == app::kSetMode ||
             values.mode == app::kCheckMode);
  FUZZ_CHECK((values.mode == app::kInteractive) == !(hasSet || hasCheck));
  if (values.mode == app::kInteractive) {
    FUZZ_CHECK(values.idCode.empty() && values.productName.empty());
    return 0;
  }
  // CODE runs up to the next space.
  FUZZ_CHECK(values.idCode.find(' ') == std::string::npos);
  FUZZ_CHECK(line.find(values.idCode) != std::string_view::npos);
  // The product name runs to the end of the line, or (a "/c " before "/s ")
  // to the space that ends the "/s " code.
  FUZZ_CHECK(line.find(values.productName) != std::string_view::npos);
  if (!hasCheck) FUZZ_CHECK(line.ends_with(values.productName));
  FUZZ_CHECK(values.idCode.size() + values.productName.size() + 3 <= line.size());
  return 0;
}
