#pragma once

// Drives the real Pagekeep.exe from another process, as a user would:
// start it, find its windows, put content on the clipboard, press keys with
// SendInput, read the clipboard back and end it.

#include "shared/Handles.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Harness {

using TBytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Full path of a file beside the running executable (build/bin).
std::wstring BesideThisExe(const std::wstring &aFileName);

// Polls aCondition every aPeriod until it holds or aTimeout passes; pumps
// this thread's messages meanwhile so clipboard ownership keeps answering.
bool WaitUntil(const std::function<bool()> &aCondition, std::chrono::milliseconds aTimeout = 5000ms,
               std::chrono::milliseconds aPeriod = 10ms);

// Lets every message already posted to this thread run, and no more: posts a
// marker to a window of the harness and pumps until it arrives (modal loops
// that run meanwhile deliver it too). Returns false when it did not arrive
// within aPatience. Use it in place of a fixed wait after an action whose
// effects are posted messages.
bool PumpUntilIdle(std::chrono::milliseconds aPatience = 5000ms);

// Holds the clipboard open from a thread of its own until it goes, so that
// the program under test cannot open it. The open is retried until it
// succeeds (another process, or Wine's own clipboard bridge, may hold the
// clipboard for a moment); it throws when it never does within aPatience.
class TClipboardHolder {
public:
  explicit TClipboardHolder(std::chrono::milliseconds aPatience = 5000ms);
  TClipboardHolder(const TClipboardHolder &) = delete;
  TClipboardHolder &operator=(const TClipboardHolder &) = delete;
  ~TClipboardHolder();

private:
  TKernelHandle fOpened;
  TKernelHandle fRelease;
  TKernelHandle fThread;
  bool fHolding = false;
};

// A child process that is ended when the object goes, if still running.
class TProcess {
public:
  TProcess(const std::wstring &aExe, const std::wstring &aArguments = L"");
  TProcess(TProcess &&) noexcept = default;
  TProcess &operator=(TProcess &&) noexcept = default;
  ~TProcess();

  DWORD Id() const noexcept { return fId; }
  HANDLE Handle() const noexcept { return fProcess.Get(); }
  // The exit code once it has ended within aTimeout, else nothing.
  std::optional<DWORD> WaitForExit(std::chrono::milliseconds aTimeout = 5000ms);
  bool IsRunning();
  void Terminate();

private:
  TKernelHandle fProcess;
  DWORD fId = 0;
};

// Starts build/bin/Pagekeep.exe with the given arguments.
TProcess StartPagekeep(const std::wstring &aArguments = L"");

// The first top-level window of process aProcessId with the class and/or
// title given (empty means any), waiting up to aTimeout.
HWND WaitForWindow(DWORD aProcessId, const std::wstring &aClass, const std::wstring &aTitle,
                   std::chrono::milliseconds aTimeout = 10000ms);
// The same among message-only windows (HWND_MESSAGE).
HWND WaitForMessageWindow(DWORD aProcessId, const std::wstring &aClass,
                          std::chrono::milliseconds aTimeout = 10000ms);

// Opens the clipboard on this thread for as long as it lives, retrying
// briefly while another process holds it; throws when it never opens.
class TOpenClipboard {
public:
  TOpenClipboard();
  TOpenClipboard(const TOpenClipboard &) = delete;
  TOpenClipboard &operator=(const TOpenClipboard &) = delete;
  ~TOpenClipboard();
};

struct TClipFormat {
  UINT Format;
  TBytes Data;
};

// Replaces the clipboard content with the given formats (HGLOBAL formats).
void SetClipboard(const std::vector<TClipFormat> &aFormats);
void SetClipboardText(const std::wstring &aText);
// Every format on the clipboard with its bytes, in enumeration order;
// GDI formats (bitmap, palette, metafile) are listed with no data.
std::vector<TClipFormat> ReadClipboard();
std::optional<std::wstring> ClipboardText();
std::optional<TBytes> ClipboardFormatData(UINT aFormat);
UINT RegisterFormat(const std::wstring &aName);

// Whole files as bytes; both throw on any failure, so a short read can
// never pass for the file.
TBytes ReadFileBytes(const std::wstring &aPath);
void WriteFileBytes(const std::wstring &aPath, const TBytes &aBytes);
// A file or folder at aPath.
bool Exists(const std::wstring &aPath);

// A fresh folder under %TEMP% ("pk-<name>-<process>-<n>"), removed with
// everything in it at the end.
class TTemporaryFolder {
public:
  explicit TTemporaryFolder(const std::wstring &aName);
  TTemporaryFolder(const TTemporaryFolder &) = delete;
  TTemporaryFolder &operator=(const TTemporaryFolder &) = delete;
  ~TTemporaryFolder();
  // With its trailing backslash.
  const std::wstring &Path() const noexcept { return fPath; }

private:
  std::wstring fPath;
};

// Presses the keys in order and releases them in reverse, with SendInput.
void PressKeys(const std::vector<WORD> &aVirtualKeys);

} // namespace Harness
