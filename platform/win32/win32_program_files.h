#pragma once
// The real program files: the executable's own resources and path, and the
// system's INI reader.
#include "platform/program_files.h"

namespace nolpa::platform::win32 {

class Win32ProgramFiles final : public ProgramFiles {
 public:
  bool RcDataResource(const char* name, std::vector<std::uint8_t>* bytes) override;
  std::string ExecutablePath() override;
  std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& fallback) override;
};

}  // namespace nolpa::platform::win32
