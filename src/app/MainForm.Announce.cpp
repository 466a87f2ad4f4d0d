#include "app/MainForm.h"

// Until the notifier card shows them, announcements go to a hidden child
// window's text, numbered so that repeats can be told apart; other
// processes read it with GetWindowTextW.
void TMainForm::CreateAnnouncementPlaceholder() {
  fAnnouncement = ::CreateWindowExW(0, AnnouncementClassName, L"", WS_CHILD, 0, 0, 0, 0,
                                    fWindow.Get(), nullptr, fInstance, nullptr);
  CheckWin32(fAnnouncement != nullptr, "CreateWindowExW");
}

void TMainForm::Announce(const std::wstring &aText) {
  fLastAnnouncement = std::to_wstring(++fAnnouncementCount) + L" " + aText;
  ::SetWindowTextW(fAnnouncement, fLastAnnouncement.c_str());
}

void TMainForm::ShowPageAnnounce() {
  Announce(L"Page " + std::to_wstring(fModel.ActivePage()));
}

void TMainForm::ShowHistoryPageAnnounce() {
  Announce(L"History " + std::to_wstring(fModel.ActiveHistoryPage()));
}

void TMainForm::ShowInfo(const std::wstring &aCaption, const std::wstring &, const std::wstring &,
                         const std::wstring &, std::uint32_t, int) {
  Announce(aCaption);
}
