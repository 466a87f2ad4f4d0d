#include "clipboard/ClipboardStream.Packed.h"

#include "clipboard/ClipboardStateContainer.h"

// zlib's input pointers are const with this, as zlib never writes to them.
#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>

namespace {

// Output grows by this much per deflate call; input goes in pieces of the
// same size, so that a stop is seen soon.
constexpr std::size_t Chunk = 262144;

// The measured choice: zlib's default level inflates fastest (what a page
// switch waits for) and packs a quarter better than level 1; its slower
// deflate runs on the packing thread.
constexpr int PackLevel = Z_DEFAULT_COMPRESSION;

uInt ChunkOf(std::size_t aLeft) {
  return static_cast<uInt>(std::min(aLeft, Chunk));
}

} // namespace

struct TDeflateStream::TState {
  z_stream Stream{};
};

TDeflateStream::TDeflateStream(TPackGate aGate)
    : fState(std::make_unique<TState>()), fGate(std::move(aGate)) {
  const int result = ::deflateInit(&fState->Stream, PackLevel);
  if (result == Z_MEM_ERROR)
    throw std::bad_alloc();
  if (result != Z_OK)
    throw std::runtime_error("deflateInit failed");
}

TDeflateStream::~TDeflateStream() {
  ::deflateEnd(&fState->Stream);
}

std::size_t TDeflateStream::Read(void *, std::size_t) {
  throw std::logic_error("TDeflateStream is write-only");
}

std::int64_t TDeflateStream::Seek(std::int64_t aOffset, TSeekOrigin aOrigin) {
  if (aOffset != 0 || aOrigin == TSeekOrigin::soBeginning)
    throw std::logic_error("TDeflateStream cannot seek");
  return static_cast<std::int64_t>(fWritten);
}

void TDeflateStream::Write(const void *aBuffer, std::size_t aCount) {
  const auto *next = static_cast<const std::uint8_t *>(aBuffer);
  std::size_t left = aCount;
  while (left > 0) {
    if (fGate && !fGate())
      throw EPackingStopped();
    const uInt piece = ChunkOf(left);
    fState->Stream.next_in = next;
    fState->Stream.avail_in = piece;
    Deflate(Z_NO_FLUSH);
    next += piece;
    left -= piece;
    fWritten += piece;
  }
}

std::vector<std::uint8_t> TDeflateStream::Finish() {
  fState->Stream.next_in = nullptr;
  fState->Stream.avail_in = 0;
  Deflate(Z_FINISH);
  // The growth left spare capacity, which would be kept as long as the page.
  fDeflated.shrink_to_fit();
  return std::move(fDeflated);
}

// Runs deflate until it has taken all input (and, finishing, has written the
// stream's end).
void TDeflateStream::Deflate(int aFlush) {
  z_stream &stream = fState->Stream;
  for (;;) {
    const std::size_t used = fDeflated.size();
    fDeflated.resize(used + Chunk);
    stream.next_out = fDeflated.data() + used;
    stream.avail_out = static_cast<uInt>(Chunk);
    const int result = ::deflate(&stream, aFlush);
    fDeflated.resize(used + Chunk - stream.avail_out);
    if (result == Z_STREAM_ERROR)
      throw std::runtime_error("deflate failed");
    if (aFlush == Z_FINISH ? result == Z_STREAM_END : stream.avail_out != 0)
      return;
  }
}

namespace {

class TInflater {
public:
  TInflater() {
    const int result = ::inflateInit(&fStream);
    if (result == Z_MEM_ERROR)
      throw std::bad_alloc();
    if (result != Z_OK)
      throw std::runtime_error("inflateInit failed");
  }
  ~TInflater() { ::inflateEnd(&fStream); }
  TInflater(const TInflater &) = delete;
  TInflater &operator=(const TInflater &) = delete;

  z_stream &Stream() noexcept { return fStream; }

private:
  z_stream fStream{};
};

} // namespace

void InflatePackedContent(const TPackedContent &aContent, TStream &aTarget) {
  TInflater inflater;
  z_stream &stream = inflater.Stream();
  std::vector<std::uint8_t> buffer(std::min(Chunk, std::max<std::size_t>(aContent.StreamSize, 1)));
  const std::uint8_t *input = aContent.Deflated.data();
  std::size_t inputLeft = aContent.Deflated.size();
  std::size_t produced = 0;
  for (;;) {
    if (stream.avail_in == 0 && inputLeft > 0) {
      stream.avail_in = ChunkOf(inputLeft);
      stream.next_in = input;
      input += stream.avail_in;
      inputLeft -= stream.avail_in;
    }
    stream.next_out = buffer.data();
    stream.avail_out = static_cast<uInt>(buffer.size());
    const int result = ::inflate(&stream, Z_NO_FLUSH);
    if (result == Z_MEM_ERROR)
      throw std::bad_alloc();
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
      throw EStreamReadError();
    const std::size_t got = buffer.size() - stream.avail_out;
    produced += got;
    if (produced > aContent.StreamSize)
      throw EStreamReadError();
    aTarget.Write(buffer.data(), got);
    if (result == Z_STREAM_END)
      break;
    // Input used up and nothing more comes out: the bytes end early. (A
    // match can still be copying after the last input byte, hence the
    // check of the output too.)
    if (got == 0 && stream.avail_in == 0 && inputLeft == 0)
      throw EStreamReadError();
  }
  if (produced != aContent.StreamSize || inputLeft != 0 || stream.avail_in != 0)
    throw EStreamReadError();
}

struct TInflateStream::TState {
  explicit TState(const TPackedContent &aContent)
      : Content(aContent), Input(aContent.Deflated.data()), InputLeft(aContent.Deflated.size()) {}
  const TPackedContent &Content;
  TInflater Inflater;
  const std::uint8_t *Input;
  std::size_t InputLeft;
  std::size_t Position = 0;
  bool Ended = false;

  // Inflates into aTarget up to aCount bytes; fewer only at the end.
  std::size_t Inflate(std::uint8_t *aTarget, std::size_t aCount);
};

std::size_t TInflateStream::TState::Inflate(std::uint8_t *aTarget, std::size_t aCount) {
  z_stream &stream = Inflater.Stream();
  std::size_t done = 0;
  while (done < aCount && !Ended) {
    if (stream.avail_in == 0 && InputLeft > 0) {
      stream.avail_in = ChunkOf(InputLeft);
      stream.next_in = Input;
      Input += stream.avail_in;
      InputLeft -= stream.avail_in;
    }
    const uInt room = ChunkOf(aCount - done);
    stream.next_out = aTarget + done;
    stream.avail_out = room;
    const int result = ::inflate(&stream, Z_NO_FLUSH);
    if (result == Z_MEM_ERROR)
      throw std::bad_alloc();
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR)
      throw EStreamReadError();
    const std::size_t got = room - stream.avail_out;
    done += got;
    Position += got;
    if (Position > Content.StreamSize)
      throw EStreamReadError();
    if (result == Z_STREAM_END) {
      Ended = true;
      if (Position != Content.StreamSize || InputLeft != 0 || stream.avail_in != 0)
        throw EStreamReadError();
    } else if (got == 0 && stream.avail_in == 0 && InputLeft == 0) {
      throw EStreamReadError();
    }
  }
  return done;
}

TInflateStream::TInflateStream(const TPackedContent &aContent)
    : fState(std::make_unique<TState>(aContent)) {}

TInflateStream::~TInflateStream() = default;

std::size_t TInflateStream::Read(void *aBuffer, std::size_t aCount) {
  return fState->Inflate(static_cast<std::uint8_t *>(aBuffer), aCount);
}

void TInflateStream::Write(const void *, std::size_t) {
  throw std::logic_error("TInflateStream is read-only");
}

std::int64_t TInflateStream::Seek(std::int64_t aOffset, TSeekOrigin aOrigin) {
  if (aOffset != 0 || aOrigin != TSeekOrigin::soCurrent)
    throw std::logic_error("TInflateStream cannot seek");
  return static_cast<std::int64_t>(fState->Position);
}

std::int64_t TInflateStream::Size() {
  return static_cast<std::int64_t>(fState->Content.StreamSize);
}
