#include "harness/Harness.h"

#include "shared/Paths.h"
#include "shared/WindowClass.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace Harness {

std::wstring BesideThisExe(const std::wstring &aFileName) {
  return FolderOf(ModulePath()) + aFileName;
}

static void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool WaitUntil(const std::function<bool()> &aCondition, std::chrono::milliseconds aTimeout,
               std::chrono::milliseconds aPeriod) {
  const auto deadline = std::chrono::steady_clock::now() + aTimeout;
  for (;;) {
    if (aCondition())
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    PumpMessages();
    std::this_thread::sleep_for(aPeriod);
  }
}

TProcess::TProcess(const std::wstring &aExe, const std::wstring &aArguments) {
  std::wstring commandLine = L"\"" + aExe + L"\"";
  if (!aArguments.empty())
    commandLine += L" " + aArguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  CheckWin32(::CreateProcessW(aExe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info),
             "CreateProcessW");
  ::CloseHandle(info.hThread);
  fProcess.Reset(info.hProcess);
  fId = info.dwProcessId;
}

TProcess::~TProcess() {
  if (fProcess && IsRunning())
    Terminate();
}

std::optional<DWORD> TProcess::WaitForExit(std::chrono::milliseconds aTimeout) {
  if (::WaitForSingleObject(fProcess.Get(), static_cast<DWORD>(aTimeout.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  CheckWin32(::GetExitCodeProcess(fProcess.Get(), &code), "GetExitCodeProcess");
  return code;
}

bool TProcess::IsRunning() {
  return ::WaitForSingleObject(fProcess.Get(), 0) == WAIT_TIMEOUT;
}

void TProcess::Terminate() {
  ::TerminateProcess(fProcess.Get(), 255);
  ::WaitForSingleObject(fProcess.Get(), 5000);
}

TProcess StartPagekeep(const std::wstring &aArguments) {
  return TProcess(BesideThisExe(L"Pagekeep.exe"), aArguments);
}

namespace {
struct TWindowQuery {
  DWORD ProcessId;
  const std::wstring &Class;
  const std::wstring &Title;
  HWND Found = nullptr;
};

bool WindowMatches(HWND aWindow, const TWindowQuery &aQuery) {
  DWORD owner = 0;
  ::GetWindowThreadProcessId(aWindow, &owner);
  if (owner != aQuery.ProcessId)
    return false;
  wchar_t text[256];
  if (!aQuery.Class.empty()) {
    if (!::GetClassNameW(aWindow, text, 256) || aQuery.Class != text)
      return false;
  }
  if (!aQuery.Title.empty()) {
    ::GetWindowTextW(aWindow, text, 256);
    if (aQuery.Title != text)
      return false;
  }
  return true;
}

BOOL CALLBACK CollectWindow(HWND aWindow, LPARAM aQuery) {
  auto *query = reinterpret_cast<TWindowQuery *>(aQuery);
  if (!WindowMatches(aWindow, *query))
    return TRUE;
  query->Found = aWindow;
  return FALSE;
}
} // namespace

HWND WaitForWindow(DWORD aProcessId, const std::wstring &aClass, const std::wstring &aTitle,
                   std::chrono::milliseconds aTimeout) {
  TWindowQuery query{aProcessId, aClass, aTitle};
  WaitUntil(
      [&] {
        ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&query));
        return query.Found != nullptr;
      },
      aTimeout);
  return query.Found;
}

HWND WaitForMessageWindow(DWORD aProcessId, const std::wstring &aClass,
                          std::chrono::milliseconds aTimeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        HWND window = nullptr;
        while ((window = ::FindWindowExW(HWND_MESSAGE, window, aClass.c_str(), nullptr))) {
          DWORD owner = 0;
          ::GetWindowThreadProcessId(window, &owner);
          if (owner == aProcessId) {
            found = window;
            return true;
          }
        }
        return false;
      },
      aTimeout);
  return found;
}

TOpenClipboard::TOpenClipboard() {
  if (!WaitUntil([] { return ::OpenClipboard(nullptr) != FALSE; }, 3000ms))
    throw std::runtime_error(LastErrorText("OpenClipboard"));
}

TOpenClipboard::~TOpenClipboard() {
  ::CloseClipboard();
}

namespace {

bool IsGdiFormat(UINT aFormat) {
  return aFormat == CF_BITMAP || aFormat == CF_PALETTE || aFormat == CF_METAFILEPICT ||
         aFormat == CF_ENHMETAFILE || aFormat == CF_DSPBITMAP || aFormat == CF_DSPENHMETAFILE ||
         aFormat == CF_DSPMETAFILEPICT;
}

TBytes GlobalBytes(HANDLE aData) {
  TGlobalLock lock(aData);
  auto *bytes = static_cast<const std::uint8_t *>(lock.Data());
  return TBytes(bytes, bytes + lock.Size());
}
} // namespace

void SetClipboard(const std::vector<TClipFormat> &aFormats) {
  TOpenClipboard open;
  CheckWin32(::EmptyClipboard(), "EmptyClipboard");
  for (const auto &format : aFormats) {
    TGlobalHandle block(::GlobalAlloc(GMEM_MOVEABLE, format.Data.empty() ? 1 : format.Data.size()));
    CheckWin32(static_cast<bool>(block), "GlobalAlloc");
    {
      TGlobalLock lock(block.Get());
      if (!format.Data.empty())
        std::memcpy(lock.Data(), format.Data.data(), format.Data.size());
    }
    CheckWin32(::SetClipboardData(format.Format, block.Get()) != nullptr, "SetClipboardData");
    block.Detach(); // the system owns it now
  }
}

void SetClipboardText(const std::wstring &aText) {
  const auto *begin = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  SetClipboard({{CF_UNICODETEXT, TBytes(begin, begin + (aText.size() + 1) * sizeof(wchar_t))}});
}

std::vector<TClipFormat> ReadClipboard() {
  TOpenClipboard open;
  std::vector<TClipFormat> formats;
  UINT format = 0;
  while ((format = ::EnumClipboardFormats(format)) != 0) {
    TClipFormat entry{format, {}};
    if (!IsGdiFormat(format))
      if (HANDLE data = ::GetClipboardData(format))
        entry.Data = GlobalBytes(data);
    formats.push_back(std::move(entry));
  }
  return formats;
}

std::optional<TBytes> ClipboardFormatData(UINT aFormat) {
  TOpenClipboard open;
  HANDLE data = ::GetClipboardData(aFormat);
  if (!data)
    return std::nullopt;
  return GlobalBytes(data);
}

std::optional<std::wstring> ClipboardText() {
  auto bytes = ClipboardFormatData(CF_UNICODETEXT);
  if (!bytes)
    return std::nullopt;
  std::wstring text(reinterpret_cast<const wchar_t *>(bytes->data()),
                    bytes->size() / sizeof(wchar_t));
  text.resize(std::wcslen(text.c_str()));
  return text;
}

UINT RegisterFormat(const std::wstring &aName) {
  UINT format = ::RegisterClipboardFormatW(aName.c_str());
  CheckWin32(format != 0, "RegisterClipboardFormatW");
  return format;
}

TBytes ReadFileBytes(const std::wstring &aPath) {
  TFileHandle file(::CreateFileW(aPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileW (read)");
  TBytes bytes;
  std::uint8_t buffer[65536];
  for (;;) {
    DWORD read = 0;
    CheckWin32(::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr), "ReadFile");
    if (read == 0)
      return bytes;
    bytes.insert(bytes.end(), buffer, buffer + read);
  }
}

void WriteFileBytes(const std::wstring &aPath, const TBytes &aBytes) {
  TFileHandle file(::CreateFileW(aPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  CheckWin32(static_cast<bool>(file), "CreateFileW (write)");
  DWORD written = 0;
  CheckWin32(::WriteFile(file.Get(), aBytes.data(), static_cast<DWORD>(aBytes.size()), &written,
                         nullptr) &&
                 written == aBytes.size(),
             "WriteFile");
}

void PressKeys(const std::vector<WORD> &aVirtualKeys) {
  std::vector<INPUT> inputs;
  auto key = [](WORD aKey, bool aUp) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = aKey;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(aKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = aUp ? KEYEVENTF_KEYUP : 0;
    return input;
  };
  inputs.reserve(aVirtualKeys.size() * 2);
  for (WORD vk : aVirtualKeys)
    inputs.push_back(key(vk, false));
  for (auto it = aVirtualKeys.rbegin(); it != aVirtualKeys.rend(); ++it)
    inputs.push_back(key(*it, true));
  UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  CheckWin32(sent == inputs.size(), "SendInput");
}

bool Exists(const std::wstring &aPath) {
  return ::GetFileAttributesW(aPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TTemporaryFolder::TTemporaryFolder(const std::wstring &aName) {
  static std::atomic<int> counter = 0;
  wchar_t temp[MAX_PATH + 1];
  CheckWin32(::GetTempPathW(MAX_PATH + 1, temp) != 0, "GetTempPathW");
  fPath = std::wstring(temp) + L"pk-" + aName + L"-" + std::to_wstring(::GetCurrentProcessId()) +
          L"-" + std::to_wstring(++counter) + L"\\";
  std::filesystem::remove_all(fPath);
  std::filesystem::create_directories(fPath);
}

TTemporaryFolder::~TTemporaryFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(fPath, ignored);
}

namespace {

constexpr const wchar_t *IdleWindowClass = L"PagekeepHarnessIdle";
constexpr UINT IdleMarker = WM_APP + 0x3A11;

// The newest marker that arrived on this thread; markers are numbered.
thread_local WPARAM gArrivedMarker = 0;
thread_local WPARAM gPostedMarker = 0;

LRESULT CALLBACK IdleProcedure(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg == IdleMarker) {
    gArrivedMarker = std::max(gArrivedMarker, aWParam);
    return 0;
  }
  return ::DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
}

// One message-only window per thread that pumps.
HWND IdleWindow() {
  thread_local TWindowHandle window;
  if (!window) {
    RegisterWindowClass(IdleWindowClass, &IdleProcedure);
    window.Reset(::CreateWindowExW(0, IdleWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr));
    CheckWin32(static_cast<bool>(window), "CreateWindowExW");
  }
  return window.Get();
}

} // namespace

bool PumpUntilIdle(std::chrono::milliseconds aPatience) {
  const WPARAM marker = ++gPostedMarker;
  CheckWin32(::PostMessageW(IdleWindow(), IdleMarker, marker, 0), "PostMessageW");
  const auto deadline = std::chrono::steady_clock::now() + aPatience;
  while (gArrivedMarker < marker && std::chrono::steady_clock::now() < deadline) {
    PumpMessages();
    if (gArrivedMarker < marker)
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return gArrivedMarker >= marker;
}

namespace {

struct THolderStart {
  HANDLE Opened;
  HANDLE Release;
  std::chrono::milliseconds Patience;
  bool Holding = false;
};

DWORD WINAPI HoldClipboard(void *aStart) {
  auto *start = static_cast<THolderStart *>(aStart);
  TWindowHandle owner(
      ::CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  const auto deadline = std::chrono::steady_clock::now() + start->Patience;
  bool open = false;
  while (owner && !(open = ::OpenClipboard(owner.Get()) != FALSE) &&
         std::chrono::steady_clock::now() < deadline)
    ::Sleep(1);
  start->Holding = open;
  const HANDLE release = start->Release;
  ::SetEvent(start->Opened);
  ::WaitForSingleObject(release, INFINITE);
  if (open)
    ::CloseClipboard();
  return 0;
}

} // namespace

TClipboardHolder::TClipboardHolder(std::chrono::milliseconds aPatience)
    : fOpened(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      fRelease(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  CheckWin32(fOpened && fRelease, "CreateEventW");
  THolderStart start{fOpened.Get(), fRelease.Get(), aPatience};
  fThread.Reset(::CreateThread(nullptr, 0, &HoldClipboard, &start, 0, nullptr));
  CheckWin32(static_cast<bool>(fThread), "CreateThread");
  ::WaitForSingleObject(fOpened.Get(), INFINITE);
  fHolding = start.Holding;
  if (!fHolding) {
    ::SetEvent(fRelease.Get());
    ::WaitForSingleObject(fThread.Get(), INFINITE);
    throw std::runtime_error("The test could not open the clipboard to hold it");
  }
}

TClipboardHolder::~TClipboardHolder() {
  ::SetEvent(fRelease.Get());
  ::WaitForSingleObject(fThread.Get(), INFINITE);
}

} // namespace Harness
