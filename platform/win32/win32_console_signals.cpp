#include "platform/win32/win32_console_signals.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace nolpa::platform::win32 {

namespace {

// Longer than a spooler start may take (about 22 s); the system ends the
// process sooner where it allows less (a closed console: 5 s).
constexpr DWORD kCleanUpWaitMs = 30000;

std::atomic<int> requests{0};
HANDLE cleanedUp = nullptr;  // manual-reset event, set by CleanUpFinished
// Whether a write is being sent, and whether a second request came meanwhile.
std::mutex writeLock;
bool writing = false;
bool endAfterWrite = false;

[[noreturn]] void EndNow() {
  // Not ExitProcess: the program's thread may hold a lock the exit needs.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kEndedBySecondRequest));
  ExitProcess(static_cast<UINT>(kEndedBySecondRequest));
}

BOOL WINAPI Handler(DWORD type) {
  const int count = ++requests;
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: {
      // The program's thread stops at its next step and cleans up. The
      // default handler must never see a second press: it ends the process
      // with an exit code a script may read as success.
      if (count == 1) return TRUE;
      const std::lock_guard<std::mutex> hold(writeLock);
      if (!writing) EndNow();
      endAfterWrite = true;
      return TRUE;
    }
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

void Win32ConsoleSignals::BeginWrite() {
  const std::lock_guard<std::mutex> hold(writeLock);
  writing = true;
}

void Win32ConsoleSignals::EndWrite() {
  const std::lock_guard<std::mutex> hold(writeLock);
  writing = false;
  if (endAfterWrite) EndNow();
}

void Win32ConsoleSignals::CleanUpFinished() {
  if (cleanedUp != nullptr) SetEvent(cleanedUp);
}

}  // namespace nolpa::platform::win32
