#pragma once
// The timed paths of the benchmark, run against a simulated world on
// whatever clock the caller gives: the virtual clock natively, the real one
// under Wine. Each scenario prepares its device outside the measured span
// and calls the meter right around the one operation it measures.
#include <memory>
#include <string>

#include "platform/clock.h"

namespace nolpa::bench {

// Marks the measured span. The native meter reads the virtual clock; the
// Windows one the performance counter and the process's CPU times.
class Meter {
 public:
  virtual ~Meter() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
};

// One printer of the maker's USB driver and one USB printer-class printer
// with the packet protocol, both answering at once: whatever time a
// scenario takes beyond its fixed waits is the host's.
class BenchWorld {
 public:
  explicit BenchWorld(platform::Clock& clock);
  ~BenchWorld();
  BenchWorld(const BenchWorld&) = delete;
  BenchWorld& operator=(const BenchWorld&) = delete;

  // WriteIdByCommands alone (a new ID code each call), on a device already
  // opened with its channel time-outs. Empty text on success, else what
  // went wrong.
  std::string CommandWrite(Meter& meter);
  // The whole communication test on the vendor printer, open to close.
  std::string CommunicationTest(Meter& meter);
  // EmptyChannel alone on the silent vendor printer.
  std::string Emptying(Meter& meter);
  // One GetUSBSerialNumber, with the device held open as Find holds it and
  // the library's hub table dropped first, so each call traces the bus anew
  // as the first call after loading does.
  std::string SerialNumberRead(Meter& meter);
  // The same, with an earlier call's late answer, close and Exit replies
  // still waiting in the printer: what the library reads away and passes
  // over before its own reply.
  std::string SerialNumberReadAfterStaleReplies(Meter& meter);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
  int writes_ = 0;
};

}  // namespace nolpa::bench
