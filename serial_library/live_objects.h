#pragma once
// What the library holds while an export runs, counted so that a test can
// check that nothing is left behind on any path: the process-wide lock
// (process_lock.h), the printer ports and the working buffers. The library serves one call at a
// time, so none of this is shared between threads.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace nolpa::morvalib {

struct LiveObjects {
  int locks = 0;
  int ports = 0;
  int buffers = 0;
  bool operator==(const LiveObjects&) const = default;
};
// What exists right now; all zero between two exported calls.
LiveObjects Live();

// One printer port for as long as it lives (every port holds one).
class PortCount {
 public:
  PortCount();
  ~PortCount();
  PortCount(const PortCount&) = delete;
  PortCount& operator=(const PortCount&) = delete;
};

// A working buffer filled with zeros, counted while it lives. Its
// allocation throws std::bad_alloc as a vector's does.
class WorkBuffer {
 public:
  explicit WorkBuffer(std::size_t size);
  ~WorkBuffer();
  WorkBuffer(const WorkBuffer&) = delete;
  WorkBuffer& operator=(const WorkBuffer&) = delete;

  std::uint8_t* data() { return bytes_.data(); }
  int size() const { return static_cast<int>(bytes_.size()); }
  std::span<const std::uint8_t> first(int count) const {
    return std::span(bytes_).first(static_cast<std::size_t>(count));
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace nolpa::morvalib
