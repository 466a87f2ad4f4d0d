// Plays a program that misbehaves with the clipboard, for the hostile-desktop
// tests. It copies <text> and then, by mode:
//   hold <ms>    keeps the clipboard open that long after copying;
//   slow <ms>    offers two more formats by delayed rendering and takes that
//                long to render each;
//   answering <ms>  the same, answering other programs' messages meanwhile
//                (as a program whose render waits on other work does);
//   never        offers them and hangs for ever when asked to render.
// It sets the named event once the copy is made (and, for hold, the
// clipboard is held). Usage: pagekeep-hostile-source <mode> <ms> <event> <text>
#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

DWORD gRenderTime = 0;
bool gAnswerWhileRendering = false;

bool OpenWithin(HWND aOwner, DWORD aMilliseconds) {
  const ULONGLONG deadline = ::GetTickCount64() + aMilliseconds;
  while (!::OpenClipboard(aOwner)) {
    if (::GetTickCount64() >= deadline)
      return false;
    ::Sleep(5);
  }
  return true;
}

bool SetBlock(UINT aFormat, const void *aData, std::size_t aBytes) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, aBytes);
  if (!block)
    return false;
  if (void *data = ::GlobalLock(block)) {
    std::memcpy(data, aData, aBytes);
    ::GlobalUnlock(block);
    if (::SetClipboardData(aFormat, block))
      return true;
  }
  ::GlobalFree(block);
  return false;
}

bool SetText(const std::wstring &aText) {
  return SetBlock(CF_UNICODETEXT, aText.c_str(), (aText.size() + 1) * sizeof(wchar_t));
}

UINT SlowFormat(int aNumber) {
  return ::RegisterClipboardFormatW((L"Pagekeep Hostile Slow " + std::to_wstring(aNumber)).c_str());
}

// Waits aMilliseconds, handling the messages other threads send meanwhile.
void WaitAnswering(DWORD aMilliseconds) {
  const ULONGLONG deadline = ::GetTickCount64() + aMilliseconds;
  for (ULONGLONG now = ::GetTickCount64(); now < deadline; now = ::GetTickCount64()) {
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE,
                                  0);
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

LRESULT CALLBACK OwnerProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg == WM_RENDERFORMAT) {
    if (gRenderTime == INFINITE)
      ::Sleep(INFINITE);
    if (gAnswerWhileRendering)
      WaitAnswering(gRenderTime);
    else
      ::Sleep(gRenderTime);
    const char rendered[] = "rendered late";
    SetBlock(static_cast<UINT>(aWParam), rendered, sizeof(rendered));
    return 0;
  }
  if (aMsg == WM_RENDERALLFORMATS)
    return 0;
  return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
}

HWND CreateOwner() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = OwnerProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"PagekeepHostileSource";
  ::RegisterClassW(&windowClass);
  return ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           windowClass.hInstance, nullptr);
}

int Hold(DWORD aMilliseconds, HANDLE aReady, const std::wstring &aText) {
  if (!OpenWithin(nullptr, 5000))
    return 4;
  ::EmptyClipboard();
  const bool copied = SetText(aText);
  ::CloseClipboard();
  if (!copied || !OpenWithin(nullptr, 5000))
    return 5;
  ::SetEvent(aReady);
  ::Sleep(aMilliseconds);
  ::CloseClipboard();
  return 0;
}

// The owner window answers render requests from its message loop, so the
// program pumps until it is ended.
int Delayed(DWORD aRenderTime, HANDLE aReady, const std::wstring &aText) {
  gRenderTime = aRenderTime;
  const HWND owner = CreateOwner();
  if (!owner || !OpenWithin(owner, 5000))
    return 4;
  ::EmptyClipboard();
  const bool copied = SetText(aText);
  ::SetClipboardData(SlowFormat(1), nullptr);
  ::SetClipboardData(SlowFormat(2), nullptr);
  ::CloseClipboard();
  if (!copied)
    return 5;
  ::SetEvent(aReady);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    ::DispatchMessageW(&msg);
  return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t **argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc < 5)
    return 2;
  const std::wstring mode = argv[1];
  const DWORD time = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
  if (!ready)
    return 3;
  if (mode == L"hold")
    return Hold(time, ready, argv[4]);
  if (mode == L"slow")
    return Delayed(time, ready, argv[4]);
  if (mode == L"answering") {
    gAnswerWhileRendering = true;
    return Delayed(time, ready, argv[4]);
  }
  if (mode == L"never")
    return Delayed(INFINITE, ready, argv[4]);
  return 2;
}
