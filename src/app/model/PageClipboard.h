#pragma once

#include "clipboard/ClipboardStateContainer.h"

#include <windows.h>

// What reading the clipboard for the pages model gave.
enum class TCaptureStatus {
  // State holds the snapshot (formats left out are listed on it).
  csCaptured,
  // Another program held the clipboard; nothing was read.
  csBusy,
  // The content is marked as not to be recorded (a password, say).
  csSecret
};

struct TCaptureResult {
  TCaptureStatus Status = TCaptureStatus::csBusy;
  // The clipboard's sequence number, read while it was held open, so that a
  // change made by another program just after cannot be taken for this one.
  DWORD Sequence = 0;
  TClipboardState State;
};

// The system clipboard as the pages model uses it. The program's own reads
// the clipboard in a helper process, so that no other program can make the
// main thread wait; tests put a fake in its place.
class TPageModelClipboard {
public:
  // Where the results go; called on the main thread only.
  class TListener {
  public:
    virtual void CaptureFinished(TCaptureResult aResult) = 0;
    // Memory for a new copy ran out: free some (the oldest history entry)
    // and say whether anything was freed.
    virtual bool ReleaseMemory() = 0;

  protected:
    ~TListener() = default;
  };

  virtual ~TPageModelClipboard() = default;

  virtual void SetListener(TListener *aListener) = 0;
  // The system's count of clipboard changes.
  virtual DWORD SequenceNumber() = 0;
  // Starts reading the clipboard; CaptureFinished follows, possibly from
  // within this call. One capture at a time.
  virtual void BeginCapture(bool aDetectApplication) = 0;
  // A command waits behind the capture in flight: end a render that is
  // keeping it, keeping what was read so far.
  virtual void HurryCapture() = 0;
  // Replaces the clipboard's content with aState (an empty state empties it)
  // and returns the sequence number read while the clipboard was still held.
  // Throws EClipboardOpenError, with nothing changed, when it is busy.
  virtual DWORD Put(const TClipboardState &aState) = 0;
};
