#include "AllocationFailure.h"

#include <cstdlib>
#include <new>

namespace {
// Per thread: the system's and the test runner's threads allocate as they
// please.
thread_local std::size_t tCountdown = 0;
thread_local bool tFailed = false;
} // namespace

namespace HotkeyTest {

TAllocationFailure::TAllocationFailure(std::size_t aFailAt) {
  tCountdown = aFailAt;
  tFailed = false;
}

TAllocationFailure::~TAllocationFailure() {
  tCountdown = 0;
}

bool TAllocationFailure::Failed() const noexcept {
  return tFailed;
}

} // namespace HotkeyTest

// libstdc++'s operator delete frees with std::free, so a malloc-based
// operator new pairs with it.
void *operator new(std::size_t aSize) {
  if (tCountdown != 0 && --tCountdown == 0) {
    tFailed = true;
    throw std::bad_alloc();
  }
  if (void *memory = std::malloc(aSize ? aSize : 1))
    return memory;
  throw std::bad_alloc();
}

void *operator new[](std::size_t aSize) {
  return ::operator new(aSize);
}
