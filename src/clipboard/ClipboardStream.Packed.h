#pragma once

// Deflate (zlib) of the snapshot stream format, for snapshots kept packed in
// memory. The stream format and the data files are unchanged by it.

#include "clipboard/ClipboardStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

struct TPackedContent;

// Asked before each piece of a packing, on the packing thread: it may wait
// (while the program needs the processor more) and returns false to give
// the packing up (the program is closing).
using TPackGate = std::function<bool()>;

// The packing was given up through its gate.
class EPackingStopped : public std::runtime_error {
public:
  EPackingStopped() : std::runtime_error("Packing stopped") {}
};

// A write-only stream that deflates what is written to it.
class TDeflateStream final : public TStream {
public:
  // aGate is asked before each piece of input; when it says no, Write
  // throws EPackingStopped, so that a large snapshot neither holds up the
  // program's end nor keeps on while a copy is being taken.
  explicit TDeflateStream(TPackGate aGate = {});
  ~TDeflateStream() override;
  TDeflateStream(const TDeflateStream &) = delete;
  TDeflateStream &operator=(const TDeflateStream &) = delete;

  // Not readable: std::logic_error.
  std::size_t Read(void *aBuffer, std::size_t aCount) override;
  void Write(const void *aBuffer, std::size_t aCount) override;
  // Only the position can be asked (an offset of 0 from the current
  // position or the end); anything else is std::logic_error.
  std::int64_t Seek(std::int64_t aOffset, TSeekOrigin aOrigin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(fWritten); }

  std::size_t Written() const noexcept { return fWritten; }
  // Ends the deflated stream and gives its bytes; once.
  std::vector<std::uint8_t> Finish();

private:
  struct TState;
  void Deflate(int aFlush);

  std::unique_ptr<TState> fState;
  TPackGate fGate;
  std::size_t fWritten = 0;
  std::vector<std::uint8_t> fDeflated;
};

// A read-only stream of the stream encoding that aContent (which must
// outlive it) holds deflated, inflated as it is read: a snapshot's formats
// are inflated straight into their own memory, with no copy of the whole
// encoding first. Damaged bytes are EStreamReadError.
class TInflateStream final : public TStream {
public:
  explicit TInflateStream(const TPackedContent &aContent);
  ~TInflateStream() override;
  TInflateStream(const TInflateStream &) = delete;
  TInflateStream &operator=(const TInflateStream &) = delete;

  std::size_t Read(void *aBuffer, std::size_t aCount) override;
  // Not writable: std::logic_error.
  void Write(const void *aBuffer, std::size_t aCount) override;
  // Only the position can be asked (an offset of 0 from the current
  // position); anything else is std::logic_error.
  std::int64_t Seek(std::int64_t aOffset, TSeekOrigin aOrigin) override;
  std::int64_t Size() override;

private:
  struct TState;
  std::unique_ptr<TState> fState;
};

// Writes the stream encoding that aContent holds deflated to aTarget.
// EStreamReadError when the bytes do not inflate to exactly StreamSize.
void InflatePackedContent(const TPackedContent &aContent, TStream &aTarget);
