#pragma once

#include <cstddef>

namespace HotkeyTest {

// Makes the aFailAt-th allocation (counted from 1) of the calling thread
// throw std::bad_alloc while the object lives, so a test can fail every
// allocation of an operation in turn. This test exe replaces the global
// operator new for it.
class TAllocationFailure {
public:
  explicit TAllocationFailure(std::size_t aFailAt);
  TAllocationFailure(const TAllocationFailure &) = delete;
  TAllocationFailure &operator=(const TAllocationFailure &) = delete;
  ~TAllocationFailure();
  // Whether the chosen allocation came and failed.
  bool Failed() const noexcept;
};

} // namespace HotkeyTest
