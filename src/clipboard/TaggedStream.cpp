#include "clipboard/TaggedStream.h"

#include "shared/Text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

void AppendLittleEndian(TBytes &aOut, std::uint64_t aValue, int aBytes) {
  for (int i = 0; i < aBytes; ++i)
    aOut.push_back(static_cast<std::uint8_t>(aValue >> (8 * i)));
}

// Text of string bytes; a string whose bytes give no text is not one the
// format allows.
std::wstring Decode(bool aUtf8, const std::string &aBytes) {
  std::wstring text = aUtf8 ? WideFromUtf8(aBytes) : WideFromAnsi(aBytes);
  if (text.empty() && !aBytes.empty())
    throw EInvalidPropertyValue();
  return text;
}

} // namespace

void AppendTaggedInteger(TBytes &aOut, std::int64_t aValue) {
  if (aValue >= -128 && aValue <= 127) {
    aOut.push_back(vaInt8);
    AppendLittleEndian(aOut, static_cast<std::uint64_t>(aValue), 1);
  } else if (aValue >= -32768 && aValue <= 32767) {
    aOut.push_back(vaInt16);
    AppendLittleEndian(aOut, static_cast<std::uint64_t>(aValue), 2);
  } else if (aValue >= std::numeric_limits<std::int32_t>::min() &&
             aValue <= std::numeric_limits<std::int32_t>::max()) {
    aOut.push_back(vaInt32);
    AppendLittleEndian(aOut, static_cast<std::uint64_t>(aValue), 4);
  } else {
    aOut.push_back(vaInt64);
    AppendLittleEndian(aOut, static_cast<std::uint64_t>(aValue), 8);
  }
}

void AppendTaggedString(TBytes &aOut, const std::wstring &aText) {
  // Text with a lone surrogate goes out as UTF-16, so nothing is lost.
  const std::optional<std::string> encoded = StrictUtf8FromWide(aText);
  if (encoded && encoded->size() < aText.size() * 2) {
    const std::string &utf8 = *encoded;
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && utf8.size() <= 255) {
      aOut.push_back(vaString);
      AppendLittleEndian(aOut, utf8.size(), 1);
    } else {
      aOut.push_back(ascii ? vaLString : vaUTF8String);
      AppendLittleEndian(aOut, utf8.size(), 4);
    }
    aOut.insert(aOut.end(), utf8.begin(), utf8.end());
    return;
  }
  aOut.push_back(vaWString);
  AppendLittleEndian(aOut, aText.size(), 4);
  for (wchar_t unit : aText)
    AppendLittleEndian(aOut, static_cast<std::uint16_t>(unit), 2);
}

void TTaggedWriter::WriteInteger(std::int64_t aValue) {
  TBytes bytes;
  AppendTaggedInteger(bytes, aValue);
  WriteBytes(bytes.data(), bytes.size());
}

void TTaggedWriter::WriteString(const std::wstring &aText) {
  TBytes bytes;
  AppendTaggedString(bytes, aText);
  WriteBytes(bytes.data(), bytes.size());
}

void TTaggedWriter::WriteBytes(const void *aData, std::size_t aCount) {
  if (fUsed + aCount <= BufferSize) {
    if (aCount > 0)
      std::memcpy(fBuffer + fUsed, aData, aCount);
    fUsed += aCount;
    return;
  }
  Flush();
  if (aCount < BufferSize) {
    std::memcpy(fBuffer, aData, aCount);
    fUsed = aCount;
  } else {
    fTarget.Write(aData, aCount);
  }
}

void TTaggedWriter::Flush() {
  if (fUsed == 0)
    return;
  const std::size_t used = fUsed;
  fUsed = 0;
  fTarget.Write(fBuffer, used);
}

TTaggedReader::TTaggedReader(TStream &aSource)
    : fSource(aSource),
      fSourceRemaining(std::max<std::int64_t>(0, aSource.Size() - aSource.Position())) {}

std::int64_t TTaggedReader::Remaining() const noexcept {
  return fSourceRemaining + static_cast<std::int64_t>(fBufferLen - fBufferPos);
}

void TTaggedReader::Refill() {
  const std::size_t wanted =
      static_cast<std::size_t>(std::min<std::int64_t>(BufferSize, fSourceRemaining));
  fBufferPos = 0;
  fBufferLen = wanted > 0 ? fSource.Read(fBuffer, wanted) : 0;
  fSourceRemaining -= static_cast<std::int64_t>(fBufferLen);
  if (fBufferLen == 0)
    throw EStreamReadError();
}

void TTaggedReader::ReadBytes(void *aData, std::size_t aCount) {
  if (static_cast<std::int64_t>(aCount) > Remaining())
    throw EStreamReadError();
  auto *target = static_cast<std::uint8_t *>(aData);
  const std::size_t fromBuffer = std::min(aCount, fBufferLen - fBufferPos);
  if (fromBuffer > 0)
    std::memcpy(target, fBuffer + fBufferPos, fromBuffer);
  fBufferPos += fromBuffer;
  std::size_t left = aCount - fromBuffer;
  target += fromBuffer;
  if (left >= BufferSize) {
    // Large blocks go straight from the source into place.
    const std::size_t read = fSource.Read(target, left);
    fSourceRemaining -= static_cast<std::int64_t>(read);
    if (read != left)
      throw EStreamReadError();
    return;
  }
  while (left > 0) {
    Refill();
    const std::size_t take = std::min(left, fBufferLen);
    std::memcpy(target, fBuffer, take);
    fBufferPos = take;
    target += take;
    left -= take;
  }
}

std::uint8_t TTaggedReader::ReadByte() {
  std::uint8_t value = 0;
  ReadBytes(&value, 1);
  return value;
}

std::int32_t TTaggedReader::ReadInteger() {
  const std::uint8_t tag = ReadByte();
  std::uint8_t bytes[4] = {};
  switch (tag) {
  case vaInt8:
    ReadBytes(bytes, 1);
    return static_cast<std::int8_t>(bytes[0]);
  case vaInt16:
    ReadBytes(bytes, 2);
    return static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
  case vaInt32:
    ReadBytes(bytes, 4);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                     (static_cast<std::uint32_t>(bytes[1]) << 8) |
                                     (static_cast<std::uint32_t>(bytes[2]) << 16) |
                                     (static_cast<std::uint32_t>(bytes[3]) << 24));
  default:
    throw EInvalidPropertyValue();
  }
}

// A length prefix checked against what the stream still holds, so a corrupt
// length fails before anything of that size is allocated.
std::uint32_t TTaggedReader::ReadLength(std::size_t aUnitSize) {
  std::uint8_t bytes[4] = {};
  ReadBytes(bytes, 4);
  const std::uint32_t length =
      static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
      (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  if (length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()) ||
      static_cast<std::int64_t>(length) * static_cast<std::int64_t>(aUnitSize) > Remaining())
    throw EStreamReadError();
  return length;
}

std::wstring TTaggedReader::ReadString() {
  const std::uint8_t tag = ReadByte();
  std::uint32_t length = 0;
  switch (tag) {
  case vaString:
    length = ReadByte();
    break;
  case vaLString:
  case vaUTF8String:
    length = ReadLength(1);
    break;
  case vaWString: {
    length = ReadLength(2);
    std::wstring text(length, L'\0');
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length) * 2);
    ReadBytes(bytes.data(), bytes.size());
    for (std::size_t i = 0; i < length; ++i)
      text[i] = static_cast<wchar_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return text;
  }
  default:
    throw EInvalidPropertyValue();
  }
  std::string bytes(length, '\0');
  ReadBytes(bytes.data(), bytes.size());
  return Decode(tag == vaUTF8String, bytes);
}

void TTaggedReader::Finish() {
  const std::size_t unread = fBufferLen - fBufferPos;
  if (unread > 0)
    fSource.Seek(-static_cast<std::int64_t>(unread), TSeekOrigin::soCurrent);
  fSourceRemaining += static_cast<std::int64_t>(unread);
  fBufferPos = fBufferLen = 0;
}
