// TMainForm, announcements: the page and history cards, info texts and their record.
#include "app/MainForm.h"

#include "shared/Trace.h"

#include <exception>

namespace {

// An announcement only tells the user what a command did; a failure in
// drawing it must neither undo nor fail that command, nor stop later ones.
template <class TShow> void ShowOnCard(TShow aShow) {
  try {
    aShow();
  } catch (const std::exception &) {
    TraceDroppedError();
  }
}

} // namespace

// Every announcement is also written, numbered so that repeats can be told
// apart, to a hidden child window of the card; other processes read it with
// GetWindowTextW.
void TMainForm::CreateAnnouncementRecord() {
  fAnnouncement = ::CreateWindowExW(0, AnnouncementClassName, L"", WS_CHILD, 0, 0, 0, 0, Handle(),
                                    nullptr, fInstance, nullptr);
  CheckWin32(fAnnouncement != nullptr, "CreateWindowExW");
}

void TMainForm::Announce(const std::wstring &aText) {
  fLastAnnouncement = std::to_wstring(++fAnnouncementCount) + L" " + aText;
  ::SetWindowTextW(fAnnouncement, fLastAnnouncement.c_str());
}

const TClipboardState &TMainForm::HistoryEntry(int aActiveHistoryPage) const {
  static const TClipboardState none;
  const auto &history = fModel.History();
  if (aActiveHistoryPage >= 0)
    return none;
  const auto back = static_cast<std::size_t>(-aActiveHistoryPage);
  if (back > history.size())
    return none;
  return history[history.size() - back];
}

void TMainForm::ShowPageAnnounce() {
  const int page = fModel.ActivePage();
  Announce(L"Page " + std::to_wstring(page));
  ShowOnCard([&] { fNotifier->ShowPageAnnounce(page, fModel.Page(page)); });
}

void TMainForm::ShowHistoryPageAnnounce() {
  const int entry = fModel.ActiveHistoryPage();
  Announce(L"History " + std::to_wstring(entry));
  ShowOnCard([&] { fNotifier->ShowHistoryPageAnnounce(entry, HistoryEntry(entry)); });
}

void TMainForm::ShowInfo(const TCardRequest &aRequest) {
  Announce(aRequest.Caption);
  ShowOnCard([&] { fNotifier->ShowCard(aRequest); });
}

void TMainForm::ShowStartupMessage(const std::wstring &aCaption,
                                   const std::wstring &aShortDescription,
                                   const std::wstring &aDetailedDescription, TCardPicture aPicture,
                                   std::uint32_t aTime) {
  fStartupCards.StartupMessageShown(aTime);
  Announce(aShortDescription);
  ShowOnCard([&] {
    fNotifier->ShowInfo(aCaption, aShortDescription, aDetailedDescription,
                        fNotifier->ImageByName(CardPictureName(aPicture)), aTime);
  });
}

void TMainForm::ChangeStartupMessage(const std::wstring &aCaption,
                                     const std::wstring &aShortDescription, TCardPicture aPicture) {
  Announce(aShortDescription);
  ShowOnCard([&] {
    fNotifier->ChangeInfo(aCaption, aShortDescription,
                          fNotifier->ImageByName(CardPictureName(aPicture)));
  });
}

void TMainForm::SetStartupMessageComment(const std::wstring &aText) {
  Announce(aText);
  ShowOnCard([&] { fNotifier->SetCommentText(aText); });
}

void TMainForm::HideStartupMessage() {
  fStartupCards.StartupMessageHidden();
  ShowOnCard([&] { fNotifier->HideInfo(); });
}
