// The test binary's operator new (tests/support/allocation_failure.h): the
// one it replaces is found as the next definition after this program's, the
// sanitizer's or the standard library's.
#include "tests/support/allocation_failure.h"

#include <dlfcn.h>

#include <atomic>
#include <new>

namespace {

std::atomic<std::size_t> failAt{0};  // 0: none fails
std::atomic<std::size_t> counted{0};

using NewFunction = void* (*)(std::size_t);
static_assert(sizeof(std::size_t) == sizeof(unsigned long),
              "the name looked up is operator new(unsigned long)");

NewFunction NextOperatorNew() {
  static const NewFunction next = reinterpret_cast<NewFunction>(dlsym(RTLD_NEXT, "_Znwm"));
  return next;
}

}  // namespace

namespace nolpa::testing {

void FailAllocation(std::size_t nth) {
  failAt = 0;
  counted = 0;
  failAt = nth;
}

std::size_t AllocationsSinceArmed() { return counted; }

}  // namespace nolpa::testing

void* operator new(std::size_t size) {
  if (failAt.load(std::memory_order_relaxed) != 0 &&
      ++counted == failAt.load(std::memory_order_relaxed))
    throw std::bad_alloc();
  return NextOperatorNew()(size);
}
