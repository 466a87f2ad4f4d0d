#pragma once

#include "analysis/ClipboardAnalyzer.Service.h"
#include "clipboard/ClipboardStateContainer.h"
#include "ui/Notifier.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace NotifierTest {

using namespace std::chrono_literals;
using TMilliseconds = std::chrono::milliseconds;

// Runs this thread's messages for aTime; returns how many WM_TIMER messages
// came by.
int PumpFor(TMilliseconds aTime);
// Runs messages until aCondition holds or aTimeout passes.
bool PumpUntil(const std::function<bool()> &aCondition, TMilliseconds aTimeout = 3000ms);
// Runs messages until the card has stopped moving.
bool WaitForStill(const TNotifier &aNotifier, TMilliseconds aTimeout = 3000ms);

// The screen's pixels in a rectangle, as 0xFFRRGGBB, read back from the
// display (under Xvfb, what the X server shows).
class TScreenShot {
public:
  explicit TScreenShot(RECT aArea);
  static TScreenShot OfCardArea(); // the whole area a card may cover
  std::uint32_t At(int aScreenX, int aScreenY) const;
  const RECT &Area() const noexcept { return fArea; }
  // Screen points inside aRect whose colour is exactly aColor.
  int CountColor(RECT aRect, std::uint32_t aColor) const;
  // Screen points inside aRect that differ from the same point of aOther.
  int CountChanged(const TScreenShot &aOther, RECT aRect) const;

private:
  RECT fArea;
  std::vector<std::uint32_t> fPixels;
};

// Snapshots that a test analyzer describes: each carries a marker format
// whose data names the description to give, so the tests decide what the
// card shows while the real registry does the asking.
TClipboardState SnapshotDescribedAs(TAuto<TDescription> aDescription,
                                    std::vector<WORD> aExtraFormats = {});
// A snapshot whose description fails while it holds a picture format.
TClipboardState SnapshotFailingWithPictures(TAuto<TDescription> aWithoutPictures);
// A snapshot whose description always fails.
TClipboardState SnapshotAlwaysFailing();

// A plain bitmap of one colour.
TBitmap Filled(int aWidth, int aHeight, TAlphaColor aColor);

// A visible, focusable window of our own with an edit control that holds
// the keyboard focus: the program the user is working in.
class TUserWindow {
public:
  TUserWindow();
  TUserWindow(const TUserWindow &) = delete;
  TUserWindow &operator=(const TUserWindow &) = delete;
  ~TUserWindow();
  HWND Handle() const noexcept { return fWindow; }
  HWND Edit() const noexcept { return fEdit; }

private:
  HWND fWindow = nullptr;
  HWND fEdit = nullptr;
};

} // namespace NotifierTest
