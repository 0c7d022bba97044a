#include "platform/win32/win32_console_signals.h"

#include <windows.h>

#include <atomic>

namespace nolpa::platform::win32 {

namespace {

// Longer than a spooler start may take (about 22 s); the system ends the
// process sooner where it allows less (a closed console: 5 s).
constexpr DWORD kCleanUpWaitMs = 30000;

std::atomic<int> requests{0};
HANDLE cleanedUp = nullptr;  // manual-reset event, set by CleanUpFinished

BOOL WINAPI Handler(DWORD type) {
  const int count = ++requests;
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // The program's thread stops at its next step and cleans up; a second
      // press ends the process at once (the default handler).
      return count == 1 ? TRUE : FALSE;
    default:
      // Console closed, log-off, shut-down: the process ends when this
      // returns, so the clean-up is waited for here.
      if (cleanedUp != nullptr) WaitForSingleObject(cleanedUp, kCleanUpWaitMs);
      return TRUE;
  }
}

}  // namespace

Win32ConsoleSignals::Win32ConsoleSignals() {
  if (cleanedUp == nullptr) cleanedUp = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

Win32ConsoleSignals::~Win32ConsoleSignals() { SetConsoleCtrlHandler(&Handler, FALSE); }

void Win32ConsoleSignals::Watch() {
  // A program started in a new process group, or by one that ignores
  // Ctrl+C, inherits the ignoring; the companion wants it.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(&Handler, TRUE);
}

bool Win32ConsoleSignals::StopRequested() { return requests.load() > 0; }

void Win32ConsoleSignals::CleanUpFinished() {
  if (cleanedUp != nullptr) SetEvent(cleanedUp);
}

}  // namespace nolpa::platform::win32
