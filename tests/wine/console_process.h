#pragma once
// A console program started from this test with its output and error
// streams caught in pipes, read while it runs; terminated at destruction if
// it is still running.
#include <windows.h>

#include <optional>
#include <string>
#include <thread>

#include "tests/wine/window_driver.h"

namespace nolpa::wine_tests {

class ConsoleProcess {
 public:
  // `flags` are CreateProcess's creation flags besides the environment's.
  ConsoleProcess(const std::string& exePath, const std::string& arguments,
                 const Environment& extra = {}, DWORD flags = 0);
  ~ConsoleProcess();
  ConsoleProcess(const ConsoleProcess&) = delete;
  ConsoleProcess& operator=(const ConsoleProcess&) = delete;

  bool Started() const { return process_ != nullptr; }
  DWORD ProcessId() const { return processId_; }
  HANDLE Process() const { return process_; }
  // The exit code once it ended (the streams read to their end), or nothing
  // when it still runs after the time-out.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs);
  // What it wrote, complete once WaitForExit gave a code.
  const std::string& Output() const { return output_; }
  const std::string& Error() const { return error_; }

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  std::string output_;
  std::string error_;
  std::thread outputReader_;
  std::thread errorReader_;
};

}  // namespace nolpa::wine_tests
