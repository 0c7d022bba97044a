// Entry point: one copy per logon, then the program. An exception that
// escapes start-up is shown in the standard box; the process then ends with
// 0, or with 4 when the command line asked for a run without the window, so
// that a script never reads the failure as a match.
#include <windows.h>

#include "app/command_line.h"
#include "app/program.h"
#include "app/run_command_line.h"
#include "app/single_instance.h"
#include "platform/win32/kernel_calls.h"
#include "platform/win32/text_conversion.h"
#include "platform/win32/win32_text_encoding.h"
#include "ui/win32/exception_box.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything loads a library: whatever this elevated process loads
  // from now on comes from the system folder, never from the program's own
  // folder (a download folder, where anyone may have put a library).
  nolpa::platform::win32::RestrictDllSearchToSystemFolder();
  if (nolpa::app::AnotherCopyRunning()) {
    nolpa::app::ActivateRunningCopy();
    return -1;
  }
  // Read wide: the ANSI command line would hold a look-alike of a character
  // its code page lacks ("LINE3" for "ＬＩＮＥ３"), which the ID rules then pass.
  const std::string commandLine = nolpa::platform::win32::WideToUtf8(GetCommandLineW());
  nolpa::platform::win32::Win32TextEncoding encoding;
  const nolpa::app::CommandLineValues values = nolpa::app::InAnsiCodePage(
      nolpa::app::ParseCommandLine(nolpa::app::ArgumentsOf(commandLine)), encoding);
  try {
    return nolpa::app::RunProgram(values);
  } catch (...) {
    nolpa::ui::win32::ShowCurrentException(nullptr);
  }
  return values.mode != nolpa::app::kInteractive ? nolpa::app::kRunFailed : 0;
}
