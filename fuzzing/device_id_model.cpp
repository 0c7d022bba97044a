// The "MDL:" value out of a printer-class device-ID reply: the input is the
// reply, length prefix included, exactly as many bytes as the driver gave.
#include <algorithm>

#include "discovery/printer_class.h"
#include "fuzzing/support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace discovery = nolpa::discovery;
  const std::span<const std::uint8_t> reply(data, size);
  const std::string model = discovery::ModelFromDeviceId(reply);
  FUZZ_CHECK(model.size() <= discovery::kModelTextMax);
  FUZZ_CHECK(model.find(';') == std::string::npos);
  FUZZ_CHECK(model.find('\0') == std::string::npos);
  if (!model.empty()) {
    // What was found is in the device ID after its two length bytes.
    const std::string_view text = nolpa::fuzz::AsText(reply.subspan(2));
    FUZZ_CHECK(text.find("MDL:" + model) != std::string_view::npos);
  }
  const bool known = model.find(discovery::kModel5200) != std::string::npos ||
                     model.find("RK-L880") != std::string::npos;
  FUZZ_CHECK(discovery::IsLibraryModel(model, nullptr) == known);
  return 0;
}
