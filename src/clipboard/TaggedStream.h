#pragma once

#include "clipboard/ClipboardStream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The tagged values of the snapshot stream: one tag byte, then the value.
enum TValueType : std::uint8_t {
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaString = 6,
  vaLString = 12,
  vaWString = 18,
  vaInt64 = 19,
  vaUTF8String = 20,
};

using TBytes = std::vector<std::uint8_t>;

// Appends aValue in the smallest integer form that holds it.
void AppendTaggedInteger(TBytes &aOut, std::int64_t aValue);
// Appends aText in the form the reader of older files expects: short ASCII as
// vaString/vaLString, other text as UTF-8 when that is shorter than UTF-16,
// otherwise (and for the empty string) as vaWString.
void AppendTaggedString(TBytes &aOut, const std::wstring &aText);

// Writes through a small buffer so that the many tiny tagged values do not
// each reach the target stream; large blocks bypass it.
class TTaggedWriter {
public:
  static constexpr std::size_t BufferSize = 32;

  explicit TTaggedWriter(TStream &aTarget) : fTarget(aTarget) {}
  TTaggedWriter(const TTaggedWriter &) = delete;
  TTaggedWriter &operator=(const TTaggedWriter &) = delete;

  void WriteInteger(std::int64_t aValue);
  void WriteString(const std::wstring &aText);
  void WriteBytes(const void *aData, std::size_t aCount);
  // Must be called before the writer goes; after it every byte is in the
  // target stream.
  void Flush();

private:
  TStream &fTarget;
  std::uint8_t fBuffer[BufferSize] = {};
  std::size_t fUsed = 0;
};

// Reads tagged values with at most 32 bytes of read-ahead. Finish() moves the
// source back over what was read ahead and not used, so the source stands on
// the first byte after the values read.
class TTaggedReader {
public:
  static constexpr std::size_t BufferSize = 32;

  explicit TTaggedReader(TStream &aSource);
  TTaggedReader(const TTaggedReader &) = delete;
  TTaggedReader &operator=(const TTaggedReader &) = delete;

  // Accepts vaInt8, vaInt16 and vaInt32; any other tag is
  // EInvalidPropertyValue, a short input EStreamReadError.
  std::int32_t ReadInteger();
  // Accepts vaString, vaLString, vaWString and vaUTF8String.
  std::wstring ReadString();
  void ReadBytes(void *aData, std::size_t aCount);
  // Bytes left in the source, counting the unread read-ahead.
  std::int64_t Remaining() const noexcept;
  void Finish();

private:
  std::uint8_t ReadByte();
  std::uint32_t ReadLength(std::size_t aUnitSize);
  void Refill();

  TStream &fSource;
  std::int64_t fSourceRemaining;
  std::uint8_t fBuffer[BufferSize] = {};
  std::size_t fBufferPos = 0;
  std::size_t fBufferLen = 0;
};
