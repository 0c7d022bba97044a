#include "serial_library/live_objects.h"

#include "serial_library/process_lock.h"

namespace nolpa::morvalib {

namespace {
int livePorts = 0;
int liveBuffers = 0;
}  // namespace

LiveObjects Live() {
  return {
      .locks = ProcessLockScope::LockExists() ? 1 : 0, .ports = livePorts, .buffers = liveBuffers};
}

PortCount::PortCount() { ++livePorts; }
PortCount::~PortCount() { --livePorts; }

WorkBuffer::WorkBuffer(std::size_t size) : bytes_(size, 0) { ++liveBuffers; }
WorkBuffer::~WorkBuffer() { --liveBuffers; }

}  // namespace nolpa::morvalib
