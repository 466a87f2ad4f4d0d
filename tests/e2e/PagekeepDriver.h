#pragma once

// Drives a running Pagekeep.exe through what other programs can see of it:
// its windows, its tray menu's commands, the announcement it shows, and
// hotkey presses.

#include "harness/Harness.h"
#include "harness/TrayCommands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace PagekeepDriver {

using namespace Harness;

class TPagekeep {
public:
  explicit TPagekeep(const std::wstring &aArguments = L"-updated");

  DWORD Id() const noexcept { return fProcess.Id(); }
  TProcess &Process() noexcept { return fProcess; }
  // True once start-up has completed (the tray answers).
  bool WaitReady();
  HWND Form() const noexcept { return fForm; }
  HWND Tray() const noexcept { return fTray; }
  HWND MessageWindow() const noexcept { return fMessageWindow; }

  // The newest announcement ("<number> <text>") and its number.
  std::wstring Announcement() const;
  unsigned AnnouncementNumber() const;
  // Waits for an announcement after aAfter; returns its text without the
  // number, or "" when none came.
  std::wstring WaitForAnnouncement(unsigned aAfter);
  // Whether the newest announcement ends with aText within aWait (a card
  // after the start-up messages, say); names the last one when not.
  ::testing::AssertionResult AnnouncementEndsWith(const std::wstring &aText,
                                                  std::chrono::milliseconds aWait);

  // Presses Alt+Win+aKey (or Alt+aKey) and returns the announcement it led
  // to, "" when none came within a few seconds: for a key that shows a card.
  std::wstring Press(WORD aKey, bool aWithWin = true);
  // The same for a key that is to do nothing: "" when no card came within
  // a short quiet wait, else the card's text.
  std::wstring PressExpectingNothing(WORD aKey, bool aWithWin = true);
  // Presses the keys in order (modifiers first), releases them, and returns
  // the announcement it led to, "" when none came within aWait.
  std::wstring PressCombination(const std::vector<WORD> &aKeys,
                                std::chrono::milliseconds aWait = std::chrono::seconds(5));
  // Runs a tray-menu command and returns the announcement it led to.
  std::wstring Command(unsigned aCommandID);
  bool Checked(unsigned aCommandID) const;
  // The caption of a tray-menu item, "<no item>" when there is none.
  std::wstring ItemCaption(unsigned aCommandID) const;
  bool HasItem(unsigned aCommandID) const;

private:
  std::wstring PressAndWait(WORD aKey, bool aWithWin, std::chrono::milliseconds aWait);
  LRESULT ItemState(unsigned aCommandID) const;

  TProcess fProcess;
  HWND fForm = nullptr;
  HWND fTray = nullptr;
  HWND fMessageWindow = nullptr;
};

// Copies text from this process and gives the program time to record it.
void Copy(const std::wstring &aText);
void CopyFormats(const std::vector<TClipFormat> &aFormats);
std::wstring ClipboardOrNone();

// A test that starts with a ready program whose page 0 holds "before start".
class TStartedPagekeepTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Page 0 takes what the clipboard holds when start-up completes.
    Copy(L"before start");
    fPagekeep.emplace();
    ASSERT_TRUE(fApp().WaitReady()) << "Pagekeep did not complete its start-up";
    // The information card comes once the start's reading of the clipboard
    // has finished: a copy made before that would be taken for it.
    ASSERT_EQ(L"Page 0", fApp().Press('I'));
  }
  TPagekeep &fApp() { return *fPagekeep; }
  std::optional<TPagekeep> fPagekeep;
};

} // namespace PagekeepDriver
