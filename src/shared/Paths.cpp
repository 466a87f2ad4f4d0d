#include "shared/Paths.h"

#include "shared/Handles.h"

#include <shellapi.h>

namespace {
constexpr const wchar_t *Separators = L"\\/:";
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    CheckWin32(length != 0, "GetModuleFileNameW");
    // A path that filled the buffer may have been cut: try a larger one.
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring FolderOf(const std::wstring &aPath) {
  const std::size_t separator = aPath.find_last_of(Separators);
  return separator == std::wstring::npos ? std::wstring() : aPath.substr(0, separator + 1);
}

std::wstring WithoutTrailingSeparator(std::wstring aPath) {
  while (!aPath.empty() && (aPath.back() == L'\\' || aPath.back() == L'/'))
    aPath.pop_back();
  return aPath;
}

std::vector<std::wstring> CommandLineArguments(const wchar_t *aCommandLine) {
  int count = 0;
  wchar_t **arguments = ::CommandLineToArgvW(aCommandLine, &count);
  CheckWin32(arguments != nullptr, "CommandLineToArgvW");
  const TLocalMemory owned(reinterpret_cast<HLOCAL>(arguments));
  return std::vector<std::wstring>(arguments, arguments + count);
}

std::wstring FileNameOf(const std::wstring &aPath) {
  return aPath.substr(FolderOf(aPath).size());
}

// Opening the file, not reading its attributes, follows a link to its
// target, so a dangling link is no file.
bool FileExists(const std::wstring &aFileName) {
  TFileHandle file(::CreateFileW(aFileName.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  return file && ::GetFileInformationByHandle(file.Get(), &information) &&
         !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}
