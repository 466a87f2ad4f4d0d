#pragma once

#include "app/capture/SystemPageClipboard.h"
#include "app/model/PageModel.h"
#include "clipboard/ClipboardSession.h"
#include "harness/Harness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace ModelTest {

using namespace std::chrono_literals;
using TBytes = std::vector<std::uint8_t>;

// Records what the model asks of the form; retries run on a real timer of
// the listener window, as the form runs them.
class TRecordingView : public TPageModelView {
public:
  void ShowPageAnnounce() override { Calls.push_back(L"Page"); }
  void ShowHistoryPageAnnounce() override { Calls.push_back(L"History"); }
  // The card as the user sees it: the colour its tone gets.
  void ShowInfo(const TCardRequest &aRequest) override {
    wchar_t color[16];
    std::swprintf(color, 16, L"%08X", CardToneColor(aRequest.Tone));
    Calls.push_back(L"Info:" + aRequest.Caption + L"|" + aRequest.ShortDescription + L"|" +
                    aRequest.DetailedDescription + L"|" +
                    std::wstring(CardPictureName(aRequest.Picture)) + L"|" + color + L"|" +
                    std::to_wstring(aRequest.DisplayTime));
  }
  void PrivateModeChanged(bool aPrivate) override { PrivateMarks.push_back(aPrivate); }
  void CheckPageMenuItem(int aPage) override {
    Calls.push_back(L"Check:" + std::to_wstring(aPage));
    if (FailCheck)
      throw std::runtime_error("menu gone");
  }
  void ScheduleCaptureRetry(std::chrono::milliseconds aDelay) override {
    ++RetryRequests;
    RetryDelays.push_back(aDelay);
    if (Window)
      ::SetTimer(Window, 1, static_cast<UINT>(aDelay.count()), nullptr);
  }

  std::vector<std::wstring> Calls;
  std::vector<bool> PrivateMarks;
  bool FailCheck = false;
  int RetryRequests = 0;
  std::vector<std::chrono::milliseconds> RetryDelays;
  HWND Window = nullptr;
};

// A window registered for clipboard notifications that passes each one to
// the model's listener, as the program's message window does.
class TListenerWindow {
public:
  TListenerWindow(TPageModel &aModel, TRecordingView &aView);
  ~TListenerWindow();
  TListenerWindow(const TListenerWindow &) = delete;
  TListenerWindow &operator=(const TListenerWindow &) = delete;

  int Notifications() const noexcept { return fNotifications; }

private:
  static LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam);

  TPageModel &fModel;
  TRecordingView &fView;
  TWindowHandle fWindow;
  int fNotifications = 0;
};

// The model with its view and listener; copies go through the real clipboard
// and are read by Pagekeep.exe's capture helper, as in the program.
class TModelRig {
public:
  TModelRig();

  // Puts content on the clipboard as another program would and waits until
  // the listener has seen it.
  void Copy(const std::wstring &aText);
  void CopyBlocks(const std::vector<std::pair<UINT, TBytes>> &aBlocks);
  // Runs aAction, then waits for the notification it causes (if any) and
  // for the capture it starts to be handled.
  template <class F> void ChangeAndSettle(F aAction) {
    const int before = fListener.Notifications();
    aAction();
    Harness::WaitUntil([&] { return fListener.Notifications() > before; }, 2000ms);
    Harness::WaitUntil([&] { return !Model.CaptureRetryPending(); }, 8000ms);
  }
  void WaitForRetriesToEnd();

  static std::optional<std::wstring> ClipboardText();
  static std::wstring Text(const TClipboardState &aState);
  std::vector<std::wstring> HistoryTexts() const;

  TRecordingView View;
  TSystemPageClipboard Clipboard{Harness::BesideThisExe(L"Pagekeep.exe")};
  TPageModel Model{View, Clipboard};

private:
  TListenerWindow fListener{Model, View};
};

// Starts the holder program and waits until it holds the clipboard.
Harness::TProcess StartHolder(DWORD aHoldMilliseconds, const std::wstring &aText = L"");

} // namespace ModelTest
