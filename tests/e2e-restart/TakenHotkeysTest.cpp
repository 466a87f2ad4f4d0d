#include "PagekeepDriver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

using namespace PagekeepDriver;

// Two of Pagekeep's combinations, held by a thread of this process (another
// program to Pagekeep) for as long as the object lives. The thread has a
// message loop of its own, so the presses it receives are counted there.
class THeldHotkeys {
public:
  THeldHotkeys() {
    std::promise<bool> registered;
    auto result = registered.get_future();
    fThread = std::thread([this, &registered] {
      MSG message;
      ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // the queue exists from here
      const bool num5 = ::RegisterHotKey(nullptr, 1, MOD_ALT | MOD_WIN, VK_NUMPAD5) != FALSE;
      const bool up = ::RegisterHotKey(nullptr, 2, MOD_ALT | MOD_WIN, VK_UP) != FALSE;
      fThreadId = ::GetCurrentThreadId();
      registered.set_value(num5 && up);
      while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        if (message.message == WM_HOTKEY && message.wParam == 2)
          ++fUpPresses;
      ::UnregisterHotKey(nullptr, 1);
      ::UnregisterHotKey(nullptr, 2);
    });
    fHeld = result.get();
  }
  ~THeldHotkeys() {
    ::PostThreadMessageW(fThreadId, WM_QUIT, 0, 0);
    fThread.join();
  }
  bool Held() const noexcept { return fHeld; }
  int UpPresses() const noexcept { return fUpPresses; }

private:
  std::thread fThread;
  DWORD fThreadId = 0;
  bool fHeld = false;
  std::atomic<int> fUpPresses{0};
};

TEST(TakenHotkeysTest, CardNamesTheTakenOnesTheMenuMarksThemAndTheOthersWork) {
  THeldHotkeys held;
  ASSERT_TRUE(held.Held()) << "another program holds the combinations already";
  Copy(L"before start");
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  const std::wstring report = L"2 hotkeys are taken by another program: Alt+Win+Num5, "
                              L"Alt+Win+Up. Choose other keys in Settings.";
  EXPECT_TRUE(app.AnnouncementEndsWith(report, 12000ms));

  EXPECT_EQ(L"Page 5 [Alt+Win+Num5: taken]", app.ItemCaption(PageCommand(5)));
  EXPECT_EQ(L"Previous history element [Alt+Win+Up: taken]", app.ItemCaption(tcPreviousHistory));
  EXPECT_EQ(L"Page 3 [Alt+Win+Num3]", app.ItemCaption(PageCommand(3)));
  EXPECT_EQ(L"Next history element [Alt+Win+Down]", app.ItemCaption(tcNextHistory));
  EXPECT_EQ(L"Private mode [Alt+Win+E]", app.ItemCaption(tcPrivateMode));

  EXPECT_EQ(L"Page 3", app.Press(VK_NUMPAD3));
  EXPECT_EQ(L"Page 5", app.Press(VK_F8)) << "page 5's F-key is Pagekeep's";
  EXPECT_EQ(L"Page 5", app.Command(PageCommand(5))) << "the menu item of a taken key works";
  EXPECT_EQ(L"", app.PressExpectingNothing(VK_UP)) << "the holder keeps its combination";
  EXPECT_TRUE(WaitUntil([&] { return held.UpPresses() > 0; }, 1000ms));
}

TEST(TakenHotkeysTest, NothingTakenNoCardAndPlainCaptions) {
  Copy(L"before start");
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  EXPECT_FALSE(
      WaitUntil([&] { return app.Announcement().find(L"taken") != std::wstring::npos; }, 800ms));
  EXPECT_EQ(L"Page 5 [Alt+Win+Num5]", app.ItemCaption(PageCommand(5)));
}

} // namespace
