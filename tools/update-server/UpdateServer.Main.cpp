// pagekeep-update-server: answers the update check and serves the new
// executable on 127.0.0.1, logging every request, for demonstrations and tests.
#include "UpdateServer.Http.h"
#include "UpdateServer.Options.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

void WriteTo(HANDLE aTarget, const std::string &aText) {
  DWORD written = 0;
  if (aTarget && aTarget != INVALID_HANDLE_VALUE)
    ::WriteFile(aTarget, aText.data(), static_cast<DWORD>(aText.size()), &written, nullptr);
}

void WriteError(const std::wstring &aText) {
  int size = ::WideCharToMultiByte(CP_UTF8, 0, aText.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, aText.c_str(), -1, text.data(), size, nullptr, nullptr);
  WriteTo(::GetStdHandle(STD_ERROR_HANDLE), text);
}

// Ends the server with the test that started it, so a crashed test leaves
// no server behind.
DWORD WINAPI WatchParent(void *aProcess) {
  ::WaitForSingleObject(static_cast<HANDLE>(aProcess), INFINITE);
  ::ExitProcess(0);
}

bool StartParentWatch(DWORD aProcessId) {
  HANDLE parent = ::OpenProcess(SYNCHRONIZE, FALSE, aProcessId);
  if (!parent)
    return false;
  HANDLE thread = ::CreateThread(nullptr, 0, WatchParent, parent, 0, nullptr);
  if (!thread) {
    ::CloseHandle(parent);
    return false;
  }
  ::CloseHandle(thread);
  return true;
}

} // namespace

int wmain(int argc, wchar_t **argv) {
  std::vector<std::wstring> arguments(argv + 1, argv + argc);
  if (arguments.size() == 1 && (arguments[0] == L"--help" || arguments[0] == L"/?")) {
    WriteError(UpdateServer::UsageText());
    return 0;
  }
  std::wstring error;
  auto options = UpdateServer::ParseOptions(arguments, error);
  if (!options) {
    WriteError(error + L"\n" + UpdateServer::UsageText());
    return 2;
  }
  if (options->ParentProcessId && !StartParentWatch(options->ParentProcessId)) {
    WriteError(L"parent process not found\n");
    return 2;
  }
  HANDLE log = INVALID_HANDLE_VALUE;
  if (!options->LogPath.empty()) {
    log = ::CreateFileW(options->LogPath.c_str(), FILE_APPEND_DATA,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) {
      WriteError(L"cannot open the log file " + options->LogPath + L"\n");
      return 2;
    }
  }
  HANDLE output = options->Quiet ? nullptr : ::GetStdHandle(STD_OUTPUT_HANDLE);
  int result = UpdateServer::Serve(*options, [&](const std::string &aLine) {
    WriteTo(output, aLine + "\n");
    WriteTo(log, aLine + "\n");
  });
  if (result == 3)
    WriteError(L"cannot listen on 127.0.0.1:" + std::to_wstring(options->Port) + L"\n");
  else if (result == 4)
    WriteError(L"cannot read a file to serve (the log names it)\n");
  if (log != INVALID_HANDLE_VALUE)
    ::CloseHandle(log);
  return result;
}
