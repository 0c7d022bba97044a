#include "app/console/window_settings.h"

#include <cstddef>
#include <string_view>

namespace nolpa::app::console {

std::string WindowProgramPath(const std::string& consolePath) {
  constexpr std::string_view kConsoleName = "NOLPAIDC";
  const std::size_t slash = consolePath.find_last_of("\\/:");
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  if (consolePath.size() - name < kConsoleName.size()) return consolePath;
  for (std::size_t i = 0; i < kConsoleName.size(); ++i) {
    const char c = consolePath[name + i];
    if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != kConsoleName[i])
      return consolePath;
  }
  const char after = name + kConsoleName.size() < consolePath.size()
                         ? consolePath[name + kConsoleName.size()]
                         : '.';
  if (after != '.' && after != '-') return consolePath;  // "NOLPAIDCX.exe" is another program
  std::string path = consolePath;
  path.erase(name + kConsoleName.size() - 1, 1);
  return path;
}

}  // namespace nolpa::app::console
