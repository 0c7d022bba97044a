#pragma once
// The console reads the window program's own settings file: a line that
// names extra models or an audit log for NOLPAID.exe gets the same printers
// and the same log from NOLPAIDC.exe beside it, with no second file to keep
// in step.
#include <string>

#include "platform/program_files.h"

namespace nolpa::app::console {

// The window program's path beside the console `consolePath`:
// "...\NOLPAIDC.exe" gives "...\NOLPAID.exe", "...\NOLPAIDC-sim.exe"
// "...\NOLPAID-sim.exe" (the name compared without regard to case). A
// console under another name keeps its own path.
std::string WindowProgramPath(const std::string& consolePath);

// `program` as the window program beside the console sees it: its
// ExecutablePath (which names the INI file) is the window program's.
class WindowProgramSettings final : public platform::ProgramFiles {
 public:
  explicit WindowProgramSettings(platform::ProgramFiles& program) : program_(program) {}
  bool RcDataResource(const char* name, std::vector<std::uint8_t>* bytes) override {
    return program_.RcDataResource(name, bytes);
  }
  std::string ExecutablePath() override { return WindowProgramPath(program_.ExecutablePath()); }
  std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& fallback) override {
    return program_.IniString(file, section, key, fallback);
  }

 private:
  platform::ProgramFiles& program_;
};

}  // namespace nolpa::app::console
