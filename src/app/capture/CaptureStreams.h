#pragma once

#include "clipboard/ClipboardStream.h"

#include <cstddef>
#include <cstdint>

// A stream over memory that someone else owns (a mapped view): reads and
// writes stay inside it, so a snapshot goes to and from shared memory
// without a copy of its own.
class TSpanStream final : public TStream {
public:
  TSpanStream(void *aData, std::size_t aSize)
      : fData(static_cast<std::uint8_t *>(aData)), fSize(aSize) {}

  std::size_t Read(void *aBuffer, std::size_t aCount) override;
  // Throws EStreamWriteError past the end.
  void Write(const void *aBuffer, std::size_t aCount) override;
  std::int64_t Seek(std::int64_t aOffset, TSeekOrigin aOrigin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(fSize); }

private:
  std::uint8_t *fData;
  std::size_t fSize;
  std::size_t fPosition = 0;
};

// Counts what would be written, to size a mapping before writing into it.
class TCountingStream final : public TStream {
public:
  std::size_t Read(void *, std::size_t) override { return 0; }
  void Write(const void *, std::size_t aCount) override;
  std::int64_t Seek(std::int64_t aOffset, TSeekOrigin aOrigin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(fSize); }

private:
  std::size_t fSize = 0;
  std::size_t fPosition = 0;
};
