#pragma once
// Memory running out on demand in the native tests: the test binary
// replaces the global operator new (tests/support/allocation_failure.cpp) with one
// that counts the allocations made while armed and throws std::bad_alloc
// at the chosen one, forwarding every other to the operator it replaces
// (so the sanitizers still see every allocation).
#include <cstddef>

namespace nolpa::testing {

// From now on the `nth` allocation (1 = the next) throws std::bad_alloc,
// once; 0 disarms. Restarts the count.
void FailAllocation(std::size_t nth);
// Allocations made since FailAllocation armed the count.
std::size_t AllocationsSinceArmed();

// Arms FailAllocation(nth) for its lifetime.
class AllocationFailure {
 public:
  explicit AllocationFailure(std::size_t nth) { FailAllocation(nth); }
  ~AllocationFailure() { FailAllocation(0); }
  AllocationFailure(const AllocationFailure&) = delete;
  AllocationFailure& operator=(const AllocationFailure&) = delete;
};

}  // namespace nolpa::testing
