#pragma once

#include "clipboard/ClipboardSession.h"
#include "shared/Handles.h"

#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ClipboardTest {

using TBytes = std::vector<std::uint8_t>;

inline TGlobalHandle GlobalBlock(const TBytes &aData) {
  TGlobalHandle block(::GlobalAlloc(GMEM_MOVEABLE, aData.size()));
  CheckWin32(static_cast<bool>(block), "GlobalAlloc");
  {
    TGlobalLock lock(block.Get());
    if (!aData.empty())
      std::memcpy(lock.Data(), aData.data(), aData.size());
  }
  return block;
}

// Empties the clipboard and puts each block on it.
inline void PutBlocks(const std::vector<std::pair<UINT, TBytes>> &aBlocks) {
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
  for (const auto &[format, data] : aBlocks) {
    TGlobalHandle block = GlobalBlock(data);
    CheckWin32(::SetClipboardData(format, block.Get()) != nullptr, "SetClipboardData");
    block.Detach();
  }
}

inline void PutText(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  PutBlocks({{CF_UNICODETEXT, TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t))}});
}

inline void EmptyTheClipboard() {
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
}

// The bytes of an HGLOBAL format now on the clipboard.
inline std::optional<TBytes> ReadBlock(UINT aFormat) {
  TClipboardSession session;
  const HANDLE handle = ::GetClipboardData(aFormat);
  if (!handle)
    return std::nullopt;
  TGlobalLock lock(handle);
  const auto *bytes = static_cast<const std::uint8_t *>(lock.Data());
  return TBytes(bytes, bytes + lock.Size());
}

inline std::optional<std::wstring> ReadText() {
  const auto bytes = ReadBlock(CF_UNICODETEXT);
  if (!bytes)
    return std::nullopt;
  return std::wstring(reinterpret_cast<const wchar_t *>(bytes->data()));
}

inline std::vector<UINT> FormatsOnClipboard() {
  TClipboardSession session;
  std::vector<UINT> formats;
  UINT format = 0;
  while ((format = ::EnumClipboardFormats(format)) != 0)
    formats.push_back(format);
  return formats;
}

inline std::wstring ThisExePath() {
  std::wstring path(MAX_PATH * 4, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

// Tests that need another program start this exe again with a helper switch;
// the helper runs before the tests would (see HelperArguments) and exits.
inline TKernelHandle StartThisExeAs(const wchar_t *aSwitch,
                                    const std::vector<std::wstring> &aArguments) {
  std::wstring commandLine = L"\"" + ThisExePath() + L"\" " + aSwitch;
  for (const std::wstring &argument : aArguments)
    commandLine += L" " + argument;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  CheckWin32(::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info) != FALSE,
             "CreateProcessW");
  TKernelHandle thread(info.hThread);
  return TKernelHandle(info.hProcess);
}

// The arguments after aSwitch when this process was started as that helper.
inline std::optional<std::vector<std::wstring>> HelperArguments(const wchar_t *aSwitch) {
  int count = 0;
  LPWSTR *arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::optional<std::vector<std::wstring>> result;
  if (arguments && count >= 2 && std::wstring(arguments[1]) == aSwitch)
    result.emplace(arguments + 2, arguments + count);
  ::LocalFree(arguments);
  return result;
}

// Holds the clipboard open from another thread until it goes. It retries the
// open (Wine's own clipboard bridge may hold it for a moment) and tells
// whether it got it.
class TClipboardHolder {
public:
  TClipboardHolder()
      : fThread([this] {
          const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
          while (!(fOpened = ::OpenClipboard(nullptr) != FALSE) &&
                 std::chrono::steady_clock::now() < deadline)
            ::Sleep(5);
          fReady = true;
          while (!fRelease)
            ::Sleep(5);
          if (fOpened)
            ::CloseClipboard();
        }) {
    while (!fReady)
      ::Sleep(1);
  }
  TClipboardHolder(const TClipboardHolder &) = delete;
  TClipboardHolder &operator=(const TClipboardHolder &) = delete;
  ~TClipboardHolder() {
    fRelease = true;
    fThread.join();
  }
  bool Opened() const { return fOpened; }

private:
  std::atomic<bool> fOpened{false}, fReady{false}, fRelease{false};
  std::thread fThread;
};

} // namespace ClipboardTest
