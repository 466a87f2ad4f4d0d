#include "ui/Notifier.h"

#include <cmath>

namespace {
constexpr UINT FrameInterval = 15;

std::optional<TBitmap> CopyOf(const TBitmap *aBitmap) {
  return aBitmap ? std::optional<TBitmap>(*aBitmap) : std::nullopt;
}

int Px(double aUnits, double aScale) {
  return static_cast<int>(std::lround(aUnits * aScale));
}
} // namespace

TNotifier::TNotifier(HINSTANCE aInstance, TLayeredWindow::THandler aMessageHook,
                     const wchar_t *aClassName)
    : fMessageHook(std::move(aMessageHook)),
      fWindow(aInstance, aClassName, WindowCaption,
              [this](UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
                return HandleMessage(aMsg, aWParam, aLParam);
              }) {
  fScreenReader = std::make_unique<TScreenReaderNotice>(fWindow.Handle());
  Redraw();
}

TNotifier::~TNotifier() = default;

void TNotifier::ShowInfo(const std::wstring &aCaption, const TAuto<TDescription> &aDescription,
                         bool aIsHistory, std::uint32_t aTime) {
  const TDescription &description = aDescription();
  const TBitmap *icon = description.Icon() ? &*description.Icon() : nullptr;
  BeginMessage(aCaption, description.ShortDescription(), icon);
  fContent.FontColor = aIsHistory ? HistoryFontColor : PageFontColor;
  if (description.Image()) {
    fContent.ImageVisible = true;
    fContent.Image = *description.Image();
    fContent.FormHeight = CardLayout::ImageFormHeight;
  } else {
    fContent.ImageVisible = false;
    fContent.Image.reset();
    SetDetailText(description.LongDescription());
  }
  fContent.WarningVisible = description.ParticularSupport();
  StartShowing(aTime);
}

void TNotifier::ShowInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                         const std::wstring &aDetailedDescription, bool aShowWarning,
                         const TBitmap *aIcon, std::uint32_t aTime) {
  fContent.FontColor = PageFontColor;
  BeginMessage(aCaption, aShortDescription, aIcon);
  fContent.ImageVisible = false;
  fContent.Image.reset();
  SetDetailText(aDetailedDescription);
  fContent.WarningVisible = aShowWarning;
  StartShowing(aTime);
}

void TNotifier::ShowInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                         const std::wstring &aDetailedDescription, const TBitmap *aIcon,
                         std::uint32_t aTime) {
  ShowInfo(aCaption, aShortDescription, aDetailedDescription, false, aIcon, aTime);
}

void TNotifier::ShowCard(const TCardRequest &aRequest) {
  SetBackgroundColor(CardToneColor(aRequest.Tone));
  ShowInfo(aRequest.Caption, aRequest.ShortDescription, aRequest.DetailedDescription,
           aRequest.WarningBadge, ImageByName(CardPictureName(aRequest.Picture)),
           aRequest.DisplayTime);
}

void TNotifier::ChangeInfo(const std::wstring &aCaption, const std::wstring &aShortDescription,
                           const TBitmap *aIcon) {
  fContent.Caption = aCaption;
  fContent.Comment = aShortDescription;
  fContent.Icon = CopyOf(aIcon);
  ContentChanged();
}

void TNotifier::SetCommentText(const std::wstring &aText) {
  fContent.Comment = aText;
  ContentChanged();
}

void TNotifier::HideInfo() {
  TimerHideTimer();
}

void TNotifier::TimerHideTimer() {
  AnimateClientArea(0, 0);
  StopHideTimer();
}

const TBitmap *TNotifier::ImageByName(std::wstring_view aName) const {
  return fImages.Find(aName);
}

void TNotifier::SetBackgroundColor(TAlphaColor aColor) {
  if (fContent.Background == aColor)
    return;
  fContent.Background = aColor;
  LookChanged();
}

void TNotifier::SetFontColor(TAlphaColor aColor) {
  if (fContent.FontColor == aColor)
    return;
  fContent.FontColor = aColor;
  LookChanged();
}

void TNotifier::SetShowWarning(bool aValue) {
  if (fContent.WarningVisible == aValue)
    return;
  fContent.WarningVisible = aValue;
  LookChanged();
}

bool TNotifier::IsAnimating() const noexcept {
  return fClientWidth.IsAnimating() || fClientOpacity.IsAnimating();
}

// The steps every message starts with: the texts, the card vanishing at
// once, and the icon box and width that the icon decides.
void TNotifier::BeginMessage(const std::wstring &aCaption, const std::wstring &aShortDescription,
                             const TBitmap *aIcon) {
  fContent.Caption = aCaption;
  fContent.Comment = aShortDescription;
  fClientWidth.Set(0);
  fClientOpacity.Set(0);
  fContent.IconBoxVisible = aIcon != nullptr;
  fContent.Icon = CopyOf(aIcon);
  fContent.CardWidth = CardLayout::CardWidthFor(aIcon != nullptr);
}

void TNotifier::SetDetailText(const std::wstring &aText) {
  fContent.Detail = aText;
  const double scale = fWindow.Scale();
  const double height =
      fPainter.DetailHeight(aText, CardLayout::DetailTextWidth(fContent.CardWidth), scale);
  fContent.FormHeight =
      CardLayout::FormHeightFor(false, !aText.empty(), height, MaximumFormHeight());
}

void TNotifier::StartShowing(std::uint32_t aTime) {
  fScreenReader->Say(fContent.Caption, fContent.Comment, fContent.Detail, fContent.ImageVisible);
  fCard.reset();
  AnimateClientArea(fContent.CardWidth, 1);
  RestartHideTimer(aTime);
}

void TNotifier::AnimateClientArea(double aWidth, double aOpacity) {
  const auto now = Animation::TClock::now();
  const auto duration = Animation::UserDuration(Animation::StandardDuration);
  fClientWidth.AnimateTo(aWidth, now, duration);
  fClientOpacity.AnimateTo(aOpacity, now, duration);
  Redraw();
  if (IsAnimating() && !fFrameTimerRunning) {
    fWindow.StartTimer(static_cast<UINT_PTR>(TTimer::Frame), FrameInterval);
    fFrameTimerRunning = true;
  }
}

void TNotifier::OnFrame() {
  const auto now = Animation::TClock::now();
  fClientWidth.Advance(now);
  fClientOpacity.Advance(now);
  if (!IsAnimating()) {
    fWindow.StopTimer(static_cast<UINT_PTR>(TTimer::Frame));
    fFrameTimerRunning = false;
  }
  Redraw();
}

void TNotifier::RestartHideTimer(std::uint32_t aTime) {
  StopHideTimer();
  if (aTime == Forever)
    return;
  fWindow.StartTimer(static_cast<UINT_PTR>(TTimer::Hide), aTime);
  fHideTimerRunning = true;
}

void TNotifier::StopHideTimer() {
  fWindow.StopTimer(static_cast<UINT_PTR>(TTimer::Hide));
  fHideTimerRunning = false;
}

std::optional<LRESULT> TNotifier::HandleMessage(UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg == WM_TIMER && aWParam == static_cast<WPARAM>(TTimer::Hide)) {
    TimerHideTimer();
    return 0;
  }
  if (aMsg == WM_TIMER && aWParam == static_cast<WPARAM>(TTimer::Frame)) {
    OnFrame();
    return 0;
  }
  if (aMsg == WM_DPICHANGED) {
    ContentChanged();
    return 0;
  }
  if (aMsg == WM_GETOBJECT && fScreenReader)
    if (const std::optional<LRESULT> answer = fScreenReader->AnswerGetObject(aWParam, aLParam))
      return answer;
  if (fMessageHook)
    return fMessageHook(aMsg, aWParam, aLParam);
  return std::nullopt;
}

void TNotifier::ContentChanged() {
  fCard.reset();
  if (fClientWidth.Value() > 0 && fClientOpacity.Value() > 0)
    Redraw();
}

// A new look is painted at the next frame, not now: the caller may be about
// to show a new card, which then is the only one painted. The frame timer
// stops by itself after one frame when nothing moves.
void TNotifier::LookChanged() {
  fCard.reset();
  if (fClientWidth.Value() > 0 && fClientOpacity.Value() > 0 && !fFrameTimerRunning) {
    fWindow.StartTimer(static_cast<UINT_PTR>(TTimer::Frame), FrameInterval);
    fFrameTimerRunning = true;
  }
}

// Puts the current state on the screen. The card is painted only after it
// changed; a frame of an animation only moves and fades it.
void TNotifier::Redraw() {
  const double scale = fWindow.Scale();
  const int clientWidth = Px(fClientWidth.Value(), scale);
  const auto opacity = static_cast<BYTE>(std::lround(fClientOpacity.Value() * 255));
  GdiPlus::TPremultipliedImage empty;
  const bool visible = clientWidth > 0 && opacity > 0;
  if (visible && (!fCard || fCardScale != scale)) {
    fCard = fPainter.Paint(fContent, scale);
    fCardScale = scale;
    ++fCardPaints;
  }
  const GdiPlus::TPremultipliedImage frame =
      ComposeFrame(visible ? *fCard : empty, visible ? clientWidth : 0,
                   Px(CardLayout::FormWidth, scale), Px(fContent.FormHeight, scale));
  fWindow.Present(frame, POINT{0, Px(CardLayout::FormTop, scale)}, opacity);
  SetWindowShown(visible);
}

// Hidden, the window can neither cover nor catch anything and costs the
// system nothing. Shown, it goes to the top of the topmost windows without
// being activated: the user's program keeps the focus.
void TNotifier::SetWindowShown(bool aShown) {
  const HWND window = fWindow.Handle();
  if ((::IsWindowVisible(window) != FALSE) == aShown)
    return;
  if (aShown)
    CheckWin32(::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                              SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW),
               "SetWindowPos");
  else
    ::ShowWindow(window, SW_HIDE);
}

double TNotifier::MaximumFormHeight() const {
  const double scale = fWindow.Scale();
  const POINT top{0, Px(CardLayout::FormTop, scale)};
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetMonitorInfoW(::MonitorFromPoint(top, MONITOR_DEFAULTTOPRIMARY), &info))
    return CardLayout::ImageFormHeight;
  return (info.rcMonitor.bottom - top.y) / scale;
}
