#pragma once

#include "analysis/ClipboardAnalyzer.Service.h"
#include "clipboard/ClipboardStateContainer.h"
#include "ui/CardRequest.h"
#include "ui/GdiPlus.h"
#include "ui/LayeredWindow.h"
#include "ui/Notifier.Animation.h"
#include "ui/Notifier.Pictures.h"
#include "ui/Notifier.Render.h"
#include "ui/ScreenReaderNotice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The notifier: a card that slides in at the top left corner of the screen
// to announce a page, a history entry, a mode change or an update message,
// and slides out when its time is up. It owns the window "Stowage Notifier",
// which is shown only while a card is on the screen: between messages its
// client area is zero wide and fully transparent, and the window is hidden.
// All operations belong to the thread that created it.
class TNotifier {
public:
  static constexpr const wchar_t *WindowClassName = L"PagekeepNotifier";
  static constexpr const wchar_t *WindowCaption = L"Stowage Notifier";
  // How long page and history announcements stay.
  static constexpr std::uint32_t AnnounceTime = 2000;
  // A display time that never runs out; such a message ends with HideInfo.
  static constexpr std::uint32_t Forever = 0xFFFFFFFF;
  static constexpr TAlphaColor PageBackground = DefaultBackgroundColor;
  static constexpr TAlphaColor HistoryBackground = 0xFF656565;
  static constexpr TAlphaColor PageFontColor = 0xFFFFFFFF;
  static constexpr TAlphaColor HistoryFontColor = 0xFFEAEAEA;

  // The owner's share of the window's messages (closing, its own timers):
  // messages the notifier does not handle go to aMessageHook first. The
  // notifier's own timers on this window use the ids of TTimer.
  explicit TNotifier(HINSTANCE aInstance, TLayeredWindow::THandler aMessageHook = {},
                     const wchar_t *aClassName = WindowClassName);
  TNotifier(const TNotifier &) = delete;
  TNotifier &operator=(const TNotifier &) = delete;
  ~TNotifier();

  HWND Handle() const noexcept { return fWindow.Handle(); }

  // Shows a description; a history entry has light grey text and icon box.
  void ShowInfo(const std::wstring &aCaption, const TAuto<TDescription> &aDescription,
                bool aIsHistory, std::uint32_t aTime);
  // Shows free texts. aIcon may be null; the card copies it.
  void ShowInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                const std::wstring &aDetailedDescription, bool aShowWarning, const TBitmap *aIcon,
                std::uint32_t aTime);
  void ShowInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                const std::wstring &aDetailedDescription, const TBitmap *aIcon,
                std::uint32_t aTime);
  // Shows a card with free texts in the colour of its tone.
  void ShowCard(const TCardRequest &aRequest);
  // Replaces the texts and the icon of the message on display and nothing
  // else: its time, size, colours and icon box stay.
  void ChangeInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                  const TBitmap *aIcon);
  // Rewrites the short description line alone, as download progress does.
  void SetCommentText(const std::wstring &aText);
  // Slides the card out now.
  void HideInfo();
  // The hide timer's event: slides the card out.
  void TimerHideTimer();

  // Announces page aPage (0 to 9) holding aState, which may be empty.
  void ShowPageAnnounce(int aPage, const TClipboardState &aState);
  // Announces the history entry aActiveHistoryPage (-1 the most recent);
  // aEntry is that entry. Nothing is shown for 0 or above.
  void ShowHistoryPageAnnounce(int aActiveHistoryPage, const TClipboardState &aEntry);

  // The named picture, owned by the notifier; null for an unknown name.
  const TBitmap *ImageByName(std::wstring_view aName) const;

  // The look of the card: it takes effect with the next card, or, for a
  // card on display that gets no new one, with one repaint at the next
  // frame. Setting the colours right before a new card thus never paints
  // the old card in them.
  TAlphaColor BackgroundColor() const noexcept { return fContent.Background; }
  void SetBackgroundColor(TAlphaColor aColor);
  TAlphaColor FontColor() const noexcept { return fContent.FontColor; }
  void SetFontColor(TAlphaColor aColor);
  bool ShowWarning() const noexcept { return fContent.WarningVisible; }
  void SetShowWarning(bool aValue);

  // What the card holds and where its animations stand, for the owner and
  // for tests.
  const TCardContent &Content() const noexcept { return fContent; }
  double ClientAreaWidth() const noexcept { return fClientWidth.Value(); }
  double ClientAreaOpacity() const noexcept { return fClientOpacity.Value(); }
  bool IsAnimating() const noexcept;
  bool IsHideTimerRunning() const noexcept { return fHideTimerRunning; }
  // How often the card has been painted (the costly step of a redraw).
  unsigned CardPaints() const noexcept { return fCardPaints; }

  // Far from the small ids an owner sharing the window would pick.
  enum class TTimer : UINT_PTR { Hide = 0x4E01, Frame = 0x4E02 };

  // Each new card is also told to a running screen reader.
  TScreenReaderNotice &ScreenReader() noexcept { return *fScreenReader; }

  // What a card says of a snapshot, as the page announcement shows it; never
  // throws for a snapshot an analyzer cannot read. Any thread: it reads only
  // the snapshot and the analyzers (COM initialised on the calling thread).
  static TAuto<TDescription> Describe(const TClipboardState &aState);

private:
  std::optional<LRESULT> HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam);
  void BeginMessage(const std::wstring &aCaption, const std::wstring &aShortDescription,
                    const TBitmap *aIcon);
  void SetDetailText(const std::wstring &aText);
  void StartShowing(std::uint32_t aTime);
  void AnimateClientArea(double aWidth, double aOpacity);
  void RestartHideTimer(std::uint32_t aTime);
  void StopHideTimer();
  void OnFrame();
  void ContentChanged();
  void LookChanged();
  void Redraw();
  void SetWindowShown(bool aShown);
  double MaximumFormHeight() const;

  GdiPlus::TSession fGdiPlus;
  Pictures::TPictureList fImages;
  TCardPainter fPainter;
  TCardContent fContent;
  TAnimatedValue fClientWidth;
  TAnimatedValue fClientOpacity;
  bool fHideTimerRunning = false;
  bool fFrameTimerRunning = false;
  std::optional<GdiPlus::TPremultipliedImage> fCard; // painted card, until it changes
  double fCardScale = 0;
  unsigned fCardPaints = 0;
  TLayeredWindow::THandler fMessageHook;
  // Made once the window exists; it goes after the window, which is when UI
  // Automation is to be told that the window's provider is gone.
  std::unique_ptr<TScreenReaderNotice> fScreenReader;
  // Last: it goes first, so no message reaches a half-destroyed notifier.
  TLayeredWindow fWindow;
};
