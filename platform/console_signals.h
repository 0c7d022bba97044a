#pragma once
// A console program being asked to stop: Ctrl+C, Ctrl+Break, its console
// window closed, the user logging off, the system shutting down. Real
// implementation: SetConsoleCtrlHandler; natively SIGINT, SIGTERM, SIGHUP.
//
// The request arrives on a thread of its own while the program's one thread
// may be inside a device call or a library call, so nothing is cleaned up
// there: the request is only noted, and the program's thread stops at its
// next step and cleans up itself. Where the system ends the process as soon
// as the handler returns (console closed, log-off, shut-down), the handler
// waits, bounded, until CleanUpFinished.
namespace nolpa::platform {

// The exit code of a process a second Ctrl+C ended: never 0, so a script
// cannot read it as a success.
inline constexpr int kEndedBySecondRequest = 4;

class ConsoleSignals {
 public:
  virtual ~ConsoleSignals() = default;

  // Starts noting requests to stop, Ctrl+C included even when the program
  // was started with Ctrl+C ignored. A second Ctrl+C or Ctrl+Break ends the
  // process at once with kEndedBySecondRequest, without its clean-up;
  // between BeginWrite and EndWrite it ends the process only at EndWrite.
  virtual void Watch() = 0;

  // True once a request to stop has arrived.
  virtual bool StopRequested() = 0;

  // A write is about to be sent to a printer, and its audit line is not
  // appended yet: a second request waits for EndWrite.
  virtual void BeginWrite() = 0;
  // The write's audit line is appended (or could not be): a second request
  // that came meanwhile ends the process now.
  virtual void EndWrite() = 0;

  // The machine is left as it was found (spooler running, work folder
  // removed): a handler that waits may let the process end now.
  virtual void CleanUpFinished() = 0;
};

}  // namespace nolpa::platform
