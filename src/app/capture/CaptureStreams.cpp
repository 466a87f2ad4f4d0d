#include "app/capture/CaptureStreams.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

std::size_t SeekTarget(std::int64_t aOffset, TSeekOrigin aOrigin, std::size_t aPosition,
                       std::size_t aSize) {
  std::int64_t base = 0;
  if (aOrigin == TSeekOrigin::soCurrent)
    base = static_cast<std::int64_t>(aPosition);
  else if (aOrigin == TSeekOrigin::soEnd)
    base = static_cast<std::int64_t>(aSize);
  const std::int64_t target = base + aOffset;
  if (target < 0 || target > static_cast<std::int64_t>(aSize))
    throw std::out_of_range("Seek outside the stream");
  return static_cast<std::size_t>(target);
}

} // namespace

std::size_t TSpanStream::Read(void *aBuffer, std::size_t aCount) {
  const std::size_t count = std::min(aCount, fSize - fPosition);
  if (count > 0)
    std::memcpy(aBuffer, fData + fPosition, count);
  fPosition += count;
  return count;
}

void TSpanStream::Write(const void *aBuffer, std::size_t aCount) {
  if (aCount > fSize - fPosition)
    throw EStreamWriteError();
  if (aCount > 0)
    std::memcpy(fData + fPosition, aBuffer, aCount);
  fPosition += aCount;
}

std::int64_t TSpanStream::Seek(std::int64_t aOffset, TSeekOrigin aOrigin) {
  fPosition = SeekTarget(aOffset, aOrigin, fPosition, fSize);
  return static_cast<std::int64_t>(fPosition);
}

void TCountingStream::Write(const void *, std::size_t aCount) {
  fPosition += aCount;
  fSize = std::max(fSize, fPosition);
}

std::int64_t TCountingStream::Seek(std::int64_t aOffset, TSeekOrigin aOrigin) {
  fPosition = SeekTarget(aOffset, aOrigin, fPosition, fSize);
  return static_cast<std::int64_t>(fPosition);
}
