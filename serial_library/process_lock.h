#pragma once
// The library's process-wide lock, the one lock it has. Each exported call
// creates it as it starts and destroys it before it returns
// (ProcessLockScope), as does an exchange or firmware query run on its own;
// every call into the channel API, and the API's loading and unloading,
// holds it (ProcessLockHold). Live().locks reports it. The library serves
// one exported call at a time, so the creation itself needs no guard.
#include <memory>
#include <mutex>

namespace nolpa::morvalib {

// For the length of an exported call: creates the lock when none exists and
// destroys it again at the end, unless an outer scope made it.
class ProcessLockScope {
 public:
  ProcessLockScope();
  ~ProcessLockScope();
  ProcessLockScope(const ProcessLockScope&) = delete;
  ProcessLockScope& operator=(const ProcessLockScope&) = delete;

  // True while some scope holds the lock in existence.
  static bool LockExists();

 private:
  bool created_ = false;
};

// Holds the lock for its lifetime. Outside any exported call (a test
// driving a port directly) it makes a lock of its own for that span, so a
// channel-API call never runs unguarded. Not re-entrant.
class ProcessLockHold {
 public:
  ProcessLockHold();
  ~ProcessLockHold();
  ProcessLockHold(const ProcessLockHold&) = delete;
  ProcessLockHold& operator=(const ProcessLockHold&) = delete;

  // How many holds are in force now: 0 between calls.
  static int Holds();

 private:
  ProcessLockScope scope_;
  std::unique_lock<std::mutex> lock_;
};

}  // namespace nolpa::morvalib
