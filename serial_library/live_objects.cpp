#include "serial_library/live_objects.h"

#include <memory>

namespace nolpa::morvalib {

namespace {
std::unique_ptr<std::recursive_mutex> processLock;
int livePorts = 0;
int liveBuffers = 0;
}  // namespace

LiveObjects Live() { return {.locks = processLock ? 1 : 0, .ports = livePorts, .buffers = liveBuffers}; }

LibraryLockScope::LibraryLockScope() : created_(!processLock) {
  if (created_) processLock = std::make_unique<std::recursive_mutex>();
}

LibraryLockScope::~LibraryLockScope() {
  if (created_) processLock.reset();
}

std::recursive_mutex* ProcessLock() { return processLock.get(); }

PortCount::PortCount() { ++livePorts; }
PortCount::~PortCount() { --livePorts; }

WorkBuffer::WorkBuffer(std::size_t size) : bytes_(size, 0) { ++liveBuffers; }
WorkBuffer::~WorkBuffer() { --liveBuffers; }

}  // namespace nolpa::morvalib
