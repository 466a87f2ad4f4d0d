#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The two errors a snapshot reader reports: the input ended early, or a value
// in it is not one the format allows.
class EStreamReadError : public std::runtime_error {
public:
  EStreamReadError() : std::runtime_error("Stream read error") {}
};
class EInvalidPropertyValue : public std::runtime_error {
public:
  EInvalidPropertyValue() : std::runtime_error("Invalid property value") {}
};
class EStreamWriteError : public std::runtime_error {
public:
  EStreamWriteError() : std::runtime_error("Stream write error") {}
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A seekable byte stream with a position, as the snapshot codec needs it.
class TStream {
public:
  virtual ~TStream() = default;
  // Reads up to aCount bytes; fewer only at the end of the stream.
  virtual std::size_t Read(void *aBuffer, std::size_t aCount) = 0;
  // Writes all aCount bytes or throws.
  virtual void Write(const void *aBuffer, std::size_t aCount) = 0;
  // Returns the new position.
  virtual std::int64_t Seek(std::int64_t aOffset, TSeekOrigin aOrigin) = 0;
  virtual std::int64_t Size() = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t aPosition) { Seek(aPosition, TSeekOrigin::soBeginning); }
  // Reads exactly aCount bytes or throws EStreamReadError.
  void ReadBuffer(void *aBuffer, std::size_t aCount);
};

// A growable stream in memory.
class TMemoryStream final : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> aBytes) : fBytes(std::move(aBytes)) {}

  std::size_t Read(void *aBuffer, std::size_t aCount) override;
  void Write(const void *aBuffer, std::size_t aCount) override;
  std::int64_t Seek(std::int64_t aOffset, TSeekOrigin aOrigin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(fBytes.size()); }

  const std::vector<std::uint8_t> &Bytes() const noexcept { return fBytes; }

private:
  std::vector<std::uint8_t> fBytes;
  std::size_t fPosition = 0;
};
