#pragma once

// Bounded reads from an executable's bytes: every offset and size comes from
// the file itself, so none is trusted.

#include <cstdint>
#include <cstring>
#include <vector>

namespace ImageBytes {

inline bool FitsIn(const std::vector<std::uint8_t> &aImage, std::uint64_t aOffset,
                   std::uint64_t aSize) {
  return aOffset <= aImage.size() && aSize <= aImage.size() - aOffset;
}

template <class T>
bool ReadAt(const std::vector<std::uint8_t> &aImage, std::uint64_t aOffset, T &aValue) {
  if (!FitsIn(aImage, aOffset, sizeof(T)))
    return false;
  std::memcpy(&aValue, aImage.data() + aOffset, sizeof(T));
  return true;
}

} // namespace ImageBytes
