// Entry point: one copy per logon, then the program; an exception that
// escapes start-up is shown in the standard box and the process ends with 0.
#include <windows.h>

#include "app/program.h"
#include "app/single_instance.h"
#include "ui/win32/exception_box.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  if (nolpa::app::AnotherCopyRunning()) {
    nolpa::app::ActivateRunningCopy();
    return -1;
  }
  try {
    return nolpa::app::RunProgram(commandLine);
  } catch (...) {
    nolpa::ui::win32::ShowCurrentException(nullptr);
  }
  return 0;
}
