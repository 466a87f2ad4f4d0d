#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace AppTest;

class StartupTest : public TStartedForm {
protected:
  void SetUp() override {
    Harness::SetClipboardText(L"there before the start");
    TStartedForm::SetUp();
  }
};

TEST_F(StartupTest, PageZeroHoldsTheClipboardFoundAtStartAndNothingElseIsFilled) {
  const TPageModel &model = fForm->Model();
  ASSERT_GT(model.Page(0)().Count(), 0);
  EXPECT_TRUE(model.History().empty());
  for (int page = 1; page < TPageModel::PageCount; ++page)
    EXPECT_EQ(0, model.Page(page)().Count()) << "page " << page;
  EXPECT_TRUE(fForm->LastAnnouncement().empty()) << "start-up announces nothing";
}

TEST_F(StartupTest, FormIsHiddenHasNoTaskbarButtonAndTheKnownTitle) {
  const HWND form = fForm->Handle();
  EXPECT_FALSE(::IsWindowVisible(form));
  const LONG_PTR style = ::GetWindowLongPtrW(form, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(style & WS_EX_APPWINDOW);
  EXPECT_TRUE(style & WS_EX_NOACTIVATE) << "the card never takes the focus";
  wchar_t title[64]{};
  ::GetWindowTextW(form, title, 64);
  EXPECT_STREQ(L"Stowage Notifier", title);
}

struct TShortcutRow {
  std::size_t Index;
  UINT Key;
  int Page; // -1: none
};

TEST_F(StartupTest, ShortcutsAreRegisteredInTableOrderWithConsecutiveIds) {
  std::vector<TShortcutRow> rows;
  for (int page = 0; page < 10; ++page) {
    rows.push_back({FKeyIndex(page), static_cast<UINT>(VK_F3 + page), page});
    rows.push_back({NumpadIndex(page), static_cast<UINT>(VK_NUMPAD0 + page), page});
  }
  rows.insert(rows.end(), {{hkRight, VK_RIGHT, -1},
                           {hkLeft, VK_LEFT, -1},
                           {hkUp, VK_UP, -1},
                           {hkDown, VK_DOWN, -1},
                           {hkPrivateMode, 'E', -1},
                           {hkInfo, 'I', -1},
                           {hkShowPages, 'V', -1}});
  const auto &hotkeys = fForm->Hotkeys();
  ASSERT_EQ(28u, hotkeys.size());
  for (std::size_t i = 1; i < hotkeys.size(); ++i)
    EXPECT_EQ(hotkeys[0]->ID() + i, hotkeys[i]->ID());
  for (const TShortcutRow &row : rows) {
    const TGlobalHotkey &hotkey = *hotkeys[row.Index];
    EXPECT_EQ(row.Key, hotkey.Key()) << "row " << row.Index;
    EXPECT_EQ(static_cast<std::uint32_t>(MOD_ALT | MOD_WIN), hotkey.Modifiers());
    if (row.Page >= 0)
      EXPECT_EQ(row.Page, std::get<std::int32_t>(hotkey.UserData()));
    else
      EXPECT_TRUE(std::holds_alternative<std::monostate>(hotkey.UserData()));
  }
  EXPECT_EQ(static_cast<std::uint32_t>('D'), hotkeys[hkFormats]->Key());
  EXPECT_EQ(static_cast<std::uint32_t>(MOD_ALT), hotkeys[hkFormats]->Modifiers());
}

TEST_F(StartupTest, TrayMenuHasTheCommandsInOrderWithPageZeroMarked) {
  const TTrayMenuItem &menu = fForm->Tray()->Menu();
  const std::vector<std::wstring> captions{L"Private mode [Alt+Win+E]",
                                           L"Select clipboard page",
                                           L"-",
                                           L"Previous history element [Alt+Win+Up]",
                                           L"Next history element [Alt+Win+Down]",
                                           L"Previous page [Alt+Win+Left]",
                                           L"Next page [Alt+Win+Right]",
                                           L"Current page information [Alt+Win+I]",
                                           L"Show pages [Alt+Win+V]",
                                           L"-",
                                           L"Keep pages after restart",
                                           L"Settings\u2026",
                                           L"Close"};
  ASSERT_EQ(captions.size(), menu.Count());
  for (std::size_t i = 0; i < captions.size(); ++i)
    EXPECT_EQ(captions[i], menu.Items(i).Caption());
  EXPECT_TRUE(menu.Items(0).AutoCheck());
  EXPECT_FALSE(menu.Items(0).Checked());
  EXPECT_TRUE(menu.Items(10).AutoCheck());
  EXPECT_FALSE(menu.Items(10).Checked()) << "off by default";
  const TTrayMenuItem &pages = menu.Items(1);
  ASSERT_EQ(10u, pages.Count());
  for (int n = 0; n < 10; ++n) {
    const TTrayMenuItem &item = pages.Items(static_cast<std::size_t>(n));
    EXPECT_EQ(L"Page " + std::to_wstring(n) + L" [Alt+Win+Num" + std::to_wstring(n) + L"]",
              item.Caption());
    EXPECT_EQ(n, item.Tag());
    EXPECT_TRUE(item.RadioItem());
    EXPECT_EQ(n == 0, item.Checked());
  }
}

TEST(StartupHandOver, CompleteStartupRunsOnTheMainThreadAfterTheFormExists) {
  TMainForm form(::GetModuleHandleW(nullptr), AppTest::TestFormOptions(L"HandOver"));
  EXPECT_FALSE(form.StartupCompleted()) << "FormCreate does not wait for the thread";
  EXPECT_EQ(nullptr, form.Tray());
  ASSERT_TRUE(Harness::WaitUntil([&] { return form.StartupCompleted(); }));
  ASSERT_NE(nullptr, form.Tray());
  EXPECT_EQ(::GetCurrentThreadId(), ::GetWindowThreadProcessId(form.Tray()->Handle(), nullptr));
}

TEST(StartupHandOver, AFormClosedBeforeTheHandOverReleasesItsThread) {
  auto form =
      std::make_unique<TMainForm>(::GetModuleHandleW(nullptr), AppTest::TestFormOptions(L"Early"));
  form.reset(); // no message was pumped: the hand-over is still waiting
  AppTest::PumpPending();
  SUCCEED() << "the destructor returned";
}

void CALLBACK CloseHandOverBox(HWND, UINT, UINT_PTR, DWORD) {
  if (HWND box = ::FindWindowW(nullptr, L"Modal hand-over"))
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST(MainThreadHandOver, RunsStepsOnTheMainThreadAndCarriesTheirErrorsBack) {
  TMainThreadHandOver handOver;
  DWORD ranOn = 0;
  bool failed = false;
  std::thread worker([&] {
    handOver.Run([&] { ranOn = ::GetCurrentThreadId(); });
    try {
      handOver.Run([] { throw std::runtime_error("step failed"); });
    } catch (const std::runtime_error &) {
      failed = true;
    }
  });
  // A message box's modal loop also runs handed-over steps.
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 400, &CloseHandOverBox);
  ::MessageBoxW(nullptr, L"waiting", L"Modal hand-over", MB_OK);
  ::KillTimer(nullptr, timer);
  Harness::WaitUntil([&] { return failed; });
  worker.join();
  EXPECT_EQ(::GetCurrentThreadId(), ranOn);
  EXPECT_TRUE(failed);
}

TEST(MainThreadHandOver, CancelReleasesAWaitingThread) {
  TMainThreadHandOver handOver;
  bool cancelled = false;
  std::thread worker([&] {
    try {
      handOver.Run([] {});
    } catch (const EHandOverCancelled &) {
      cancelled = true;
    }
  });
  ::Sleep(100);
  handOver.Cancel();
  worker.join();
  EXPECT_TRUE(cancelled);
  AppTest::PumpPending();
}

} // namespace
