#include "ui/TrayIcon.h"

#include "harness/Harness.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TMenuFixture : ::testing::Test {
  TTrayMenuItem fRoot{L"", 0, nullptr};
  std::vector<std::wstring> fClicks;

  TMenuClickHandler Recorder() {
    return [this](TTrayMenuItem &aItem) {
      fClicks.push_back(aItem.Caption() + (aItem.Checked() ? L"+" : L"-"));
    };
  }
};

TEST_F(TMenuFixture, AutomaticCheckInvertsTheMarkBeforeTheHandlerRuns) {
  TTrayMenuItem &item = fRoot.Add(CreateMenuItem(L"mode", 0, Recorder()));
  item.SetAutoCheck(true);
  item.Click();
  item.Click();
  EXPECT_EQ((std::vector<std::wstring>{L"mode+", L"mode-"}), fClicks);
}

TEST_F(TMenuFixture, RadioItemsOfOneParentKeepOneMarkAndClicksDoNotSetIt) {
  TTrayMenuItem &parent = fRoot.Add(CreateMenuItem(L"pages", 0, nullptr));
  TTrayMenuItem &other = fRoot.Add(CreateMenuItem(L"other", 0, nullptr));
  other.SetRadioItem(true);
  other.SetChecked(true);
  for (int n = 0; n < 3; ++n)
    parent.Add(CreateMenuItem(std::to_wstring(n), n, Recorder())).SetRadioItem(true);
  parent.Items(0).SetChecked(true);
  parent.Items(2).SetChecked(true);
  EXPECT_FALSE(parent.Items(0).Checked());
  EXPECT_TRUE(parent.Items(2).Checked());
  EXPECT_TRUE(other.Checked()) << "radio grouping stays within one parent";
  parent.Items(1).Click();
  EXPECT_FALSE(parent.Items(1).Checked());
  EXPECT_EQ(1, parent.Items(1).Tag());
  EXPECT_THROW(parent.Items(3), std::out_of_range);
}

TEST_F(TMenuFixture, CommandIdsAreUniqueAcrossTheMenuWhateverTheOrderOfBuilding) {
  TTrayMenuItem &first = fRoot.Add(CreateMenuItem(L"first", 0, nullptr));
  // Children added to an item before it joins the menu.
  auto detached = CreateMenuItem(L"pages", 0, nullptr);
  TTrayMenuItem &early = detached->Add(CreateMenuItem(L"early child", 0, nullptr));
  TTrayMenuItem &pages = fRoot.Add(std::move(detached));
  TTrayMenuItem &late = pages.Add(CreateMenuItem(L"late child", 0, nullptr));
  TTrayMenuItem &last = fRoot.Add(CreateMenuItem(L"last", 0, nullptr));
  const std::vector<TTrayMenuItem *> all{&first, &pages, &early, &late, &last};
  for (TTrayMenuItem *item : all) {
    EXPECT_NE(0u, item->CommandID()) << "0 means nothing was chosen";
    EXPECT_EQ(item, fRoot.FindCommand(item->CommandID()))
        << "the id of \"" << std::string(item->Caption().begin(), item->Caption().end())
        << "\" leads to another item";
  }
  EXPECT_EQ(1u, first.CommandID());
  EXPECT_EQ(5u, last.CommandID()) << "one counter, in the order items join";
  EXPECT_EQ(nullptr, fRoot.FindCommand(6));
}

struct TTrayFixture : ::testing::Test {
  TTrayIcon fTray{L"Pagekeep test"};
  UINT fStateMessage = ::RegisterWindowMessageW(TTrayIcon::ItemStateMessageName);
  int fRuns = 0;

  LRESULT State(unsigned aCommand) {
    return ::SendMessageW(fTray.Handle(), fStateMessage, aCommand, 0);
  }
  bool ShellHasIcon() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = fTray.Handle();
    data.uID = 1;
    data.uFlags = NIF_TIP;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
  }
};

TEST_F(TTrayFixture, CommandsReachItemsAndTheirErrorsStayInside) {
  TTrayMenuItem &failing = fTray.Menu().Add(
      CreateMenuItem(L"failing", 0, [](TTrayMenuItem &) { throw std::runtime_error("boom"); }));
  TTrayMenuItem &counting =
      fTray.Menu().Add(CreateMenuItem(L"counting", 0, [this](TTrayMenuItem &) { ++fRuns; }));
  counting.SetAutoCheck(true);
  fTray.Menu().Add(CreateMenuItem(L"-", 0, nullptr));

  EXPECT_EQ(0, ::SendMessageW(fTray.Handle(), WM_COMMAND, failing.CommandID(), 0));
  ::SendMessageW(fTray.Handle(), WM_COMMAND, counting.CommandID(), 0);
  EXPECT_EQ(1, fRuns) << "a failed command does not stop the next";
  EXPECT_EQ(TTrayIcon::ItemExists | TTrayIcon::ItemChecked, State(counting.CommandID()));
  EXPECT_EQ(TTrayIcon::ItemExists, State(failing.CommandID()));
  EXPECT_EQ(0, State(99));
  EXPECT_FALSE(fTray.RunCommand(3)) << "a separator is no command";
}

TEST_F(TTrayFixture, ClickHandlerRunsForTheShellsClickEventAndErrorsStayInside) {
  fTray.SetOnClick([this] {
    ++fRuns;
    throw std::runtime_error("click failed");
  });
  // Both forms of the event: version 4 sends NIN_SELECT in the low word,
  // older shells the bare button release; the tray reads the one its
  // version gives, so exactly one of these counts.
  ::SendMessageW(fTray.Handle(), WM_APP + 1, 0, MAKELPARAM(NIN_SELECT, 1));
  ::SendMessageW(fTray.Handle(), WM_APP + 1, 0, WM_LBUTTONUP);
  EXPECT_EQ(1, fRuns);
}

TEST_F(TTrayFixture, IconIsAddedRemovedAndAddedAgainWhenTheTaskbarReturns) {
  fTray.SetVisible(true);
  if (!fTray.InNotificationArea())
    GTEST_SKIP() << "this shell has no notification area";
  EXPECT_TRUE(ShellHasIcon());
  EXPECT_EQ(TTrayIcon::ItemExists | TTrayIcon::ItemChecked, State(0));

  // A restarted shell has lost the icon and broadcasts "TaskbarCreated".
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = fTray.Handle();
  data.uID = 1;
  ASSERT_TRUE(::Shell_NotifyIconW(NIM_DELETE, &data));
  ASSERT_FALSE(ShellHasIcon());
  ::SendMessageW(fTray.Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(ShellHasIcon());

  fTray.SetVisible(false);
  EXPECT_FALSE(ShellHasIcon());
  EXPECT_EQ(TTrayIcon::ItemExists, State(0));
  ::SendMessageW(fTray.Handle(), ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_FALSE(ShellHasIcon()) << "a hidden icon stays hidden";
}

void CALLBACK DismissMenu(HWND, UINT, UINT_PTR, DWORD) {
  ::EndMenu();
}

TEST_F(TTrayFixture, MenuOpensAndClosesWhenDismissed) {
  fTray.Menu().Add(CreateMenuItem(L"item", 0, [this](TTrayMenuItem &) { ++fRuns; }));
  TTrayMenuItem &sub = fTray.Menu().Add(CreateMenuItem(L"sub", 0, nullptr));
  sub.Add(CreateMenuItem(L"radio", 0, nullptr)).SetRadioItem(true);
  // A timer dismisses the menu from inside its modal loop.
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, &DismissMenu);
  fTray.ShowMenu(POINT{10, 10});
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(0, fRuns);
  EXPECT_TRUE(::IsWindow(fTray.Handle()));
}

} // namespace
