#include "update/UpdateFolders.h"

#include "shared/Paths.h"

#include <shlobj.h>

namespace UpdateFolders {

namespace {

bool IsLinkOrFolder(HANDLE aFile, bool aWantFolder) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!::GetFileInformationByHandleEx(aFile, FileAttributeTagInfo, &info, sizeof info))
    return true;
  const bool folder = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || folder != aWantFolder;
}

} // namespace

bool IsFolderOfItsOwn(const std::wstring &aPath) {
  const DWORD attributes = ::GetFileAttributesW(aPath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

TFileHandle HoldOwnFolder(const std::wstring &aFolder) {
  const std::wstring folder = WithoutTrailingSeparator(aFolder);
  // An existing folder (or link) is judged below, by its handle.
  ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  TFileHandle handle(::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr));
  if (handle && IsLinkOrFolder(handle.Get(), true))
    handle.Reset();
  return handle;
}

TFileHandle OpenRegularFile(const std::wstring &aPath) {
  TFileHandle handle(::CreateFileW(aPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (handle && IsLinkOrFolder(handle.Get(), false))
    handle.Reset();
  return handle;
}

std::optional<std::vector<std::uint8_t>> ReadWhole(HANDLE aFile, std::uint64_t aMax) {
  LARGE_INTEGER size;
  CheckWin32(::GetFileSizeEx(aFile, &size), "GetFileSizeEx (update)");
  if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > aMax)
    return std::nullopt;
  CheckWin32(::SetFilePointerEx(aFile, LARGE_INTEGER{}, nullptr, FILE_BEGIN),
             "SetFilePointerEx (update)");
  std::vector<std::uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  CheckWin32(::ReadFile(aFile, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr),
             "ReadFile (update)");
  if (read != bytes.size())
    return std::nullopt;
  return bytes;
}

bool IsFolderWritable(const std::wstring &aFolder) {
  const std::wstring probe = WithoutTrailingSeparator(aFolder) + L"\\Pagekeep.write-test." +
                             std::to_wstring(::GetCurrentProcessId());
  TFileHandle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE |
                                     FILE_FLAG_OPEN_REPARSE_POINT,
                                 nullptr));
  return static_cast<bool>(file);
}

} // namespace UpdateFolders
