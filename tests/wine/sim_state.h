#pragma once
// A state file of its own for the simulated world of one test, in a fresh
// folder under the temporary directory; both are removed afterwards.
#include <windows.h>

#include <string>

#include "tests/wine/window_driver.h"

namespace nolpa::wine_tests {

class SimState {
 public:
  SimState() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "nolpa-sim-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(GetTickCount());
    CreateDirectoryA(folder_.c_str(), nullptr);
    environment_ = {{"NOLPA_SIM_STATE", Path()}};
  }
  ~SimState() {
    DeleteFileA(Path().c_str());
    DeleteFileA(LogPath().c_str());
    // The simulated system folder and the channel-API stand-in in it.
    DeleteFileA((Path() + ".system\\ZQAPI2.DLL").c_str());
    RemoveDirectoryA((Path() + ".system").c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  SimState(const SimState&) = delete;
  SimState& operator=(const SimState&) = delete;

  std::string Path() const { return folder_ + "\\state.json"; }
  // What each run of the simulated program appends to: how it used the
  // channel API and the departures its world noted.
  std::string LogPath() const { return Path() + ".log"; }
  // The environment that points the simulated program at this file.
  const Environment& Env() const { return environment_; }

 private:
  std::string folder_;
  Environment environment_;
};

}  // namespace nolpa::wine_tests
