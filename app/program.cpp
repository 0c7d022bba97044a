#include "app/program.h"

#include "app/run_command_line.h"
#include "app/win32_platform.h"
#include "app/window_audit.h"
#include "discovery/standard_routes.h"
#include "ident/spooler_control.h"
#include "platform/win32/win32_text_encoding.h"
#include "ui/main_form.h"
#include "ui/win32/application_window.h"
#include "ui/win32/exception_box.h"
#include "ui/win32/main_window.h"
#include "ui/win32/message_loop.h"

namespace nolpa::app {

int RunProgram(const CommandLineValues& values) {
  Win32Platform platform;
  ui::win32::ApplicationWindow application;
  const platform::Platform services = platform.Services();
  WindowAudit audit(*services.program);
  // The printer-class route reads the window's library fields at each probe.
  ui::TMainForm form(ui::FormServices{
      services, discovery::StandardRoutes(services, [&form] { return form.SerialLibrary(); }),
      [services](int mode) { return ident::ControlSpooler(services, mode); },
      [&platform](platform::ModuleHandle library) { platform.LibraryLoaded(library); },
      audit.Get()});
  ui::win32::MainWindow window(form, application.Handle());
  platform.SetMessageOwner(window.Handle());

  if (values.mode != kInteractive) {
    // The window stays hidden and is destroyed without being closed, so its
    // close handling never runs; the run does the clean-up itself.
    platform::win32::Win32TextEncoding encoding;
    return CarryOutCommandLineRun(
        form, values, [&] { ui::win32::ShowCurrentException(window.Handle()); }, &encoding);
  }

  application.SetMainWindow(window.Handle());
  application.Show();
  window.Show();
  ui::win32::RunMessageLoop(window.Handle());
  return 0;
}

}  // namespace nolpa::app
