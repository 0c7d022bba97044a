// The INI model list: the input is the text of NOLPAID.ini beside the
// program, read by the simulated system's INI reader for keys 1 to 4 of
// section [AddDevice], as the library loader asks for them.
#include <cctype>
#include <string>

#include "discovery/printer_class.h"
#include "fuzzing/support/fuzz_input.h"
#include "sim/host/host_system.h"
#include "ui/library_loader.h"

namespace {

bool Mentions(std::string_view text, std::string_view word) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string key(word);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return folded.find(key) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace ui = nolpa::ui;
  const std::string_view text = nolpa::fuzz::AsText({data, size});
  nolpa::sim::HostSystem host;
  host.SetIniFile(ui::IniFilePath(host.ExecutableFile()), std::string(text));
  const std::array<std::string, 4> models = ui::ReadAddDeviceModels(host.Program());

  for (const std::string& model : models) {
    // GetPrivateProfileStringA's buffer, and one line of the file at most.
    FUZZ_CHECK(model.size() <= 2047);
    FUZZ_CHECK(model.find('\n') == std::string::npos);
    FUZZ_CHECK(model == ui::kDefaultModel || text.find(model) != std::string_view::npos);
  }
  // Without the section every key falls back to the default model.
  if (!Mentions(text, ui::kModelSection))
    for (const std::string& model : models) FUZZ_CHECK(model == ui::kDefaultModel);
  // Whatever the file says, each extra name lists a model that carries it.
  for (const std::string& model : models)
    FUZZ_CHECK(nolpa::discovery::IsLibraryModel("X" + model + "X", &models));
  return 0;
}
