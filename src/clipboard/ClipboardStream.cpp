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
  if (target < 0 || target > static_cast<std::int64_t>(std::numeric_limits<std::size_t>::max()))
    throw std::out_of_range("Seek outside the stream");
  fPosition = static_cast<std::size_t>(target);
  return target;
}

namespace {

std::string Utf8(const std::wstring &aText) {
  if (aText.empty())
    return {};
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, aText.data(), static_cast<int>(aText.size()),
                                          nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
  if (bytes > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, aText.data(), static_cast<int>(aText.size()), result.data(),
                          bytes, nullptr, nullptr);
  return result;
}

} // namespace

std::string SystemErrorMessage(DWORD aError) {
  wchar_t *text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, aError, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
  if (length == 0 || !text)
    return "System error " + std::to_string(aError);
  std::wstring message(text, length);
  ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.'))
    message.pop_back();
  return Utf8(message);
}

TFileStream::TFileStream(const std::wstring &aFileName, TMode aMode) {
  const bool create = aMode == TMode::fmCreate;
  fFile.Reset(::CreateFileW(
      aFileName.c_str(), create ? GENERIC_WRITE : GENERIC_READ, create ? 0 : FILE_SHARE_READ,
      nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!fFile) {
    const DWORD error = ::GetLastError();
    throw std::runtime_error(std::string(create ? "Cannot create file \"" : "Cannot open file \"") +
                             Utf8(aFileName) + "\". " + SystemErrorMessage(error));
  }
}

std::size_t TFileStream::Read(void *aBuffer, std::size_t aCount) {
  auto *target = static_cast<std::uint8_t *>(aBuffer);
  std::size_t total = 0;
  while (total < aCount) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(aCount - total, 64u * 1024u * 1024u));
    DWORD read = 0;
    if (!::ReadFile(fFile.Get(), target + total, chunk, &read, nullptr))
      throw EStreamReadError();
    if (read == 0)
      break;
    total += read;
  }
  return total;
}

void TFileStream::Write(const void *aBuffer, std::size_t aCount) {
  const auto *source = static_cast<const std::uint8_t *>(aBuffer);
  std::size_t total = 0;
  while (total < aCount) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(aCount - total, 64u * 1024u * 1024u));
    DWORD written = 0;
    if (!::WriteFile(fFile.Get(), source + total, chunk, &written, nullptr) || written == 0)
      throw EStreamWriteError();
    total += written;
  }
}

std::int64_t TFileStream::Seek(std::int64_t aOffset, TSeekOrigin aOrigin) {
  static constexpr DWORD methods[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  LARGE_INTEGER distance;
  distance.QuadPart = aOffset;
  LARGE_INTEGER position{};
  CheckWin32(::SetFilePointerEx(fFile.Get(), distance, &position,
                                methods[static_cast<int>(aOrigin)]) != FALSE,
             "SetFilePointerEx");
  return position.QuadPart;
}

std::int64_t TFileStream::Size() {
  LARGE_INTEGER size{};
  CheckWin32(::GetFileSizeEx(fFile.Get(), &size) != FALSE, "GetFileSizeEx");
  return size.QuadPart;
}
