#include "clipboard/ClipboardStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

void TStream::ReadBuffer(void *aBuffer, std::size_t aCount) {
  if (Read(aBuffer, aCount) != aCount)
    throw EStreamReadError();
}

std::size_t TMemoryStream::Read(void *aBuffer, std::size_t aCount) {
  const std::size_t available = fPosition < fBytes.size() ? fBytes.size() - fPosition : 0;
  const std::size_t count = std::min(aCount, available);
  if (count > 0)
    std::memcpy(aBuffer, fBytes.data() + fPosition, count);
  fPosition += count;
  return count;
}

void TMemoryStream::Write(const void *aBuffer, std::size_t aCount) {
  if (aCount == 0)
    return;
  if (fPosition + aCount > fBytes.size())
    fBytes.resize(fPosition + aCount);
  std::memcpy(fBytes.data() + fPosition, aBuffer, aCount);
  fPosition += aCount;
}

std::int64_t TMemoryStream::Seek(std::int64_t aOffset, TSeekOrigin aOrigin) {
  std::int64_t base = 0;
  if (aOrigin == TSeekOrigin::soCurrent)
    base = static_cast<std::int64_t>(fPosition);
  else if (aOrigin == TSeekOrigin::soEnd)
    base = Size();
  const std::int64_t target = base + aOffset;
  // Compared unsigned: where size_t is 64 bits wide its maximum is no int64.
  if (target < 0 ||
      static_cast<std::uint64_t>(target) > std::uint64_t{std::numeric_limits<std::size_t>::max()})
    throw std::out_of_range("Seek outside the stream");
  fPosition = static_cast<std::size_t>(target);
  return target;
}
