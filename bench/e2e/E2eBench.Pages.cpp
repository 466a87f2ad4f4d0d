#include "E2eBench.Pages.h"

#include "harness/SampleContent.h"

#include <commctrl.h>

namespace Bench {

namespace {

constexpr std::size_t MiB = 1024 * 1024;
// The pages window's class and child ids, as another program addresses them.
constexpr const wchar_t *PagesWindowClass = L"PagekeepPages";
constexpr int ListId = 10;
constexpr int FilterId = 11;

HWND PagesWindow() {
  return ::FindWindowW(PagesWindowClass, nullptr);
}

bool Answers(HWND aWindow) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(aWindow, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

std::wstring FilterLine(HWND aWindow) {
  wchar_t text[128]{};
  ::GetDlgItemTextW(aWindow, FilterId, text, 128);
  return text;
}

// The program makes the next window, hidden, once this one has gone.
bool ClosePagesWindow(HWND aWindow) {
  ::PostMessageW(aWindow, WM_CLOSE, 0, 0);
  return TimeUntil(
             TClock::now(), [&] { return !::IsWindow(aWindow); }, 5000ms)
      .has_value();
}

} // namespace

void FillPagesWithPicturesAndHistoryWithTexts(TProgram &aProgram) {
  for (int page = 0; page < 10; ++page) {
    aProgram.Command(PageCommand(page));
    SetClipboard({{CF_UNICODETEXT, VariedTextBlock(MiB, 100 + static_cast<unsigned>(page))}});
    aProgram.Barrier();
    SetClipboard(
        {{CF_DIB, Harness::DesktopPictureDib(1920, 1080, 100 + static_cast<unsigned>(page))}});
    aProgram.Barrier();
  }
  aProgram.Command(PageCommand(0));
}

std::optional<TPagesWindowTimes> OpenPagesWindowAndFilter(TProgram &aProgram, int aRows) {
  if (HWND open = PagesWindow(); open && ::IsWindowVisible(open) && !ClosePagesWindow(open))
    return std::nullopt;
  aProgram.WaitIdle();
  TPagesWindowTimes times;
  HWND window = nullptr;
  const auto opened = TClock::now();
  aProgram.Press('V');
  const auto open = TimeUntil(opened, [&] {
    window = PagesWindow();
    return window && ::IsWindowVisible(window) &&
           ListView_GetItemCount(::GetDlgItem(window, ListId)) == aRows && Answers(window);
  });
  if (!open)
    return std::nullopt;
  times.Open = *open;
  // The keys go to the window once it is in front.
  if (!TimeUntil(
          TClock::now(), [&] { return ::GetForegroundWindow() == window; }, 5000ms))
    return std::nullopt;
  const auto typed = TClock::now();
  PressKeys({'Q'});
  const auto filter = TimeUntil(typed, [&] { return FilterLine(window) == L"Filter: q"; });
  if (!filter || !ClosePagesWindow(window))
    return std::nullopt;
  times.Filter = *filter;
  return times;
}

} // namespace Bench
