#include "PagekeepDriver.h"

#include <thread>

namespace PagekeepDriver {

namespace {
// How long nothing must happen for a key to have done nothing.
constexpr auto QuietWait = 400ms;
// How long a card that is to come may take: a loaded machine under Wine
// takes far longer than the program's own work.
constexpr auto CardWait = 5s;

void Settle() {
  WaitUntil([] { return false; }, 250ms);
}
} // namespace

TPagekeep::TPagekeep(const std::wstring &aArguments) : fProcess(StartPagekeep(aArguments)) {}

bool TPagekeep::WaitReady() {
  fTray = WaitForWindow(fProcess.Id(), L"PagekeepTrayWindow", L"");
  fForm = WaitForWindow(fProcess.Id(), L"", L"Stowage Notifier");
  fMessageWindow = WaitForWindow(fProcess.Id(), L"ZAVereWindowClass", L"ZAVereWindowCaption");
  // The tray answers only once the start-up step that made it has ended.
  if (!fTray || !fForm || !fMessageWindow || !HasItem(tcClose))
    return false;
  // Under Wine the start-up capture of page 0 can find the clipboard busy
  // and run on its retry a little later; a copy made before that would
  // take its place.
  Settle();
  WaitUntil([] { return ::GetOpenClipboardWindow() == nullptr; });
  return true;
}

std::wstring TPagekeep::Announcement() const {
  HWND text = ::FindWindowExW(fForm, nullptr, L"Static", nullptr);
  wchar_t buffer[256]{};
  if (text)
    ::GetWindowTextW(text, buffer, 256);
  return buffer;
}

unsigned TPagekeep::AnnouncementNumber() const {
  const std::wstring text = Announcement();
  return text.empty() ? 0u : static_cast<unsigned>(std::stoul(text));
}

std::wstring TPagekeep::WaitForAnnouncement(unsigned aAfter) {
  if (!WaitUntil([&] { return AnnouncementNumber() > aAfter; }, QuietWait * 5))
    return L"";
  const std::wstring text = Announcement();
  return text.substr(text.find(L' ') + 1);
}

::testing::AssertionResult TPagekeep::AnnouncementEndsWith(const std::wstring &aText,
                                                           std::chrono::milliseconds aWait) {
  if (WaitUntil([&] { return Announcement().ends_with(aText); }, aWait))
    return ::testing::AssertionSuccess();
  const std::wstring last = Announcement();
  return ::testing::AssertionFailure()
         << "last announcement: " << std::string(last.begin(), last.end());
}

std::wstring TPagekeep::PressAndWait(WORD aKey, bool aWithWin, std::chrono::milliseconds aWait) {
  if (aWithWin)
    return PressCombination({VK_LWIN, VK_MENU, aKey}, aWait);
  return PressCombination({VK_MENU, aKey}, aWait);
}

std::wstring TPagekeep::PressCombination(const std::vector<WORD> &aKeys,
                                         std::chrono::milliseconds aWait) {
  const unsigned before = AnnouncementNumber();
  PressKeys(aKeys);
  if (!WaitUntil([&] { return AnnouncementNumber() > before; }, aWait))
    return L"";
  return WaitForAnnouncement(before);
}

std::wstring TPagekeep::Press(WORD aKey, bool aWithWin) {
  return PressAndWait(aKey, aWithWin, CardWait);
}

std::wstring TPagekeep::PressExpectingNothing(WORD aKey, bool aWithWin) {
  return PressAndWait(aKey, aWithWin, QuietWait);
}

std::wstring TPagekeep::Command(unsigned aCommandID) {
  const unsigned before = AnnouncementNumber();
  ::PostMessageW(fTray, WM_COMMAND, aCommandID, 0);
  if (!WaitUntil([&] { return AnnouncementNumber() > before; }, CardWait))
    return L"";
  return WaitForAnnouncement(before);
}

LRESULT TPagekeep::ItemState(unsigned aCommandID) const {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(fTray, ::RegisterWindowMessageW(L"Pagekeep.TrayItemState"), aCommandID, 0,
                        SMTO_NORMAL, 10000, &result);
  return static_cast<LRESULT>(result);
}

std::wstring TPagekeep::ItemCaption(unsigned aCommandID) const {
  DWORD_PTR found = 0;
  ::SendMessageTimeoutW(fTray, ::RegisterWindowMessageW(L"Pagekeep.TrayItemCaption"), aCommandID, 0,
                        SMTO_NORMAL, 10000, &found);
  if (!found)
    return L"<no item>";
  wchar_t text[256]{};
  ::GetWindowTextW(::FindWindowExW(fTray, nullptr, L"Static", nullptr), text, 256);
  return text;
}

bool TPagekeep::HasItem(unsigned aCommandID) const {
  return ItemState(aCommandID) & 1;
}
bool TPagekeep::Checked(unsigned aCommandID) const {
  return ItemState(aCommandID) & 2;
}

void Copy(const std::wstring &aText) {
  SetClipboardText(aText);
  Settle();
}

void CopyFormats(const std::vector<TClipFormat> &aFormats) {
  SetClipboard(aFormats);
  Settle();
}

std::wstring ClipboardOrNone() {
  return ClipboardText().value_or(L"<none>");
}

} // namespace PagekeepDriver
