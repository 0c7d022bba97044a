#pragma once
// The console companion run in this process against a simulated world: the
// program's form, routes and the real serial-number library, with the
// console's streams, stop requests and log files as fakes a test reads.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/console/console_program.h"
#include "platform/posix/posix_console.h"
#include "serial_library/services.h"
#include "serial_library/usb_location.h"
#include "sim/fleet/fleet.h"
#include "sim/library_world.h"
#include "tests/support/library_entry_points.h"
#include "tests/support/library_world_services.h"
#include "tests/support/sim_harness.h"

namespace nolpa::testing {

class FakeStreams final : public platform::ConsoleStreams {
 public:
  bool outputIsConsole = false;
  bool errorIsConsole = false;
  std::string output;
  std::string error;
  bool IsConsole(platform::Stream stream) override {
    return stream == platform::Stream::Output ? outputIsConsole : errorIsConsole;
  }
  void Write(platform::Stream stream, std::string_view utf8) override {
    (stream == platform::Stream::Output ? output : error).append(utf8);
  }
};

class FakeSignals final : public platform::ConsoleSignals {
 public:
  // Asked at each StopRequested; empty: never.
  std::function<bool()> stop;
  // Called at EndWrite, where a second Ctrl+C that came during the write
  // would end the process.
  std::function<void()> atEndWrite;
  bool watched = false;
  int cleanUps = 0;
  int writesBegun = 0;
  int writesEnded = 0;
  int writesBegunInsideAnother = 0;
  void Watch() override { watched = true; }
  bool StopRequested() override { return watched && stop && stop(); }
  void BeginWrite() override {
    if (writesBegun != writesEnded) ++writesBegunInsideAnother;
    ++writesBegun;
  }
  void EndWrite() override {
    ++writesEnded;
    if (atEndWrite) atEndWrite();
  }
  void CleanUpFinished() override { ++cleanUps; }
};

// Log files in memory: what each path holds, every append counted.
class MemoryLogFiles final : public platform::LogFiles {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> unopenable;
  bool failAppends = false;
  int appends = 0;
  platform::UtcTime now{2027, 3, 1, 0, 5, 3, 7};

  platform::LogFile OpenForAppend(const std::string& path) override {
    if (unopenable.count(path) != 0) return platform::kNoLog;
    files[path];
    open_.push_back(path);
    return open_.size() - 1;
  }
  bool Append(platform::LogFile log, std::string_view bytes) override {
    ++appends;
    if (failAppends || log >= open_.size()) return false;
    files[open_[log]].append(bytes);
    return true;
  }
  void Close(platform::LogFile) override {}
  platform::UtcTime UtcNow() override { return now; }
  platform::ReadResult ReadWhole(const std::string& path, std::string* bytes) override {
    if (unopenable.count(path) != 0) return platform::ReadResult::Failed;
    const auto it = files.find(path);
    if (it == files.end()) return platform::ReadResult::Missing;
    *bytes = it->second;
    return platform::ReadResult::Read;
  }
  // The lines of a log, line feeds dropped.
  std::vector<std::string> Lines(const std::string& path) const;

 private:
  std::vector<std::string> open_;
};

inline std::vector<std::string> MemoryLogFiles::Lines(const std::string& path) const {
  std::vector<std::string> lines;
  const auto it = files.find(path);
  if (it == files.end()) return lines;
  std::size_t start = 0;
  for (std::size_t end = it->second.find('\n'); end != std::string::npos;
       end = it->second.find('\n', start)) {
    lines.push_back(it->second.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// A world built from a fleet (the default one unless told), its USB bus and
// spooler as NOLPAID-sim.exe sets them up, and the library's services over it.
struct ConsoleRig {
  explicit ConsoleRig(std::string_view fleet = sim::DefaultFleetJson()) {
    sim::LoadFleet(h.world, fleet);
    around = std::make_unique<sim::LibraryWorld>(h.world);
    morvalib::DropHubTable();
    morvalib::InstallServices(LibraryWorldServices(h.world, h.clock, *around));
    BindLibraryExports(h.host.Library());
  }
  ~ConsoleRig() {
    morvalib::RemoveServices();
    morvalib::DropHubTable();
  }

  // Runs NOLPAIDC with `arguments`; returns its exit code.
  int Run(const std::vector<std::string>& arguments);

  // What the output stream got, line by line.
  std::vector<std::string> OutputLines() const;

  SimHarness h;
  std::unique_ptr<sim::LibraryWorld> around;
  FakeStreams streams;
  FakeSignals signals;
  MemoryLogFiles logs;
  platform::posix::Windows1252Encoding encoding;
  bool anotherCopy = false;
  bool simulatorBuild = true;
  // Changes the form's platform before the run (a failing route, say).
  std::function<void(platform::Platform&)> adjust;
  bool hostOpened = false;
};

namespace detail {

class RigHost final : public app::console::ConsoleHost {
 public:
  explicit RigHost(ConsoleRig& rig) : rig_(rig) {}
  platform::Platform Services() override {
    platform::Platform p = rig_.h.Platform();
    if (rig_.adjust) rig_.adjust(p);
    return p;
  }
  platform::DeviceTree* UsbTree() override { return &rig_.around->Usb().Tree(); }
  void LibraryLoaded(platform::ModuleHandle) override {}

 private:
  ConsoleRig& rig_;
};

}  // namespace detail

inline int ConsoleRig::Run(const std::vector<std::string>& arguments) {
  app::console::ConsoleEnvironment env(streams, signals, logs, encoding, h.system);
  env.simulatorBuild = simulatorBuild;
  env.anotherCopyRunning = [this] { return anotherCopy; };
  env.openHost =
      [this](const app::console::Options&) -> std::unique_ptr<app::console::ConsoleHost> {
    hostOpened = true;
    return std::make_unique<detail::RigHost>(*this);
  };
  return app::console::RunConsole(env, arguments);
}

inline std::vector<std::string> ConsoleRig::OutputLines() const {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = streams.output.find('\n'); end != std::string::npos;
       end = streams.output.find('\n', start)) {
    lines.push_back(streams.output.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace nolpa::testing
