#pragma once

#include "shared/Handles.h"

#include <chrono>
#include <mutex>
#include <stdexcept>

// Raised when the clipboard cannot be opened: "Cannot open clipboard: <system
// message>".
class EClipboardOpenError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The process's access to the system clipboard. Opens nest: only the
// outermost Close closes the system clipboard. It owns a message-only window
// so that formats set after EmptyClipboard have an owner, as SetClipboardData
// requires. Main thread only.
class TClipboard {
public:
  TClipboard() = default;
  TClipboard(const TClipboard &) = delete;
  TClipboard &operator=(const TClipboard &) = delete;

  // Opens (or nests); throws EClipboardOpenError when another program holds
  // the clipboard for longer than aPatience. The patience is spent retrying
  // without sleeping, so keep it short on the main thread.
  void Open(std::chrono::milliseconds aPatience = std::chrono::milliseconds(0));
  // The same without the error: false when the clipboard stayed busy.
  bool TryOpen(std::chrono::milliseconds aPatience);
  void Close();
  // Counts an open that the caller made itself with ::OpenClipboard and a
  // window of its own (the capture helper), so that Close closes it.
  void Adopt() noexcept { ++fOpenCount; }
  bool IsOpen() const noexcept { return fOpenCount > 0; }
  int OpenCount() const noexcept { return fOpenCount; }

private:
  HWND OwnerWindow();

  int fOpenCount = 0;
  DWORD fLastOpenError = 0;
  TWindowHandle fOwner;
};

// The process-wide clipboard object.
TClipboard &Clipboard();

// How long capture and restore wait for a clipboard that another program
// holds, before giving up; short so the main thread never stalls.
constexpr std::chrono::milliseconds ClipboardOpenPatience{100};

// Holds the process-wide clipboard open for its lifetime, and closes it only
// if its own open succeeded, so a failed open never closes a clipboard that an
// enclosing session holds.
class TClipboardSession {
public:
  // Opens or throws EClipboardOpenError.
  explicit TClipboardSession(std::chrono::milliseconds aPatience = ClipboardOpenPatience) {
    Clipboard().Open(aPatience);
    fOpened = true;
  }
  // Tries to open; Opened() tells whether it did.
  TClipboardSession(std::try_to_lock_t, std::chrono::milliseconds aPatience = ClipboardOpenPatience)
      : fOpened(Clipboard().TryOpen(aPatience)) {}
  // Takes over a clipboard the caller has just opened itself.
  explicit TClipboardSession(std::adopt_lock_t) noexcept : fOpened(true) { Clipboard().Adopt(); }
  TClipboardSession(const TClipboardSession &) = delete;
  TClipboardSession &operator=(const TClipboardSession &) = delete;
  ~TClipboardSession() {
    if (fOpened)
      Clipboard().Close();
  }
  bool Opened() const noexcept { return fOpened; }

private:
  bool fOpened = false;
};
