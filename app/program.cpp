#include "app/program.h"

#include "app/win32_platform.h"
#include "discovery/standard_routes.h"
#include "ui/main_form.h"
#include "ui/win32/application_window.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

namespace nolpa::app {

int RunProgram(const char* commandLine) {
  // COMMAND-LINE PARSER: "/s " and "/c " give the mode (1 set, 2 check), the
  // ID code and the product name; until it is written every start is
  // interactive.
  static_cast<void>(commandLine);
  const int mode = 0;

  Win32Platform platform;
  ui::win32::ApplicationWindow application;
  const platform::Platform services = platform.Services();
  // The printer-class route reads the window's library fields at each probe.
  ui::TMainForm form(ui::FormServices{
      services, discovery::StandardRoutes(services, [&form] { return form.SerialLibrary(); })});
  ui::win32::MainWindow window(form, application.Handle());
  platform.SetMessageOwner(window.Handle());

  if (mode != 0) {
    // COMMAND-LINE RUN: BatchIdCode, BatchProductName and BatchMode are set
    // here and RunCommandLine decides BatchExitCode; the window stays hidden.
    return form.BatchExitCode;
  }

  application.SetMainWindow(window.Handle());
  application.Show();
  window.Show();
  ui::win32::RunMessageLoop(window.Handle());
  return 0;
}

}  // namespace nolpa::app
