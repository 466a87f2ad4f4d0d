// TMainForm, pages window: its rows, the choice made in it, and the paste that follows.
#include "app/MainForm.h"

#include "app/Paste.h"
#include "shared/Trace.h"

namespace {

constexpr UINT PasteCheckPeriod = 15;
// How long the paste waits for the window that was in front and for the
// user's keys to come up.
constexpr ULONGLONG PasteWait = 2000;
} // namespace

void TMainForm::CaptureUnderWay(bool aUnderWay) {
  fRowDescriptions.Hold(aUnderWay);
}

// The next window is made as soon as the last one has closed, so that an
// opening finds it made. This runs inside the closing window's message, so
// nothing may be thrown from here: when the message cannot be posted (a full
// queue) the next opening makes its window itself.
void TMainForm::PagesWindowClosed() {
  ::PostMessageW(Handle(), PreparePagesWindowMessage, 0, 0);
}

void TMainForm::PreparePagesWindow() {
  if (fPagesWindow && fPagesWindow->IsOpen())
    return;
  fPagesWindow.reset();
  fPagesWindow = std::make_unique<TPagesWindow>(*this);
}

void TMainForm::ShowPagesWindow() {
  if (fPagesWindow && fPagesWindow->IsOpen()) {
    fPagesWindow->Show();
    return;
  }
  const HWND previous = ::GetForegroundWindow();
  if (!fPagesWindow || !fPagesWindow->Handle())
    fPagesWindow = std::make_unique<TPagesWindow>(*this);
  fPagesWindow->Open(previous);
}

TPagesRow TMainForm::DescribeRow(const TClipboardState &aState) {
  TPagesRow row;
  if (!aState || aState().Count() == 0) {
    row.Content = L"Empty";
    return row;
  }
  const std::shared_ptr<const TRowDescription> description = fRowDescriptions.Find(aState);
  row.ContentId = aState().ContentId();
  row.From = description->From;
  row.Content = description->Content;
  row.Icon = description->Icon;
  row.Thumbnail = description->Thumbnail;
  return row;
}

// Made in the background as soon as content arrives, so that the window
// finds every row described when it opens; an open window shows the change.
void TMainForm::SlotsChanged() {
  std::vector<TClipboardState> held;
  held.reserve(TPageModel::PageCount + fModel.History().size());
  for (int page = 0; page < TPageModel::PageCount; ++page)
    held.push_back(fModel.Page(page));
  for (const TClipboardState &entry : fModel.History())
    held.push_back(entry);
  fRowDescriptions.Keep(held);
  if (fPagesWindow)
    fPagesWindow->Refresh();
}

// Described from the stored content: nothing goes on the clipboard.
std::vector<TPagesRow> TMainForm::PagesRows() {
  std::vector<TPagesRow> rows;
  const bool showingHistory = fModel.ActiveHistoryPage() < 0;
  for (int page = 0; page < TPageModel::PageCount; ++page) {
    TPagesRow row = DescribeRow(fModel.Page(page));
    row.Number = page;
    row.Label = L"Page " + std::to_wstring(page);
    row.Active = page == fModel.ActivePage();
    row.OnClipboard = row.Active && !showingHistory;
    rows.push_back(std::move(row));
  }
  const int entries = static_cast<int>(fModel.History().size());
  for (int back = 1; back <= entries; ++back) {
    TPagesRow row = DescribeRow(HistoryEntry(-back));
    row.IsPage = false;
    row.Number = -back;
    row.Label = L"History " + std::to_wstring(-back);
    row.OnClipboard = fModel.ActiveHistoryPage() == -back;
    rows.push_back(std::move(row));
  }
  return rows;
}

bool TMainForm::InPrivateMode() const {
  return !fModel.ListenerEnabled();
}

// Exactly what the hotkeys do; the paste follows once the item is on the
// clipboard.
void TMainForm::ChoosePagesRow(const TPagesRow &aRow, TPagesChoice aChoice, HWND aPrevious) {
  if (aRow.IsPage)
    fModel.SetActivePage(aRow.Number);
  else
    fModel.SetActiveHistoryPage(aRow.Number);
  if (aChoice == TPagesChoice::TextAlone)
    fModel.PutShownTextAlone();
  if (aChoice == TPagesChoice::ClipboardOnly || !aPrevious) {
    if (aPrevious)
      ::SetForegroundWindow(aPrevious);
    return;
  }
  fPasteTarget = aPrevious;
  fPasteDeadline = ::GetTickCount64() + PasteWait;
  ::SetForegroundWindow(aPrevious);
  CheckWin32(
      ::SetTimer(Handle(), static_cast<UINT_PTR>(TTimerID::Paste), PasteCheckPeriod, nullptr) != 0,
      "SetTimer");
}

// Ctrl+V goes only when the item is on the clipboard, the window that was
// in front is in front again and no key of the user's is down; a window
// that cannot receive it, or a wait past the bound, gets a card instead.
void TMainForm::ContinuePaste() {
  const bool late = ::GetTickCount64() > fPasteDeadline;
  if (!late && (fModel.CaptureRetryPending() || ::GetForegroundWindow() != fPasteTarget ||
                Paste::AnyModifierDown()))
    return;
  ::KillTimer(Handle(), static_cast<UINT_PTR>(TTimerID::Paste));
  // Still waiting for a busy clipboard: the item is not there yet, and the
  // model's own card says how that ends.
  if (late && fModel.CaptureRetryPending()) {
    fPasteTarget = nullptr;
    return;
  }
  if (late || Paste::RunsWithHigherRights(fPasteTarget) || !Paste::SendPasteKeys()) {
    TCardRequest card = MakeCard(L"Paste", L"", TCardPicture::None, TCardTone::Neutral, 4000);
    card.DetailedDescription = L"The item is on the clipboard: paste it with Ctrl+V";
    ShowInfo(card);
  }
  fPasteTarget = nullptr;
}
