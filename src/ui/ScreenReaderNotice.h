#pragma once

// Tells a running screen reader what a card says: a UI Automation
// notification raised from the card's window, so that a blind user hears
// which page is now on the clipboard. The card itself never takes the focus,
// so without it a screen reader says nothing. Where the system has no such
// notification (before Windows 10 1709, and under Wine), nothing is said.
// Main thread only.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>

struct IRawElementProviderSimple;

// What a card says aloud: its caption and short description, and its
// detailed text only when aWithContent (never the content in private mode).
// A picture card says "Picture" in place of the detailed text.
std::wstring SpokenCardText(const std::wstring &aCaption, const std::wstring &aShortDescription,
                            const std::wstring &aDetail, bool aIsPicture, bool aWithContent);

// The system's side, replaceable in tests.
struct TScreenReaderSystem {
  // SPI_GETSCREENREADER.
  std::function<bool()> ReaderRunning;
  // Raises the notification from aProvider; false where the system has no
  // such call or refuses it.
  std::function<bool(IRawElementProviderSimple *aProvider, const std::wstring &aText)> Notify;
};
TScreenReaderSystem SystemScreenReader();

class TScreenReaderNotice {
public:
  // The card's window, which answers WM_GETOBJECT through AnswerGetObject.
  explicit TScreenReaderNotice(HWND aWindow, TScreenReaderSystem aSystem = SystemScreenReader());
  ~TScreenReaderNotice();
  TScreenReaderNotice(const TScreenReaderNotice &) = delete;
  TScreenReaderNotice &operator=(const TScreenReaderNotice &) = delete;

  // The user's setting (on unless turned off in Settings).
  void SetEnabled(bool aEnabled) noexcept { fEnabled = aEnabled; }
  bool Enabled() const noexcept { return fEnabled; }
  // Off in private mode: the cards' content is then not said.
  void SetSpeaksContent(bool aSpeaks) noexcept { fSpeaksContent = aSpeaks; }
  bool SpeaksContent() const noexcept { return fSpeaksContent; }

  // Tests stand in for the system with this.
  void ReplaceSystem(TScreenReaderSystem aSystem) { fSystem = std::move(aSystem); }
  IRawElementProviderSimple *Provider() const noexcept { return fProvider; }

  // Says the card when enabled and a screen reader runs; true when the
  // system took the notification.
  bool Say(const std::wstring &aCaption, const std::wstring &aShortDescription,
           const std::wstring &aDetail, bool aIsPicture);
  // WM_GETOBJECT: the window's UI Automation provider for the root object;
  // nothing for other requests (the default window procedure answers them).
  std::optional<LRESULT> AnswerGetObject(WPARAM aWParam, LPARAM aLParam);

private:
  HWND fWindow;
  TScreenReaderSystem fSystem;
  IRawElementProviderSimple *fProvider;
  bool fEnabled = true;
  bool fSpeaksContent = true;
  bool fProviderReturned = false;
};
