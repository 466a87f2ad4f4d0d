#include "update/UpdateFile.h"

#include <cstring>
#include <stdexcept>
#include <utility>

TUpdateFile::TUpdateFile(std::wstring aPath) : fPath(std::move(aPath)), fFile(CreateNew(fPath)) {
  CheckWin32(static_cast<bool>(fFile), "CreateFileW (update file)");
}

// Whatever bears the name goes first (a link goes as a link: deleting never
// follows one); then only a new file is made, so nothing planted in between
// is opened, truncated or followed.
HANDLE TUpdateFile::CreateNew(const std::wstring &aPath) {
  ::DeleteFileW(aPath.c_str());
  return ::CreateFileW(aPath.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

void TUpdateFile::Keep() {
  Flush();
  fFile.Reset();
  fKept = true;
}

TUpdateFile::~TUpdateFile() {
  fFile.Reset();
  if (!fKept)
    ::DeleteFileW(fPath.c_str());
}

void TUpdateFile::Write(const void *aData, std::size_t aCount) {
  DWORD written = 0;
  CheckWin32(::WriteFile(fFile.Get(), aData, static_cast<DWORD>(aCount), &written, nullptr) &&
                 written == aCount,
             "WriteFile (update file)");
}

void TUpdateFile::Flush() {
  CheckWin32(::FlushFileBuffers(fFile.Get()), "FlushFileBuffers (update file)");
}

std::vector<std::uint8_t> TUpdateFile::ReadAll() {
  LARGE_INTEGER size;
  CheckWin32(::GetFileSizeEx(fFile.Get(), &size), "GetFileSizeEx (update file)");
  if (size.QuadPart > static_cast<LONGLONG>(DownloadLimits.MaxBytes))
    throw std::runtime_error("update file too large");
  CheckWin32(::SetFilePointerEx(fFile.Get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN),
             "SetFilePointerEx (update file)");
  std::vector<std::uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  CheckWin32(
      ::ReadFile(fFile.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
          read == bytes.size(),
      "ReadFile (update file)");
  return bytes;
}

// MoveFileExW would open the file by its name again, which our sharing
// forbids and which could meet another file put there meanwhile; renaming
// through the handle moves exactly the file that was checked.
bool TUpdateFile::RenameTo(const std::wstring &aTarget) {
  // The native call takes an NT path.
  const std::wstring target = L"\\??\\" + aTarget;
  const size_t nameBytes = target.size() * sizeof(wchar_t);
  std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
  auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  std::memcpy(info->FileName, target.c_str(), nameBytes);
  if (!::SetFileInformationByHandle(fFile.Get(), FileRenameInfo, info,
                                    static_cast<DWORD>(buffer.size())))
    return false;
  fKept = true;
  fPath = aTarget;
  // The new name is on disk before anyone starts the program by it.
  ::FlushFileBuffers(fFile.Get());
  return true;
}
