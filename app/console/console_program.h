#pragma once
// The console companion NOLPAIDC from its command line to its exit code:
// the window program's form driven without a window, its boxes as lines on
// the error stream, the one-copy rule shared with NOLPAID, the audit log,
// and the clean-up of closing the window on every way out. Portable: the
// Windows entry point and the native (simulator) one hand it their world.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/console/console_options.h"
#include "platform/console_signals.h"
#include "platform/console_streams.h"
#include "platform/database.h"
#include "platform/device_tree.h"
#include "platform/log_files.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"

namespace nolpa::app::console {

inline constexpr char kProgramName[] = "NOLPAIDC";

// The printers' side of one run, opened once the command line is understood
// and no other copy runs.
class ConsoleHost {
 public:
  virtual ~ConsoleHost() = default;
  // What the form is given; its message boxes are replaced by the console's.
  virtual platform::Platform Services() = 0;
  // The device tree the USB locations are read from; null: none.
  virtual platform::DeviceTree* UsbTree() = 0;
  // The serial-number library was loaded and bound (FormServices::libraryLoaded).
  virtual void LibraryLoaded(platform::ModuleHandle library) = 0;
};

struct ConsoleEnvironment {
  ConsoleEnvironment(platform::ConsoleStreams& streams, platform::ConsoleSignals& signals,
                     platform::LogFiles& logFiles, platform::TextEncoding& encoding,
                     platform::SystemInfo& system)
      : streams(&streams),
        signals(&signals),
        logFiles(&logFiles),
        encoding(&encoding),
        system(&system) {}

  platform::ConsoleStreams* streams;
  platform::ConsoleSignals* signals;
  platform::LogFiles* logFiles;
  platform::TextEncoding* encoding;
  // The user's language before the form decides it (usage messages).
  platform::SystemInfo* system;
  bool simulatorBuild = false;  // only a simulator build takes --fleet
  // The plant's database over ODBC; null in a build without it.
  platform::Databases* databases = nullptr;
  // The program's own files (its INI file) without the printers' side:
  // the db commands read [Plant] Database from it. Null: no INI file.
  platform::ProgramFiles* settings = nullptr;
  // The one-copy rule: true when another copy of either program runs.
  std::function<bool()> anotherCopyRunning;
  // Opens the printers' side; may throw (a simulator state that cannot be
  // read), which ends the run with exit code 4.
  std::function<std::unique_ptr<ConsoleHost>(const Options& options)> openHost;
};

// `arguments` without the program name, UTF-8 as the user gave them (the
// Windows entry point reads them wide). Returns the exit code.
int RunConsole(const ConsoleEnvironment& environment, const std::vector<std::string>& arguments);

}  // namespace nolpa::app::console
