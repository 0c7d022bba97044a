#pragma once
// A test that starts one copy of a program and drives its main window.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "tests/wine/programs.h"
#include "tests/wine/window_driver.h"

namespace nolpa::wine_tests {

class ProgramTest : public ::testing::Test {
 protected:
  // Starts the program and waits until its first Find has run.
  void Start(const char* exeName, const std::string& arguments = "", const Environment& env = {}) {
    StartAt(ProgramPath(exeName), arguments, env);
  }
  // The same for a program file anywhere (a UTF-8 path).
  void StartAt(const std::string& exePath, const std::string& arguments = "",
               const Environment& env = {}) {
    run_ = std::make_unique<ProgramRun>(exePath, arguments, env);
    ASSERT_TRUE(run_->Started()) << exePath;
    HWND window = run_->WaitForWindow("TMainForm", kStartTimeoutMs);
    ASSERT_NE(window, nullptr) << "no main window";
    ASSERT_TRUE(run_->WaitIdle(window, kStartTimeoutMs)) << "the first Find did not end";
    driver_.emplace(window);
  }

  // Closes the window and returns the exit code (nothing when it hangs).
  std::optional<DWORD> CloseAndWait() {
    driver_->Close();
    return run_->WaitForExit(kExitTimeoutMs);
  }

  void TearDown() override {
    if (run_ != nullptr && driver_.has_value()) CloseAndWait();
    run_.reset();
  }

  ProgramRun& Run() { return *run_; }
  const WindowDriver& Window() const { return *driver_; }

 private:
  std::unique_ptr<ProgramRun> run_;
  std::optional<WindowDriver> driver_;
};

inline std::wstring Widen(const char* utf8) {
  wchar_t wide[512] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
  return wide;
}

}  // namespace nolpa::wine_tests
