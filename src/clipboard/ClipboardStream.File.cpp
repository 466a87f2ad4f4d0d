#include "clipboard/ClipboardStream.File.h"

#include "shared/Text.h"

#include <algorithm>

TFileStream::TFileStream(const std::wstring &aFileName, TMode aMode) {
  const bool create = aMode == TMode::fmCreate;
  fFile.Reset(::CreateFileW(
      aFileName.c_str(), create ? GENERIC_WRITE : GENERIC_READ, create ? 0 : FILE_SHARE_READ,
      nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!fFile) {
    const DWORD error = ::GetLastError();
    throw std::runtime_error(std::string(create ? "Cannot create file \"" : "Cannot open file \"") +
                             Utf8FromWide(aFileName) + "\". " + SystemErrorMessage(error));
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
