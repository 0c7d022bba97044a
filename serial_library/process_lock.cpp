#include "serial_library/process_lock.h"

namespace nolpa::morvalib {

namespace {
std::unique_ptr<std::mutex>& Lock() {
  static std::unique_ptr<std::mutex> lock;
  return lock;
}
int& HoldCount() {
  static int holds = 0;
  return holds;
}
}  // namespace

ProcessLockScope::ProcessLockScope() {
  if (Lock()) return;
  Lock() = std::make_unique<std::mutex>();
  created_ = true;
}

ProcessLockScope::~ProcessLockScope() {
  if (created_) Lock().reset();
}

bool ProcessLockScope::LockExists() { return Lock() != nullptr; }

ProcessLockHold::ProcessLockHold() : lock_(*Lock()) { ++HoldCount(); }

ProcessLockHold::~ProcessLockHold() { --HoldCount(); }

int ProcessLockHold::Holds() { return HoldCount(); }

}  // namespace nolpa::morvalib
