#pragma once
// The real requests to stop a console program: SetConsoleCtrlHandler. The
// handler runs on a thread the system makes for it; it only notes the
// request (and, for a closed console, a log-off or a shut-down, waits for
// the program's clean-up, since the system ends the process when it
// returns). A second Ctrl+C or Ctrl+Break ends the process with
// kEndedBySecondRequest, after the write in progress. One per process.
#include "platform/console_signals.h"

namespace nolpa::platform::win32 {

class Win32ConsoleSignals final : public ConsoleSignals {
 public:
  Win32ConsoleSignals();
  ~Win32ConsoleSignals() override;
  void Watch() override;
  bool StopRequested() override;
  void BeginWrite() override;
  void EndWrite() override;
  void CleanUpFinished() override;
};

}  // namespace nolpa::platform::win32
