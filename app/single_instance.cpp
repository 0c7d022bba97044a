#include "app/single_instance.h"

#include <windows.h>

#include "ui/layout.h"

namespace nolpa::app {

bool AnotherCopyRunning() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, "NOLPAID");
  return mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS;
}

void ActivateRunningCopy() {
  HWND running = FindWindowA(ui::kApplicationClass, ui::kApplicationTitle);
  if (running == nullptr) return;
  if (IsIconic(running)) OpenIcon(running);
  SetForegroundWindow(running);
}

}  // namespace nolpa::app
