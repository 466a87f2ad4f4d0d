// Plays another program that keeps the clipboard open: optionally puts a
// text on it first (a copy the listener must record), then holds it open for
// the given time. Usage: pagekeep-clipboard-holder <hold ms> <event name> [text]
#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

bool OpenWithin(DWORD aMilliseconds) {
  const ULONGLONG deadline = ::GetTickCount64() + aMilliseconds;
  while (!::OpenClipboard(nullptr)) {
    if (::GetTickCount64() >= deadline)
      return false;
    ::Sleep(5);
  }
  return true;
}

bool PutText(const std::wstring &aText) {
  if (!OpenWithin(5000))
    return false;
  ::EmptyClipboard();
  const std::size_t bytes = (aText.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
  bool ok = false;
  if (block) {
    if (void *data = ::GlobalLock(block)) {
      std::memcpy(data, aText.c_str(), bytes);
      ::GlobalUnlock(block);
      ok = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    }
    if (!ok)
      ::GlobalFree(block);
  }
  ::CloseClipboard();
  return ok;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t **argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc < 3)
    return 2;
  const DWORD hold = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
  HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
  if (!ready)
    return 3;
  if (argc > 3 && !PutText(argv[3]))
    return 4;
  if (!OpenWithin(5000))
    return 5;
  ::SetEvent(ready);
  ::CloseHandle(ready);
  ::Sleep(hold);
  ::CloseClipboard();
  return 0;
}
