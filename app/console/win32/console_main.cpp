// NOLPAIDC.exe (and NOLPAIDC-sim.exe): the console companion's Windows entry
// point. The printers' side is the window program's own: the same device
// world of the flavour it is linked with, the same real window-side
// adapters, the same library it carries; no window is ever made.
#include <windows.h>
// After <windows.h>, which it needs.
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "app/console/console_program.h"
#include "app/console/win32/console_flavour.h"
#include "app/single_instance.h"
#include "app/win32_platform.h"
#include "platform/odbc/odbc_database.h"
#include "platform/win32/kernel_calls.h"
#include "platform/win32/system_libraries.h"
#include "platform/win32/text_conversion.h"
#include "platform/win32/win32_console_signals.h"
#include "platform/win32/win32_console_streams.h"
#include "platform/win32/win32_device_tree.h"
#include "platform/win32/win32_log_files.h"
#include "platform/win32/win32_program_files.h"
#include "platform/win32/win32_system_info.h"
#include "platform/win32/win32_text_encoding.h"

namespace nolpa::app::console {
namespace {

class Win32Host final : public ConsoleHost {
 public:
  platform::Platform Services() override { return platform_.Services(); }
  platform::DeviceTree* UsbTree() override {
    platform::DeviceTree* simulated = platform_.UsbDeviceTree();
    return simulated != nullptr ? simulated : &systemTree_;
  }
  void LibraryLoaded(platform::ModuleHandle library) override { platform_.LibraryLoaded(library); }

 private:
  Win32Platform platform_;
  platform::win32::Win32DeviceTree systemTree_;
};

}  // namespace
}  // namespace nolpa::app::console

namespace {

// The arguments, read wide and given on as UTF-8: the ANSI ones would hold
// look-alikes of characters the code page lacks ("LINE3" for "ＬＩＮＥ３"), which
// the ID rules would then pass. The companion converts what reaches a
// printer, exactly or not at all.
std::vector<std::string> Utf8Arguments() {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; words != nullptr && i < count; ++i)
    arguments.push_back(nolpa::platform::win32::WideToUtf8(words[i]));
  LocalFree(words);
  return arguments;
}

}  // namespace

int main() {
  using namespace nolpa;
  // As the window program: every library loaded from now on comes from the
  // system folder, never from the folder the console was started from.
  platform::win32::RestrictDllSearchToSystemFolder();
  platform::win32::Win32ConsoleStreams streams;
  platform::win32::Win32ConsoleSignals signals;
  platform::win32::Win32LogFiles logs;
  platform::win32::Win32TextEncoding encoding;
  platform::win32::Win32SystemInfo system;
  app::console::ConsoleEnvironment environment(streams, signals, logs, encoding, system);
  environment.simulatorBuild = app::console::kSimulatorFlavour;
  environment.anotherCopyRunning = &app::AnotherCopyRunning;
  // The plant's database through the system's odbc32.dll, loaded at the
  // first connection; the db commands read the INI file beside the program.
  platform::odbc::OdbcDatabases databases(&platform::win32::Odbc);
  environment.databases = &databases;
  platform::win32::Win32ProgramFiles settings;
  environment.settings = &settings;
  environment.openHost =
      [](const app::console::Options& options) -> std::unique_ptr<app::console::ConsoleHost> {
    if (options.fleet) app::console::UseStateFile(*options.fleet);
    return std::make_unique<app::console::Win32Host>();
  };
  return app::console::RunConsole(environment, Utf8Arguments());
}
