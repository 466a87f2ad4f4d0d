#include "PagekeepDriver.h"

#include <gtest/gtest.h>

namespace {

using namespace PagekeepDriver;

// Two of Pagekeep's combinations, held by this process (another program to
// Pagekeep) for as long as the object lives.
class THeldHotkeys {
public:
  THeldHotkeys() {
    fNum5 = ::RegisterHotKey(nullptr, 1, MOD_ALT | MOD_WIN, VK_NUMPAD5) != FALSE;
    fUp = ::RegisterHotKey(nullptr, 2, MOD_ALT | MOD_WIN, VK_UP) != FALSE;
  }
  ~THeldHotkeys() {
    ::UnregisterHotKey(nullptr, 1);
    ::UnregisterHotKey(nullptr, 2);
  }
  bool Held() const noexcept { return fNum5 && fUp; }

private:
  bool fNum5 = false;
  bool fUp = false;
};

// The caption of a tray-menu item, as the tray window reports it.
std::wstring Caption(HWND aTray, unsigned aCommandID) {
  DWORD_PTR found = 0;
  ::SendMessageTimeoutW(aTray, ::RegisterWindowMessageW(L"Pagekeep.TrayItemCaption"), aCommandID, 0,
                        SMTO_NORMAL, 10000, &found);
  if (!found)
    return L"<no item>";
  wchar_t text[256]{};
  ::GetWindowTextW(::FindWindowExW(aTray, nullptr, L"Static", nullptr), text, 256);
  return text;
}

bool HotkeyArrivedHere(WPARAM aID) {
  return WaitUntil(
      [&] {
        MSG message;
        return ::PeekMessageW(&message, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE) &&
               message.wParam == aID;
      },
      1000ms);
}

TEST(TakenHotkeysTest, CardNamesTheTakenOnesTheMenuMarksThemAndTheOthersWork) {
  THeldHotkeys held;
  ASSERT_TRUE(held.Held()) << "another program holds the combinations already";
  Copy(L"before start");
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  const std::wstring report = L"2 hotkeys are taken by another program: Alt+Win+Num5, "
                              L"Alt+Win+Up. Use the tray menu for them.";
  EXPECT_TRUE(WaitUntil([&] { return app.Announcement().ends_with(report); }, 12000ms))
      << "last announcement: " << std::string(app.Announcement().begin(), app.Announcement().end());

  EXPECT_EQ(L"Page 5 [Alt+Win+Num5: taken]", Caption(app.Tray(), PageCommand(5)));
  EXPECT_EQ(L"Previous history element [Alt+Win+Up: taken]",
            Caption(app.Tray(), tcPreviousHistory));
  EXPECT_EQ(L"Page 3 [Alt+Win+Num3]", Caption(app.Tray(), PageCommand(3)));
  EXPECT_EQ(L"Next history element [Alt+Win+Down]", Caption(app.Tray(), tcNextHistory));
  EXPECT_EQ(L"Private mode [Alt+Win+E]", Caption(app.Tray(), tcPrivateMode));

  EXPECT_EQ(L"Page 3", app.Press(VK_NUMPAD3));
  EXPECT_EQ(L"Page 5", app.Press(VK_F8)) << "page 5's F-key is Pagekeep's";
  EXPECT_EQ(L"Page 5", app.Command(PageCommand(5))) << "the menu item of a taken key works";
  EXPECT_EQ(L"", app.Press(VK_UP)) << "the holder keeps its combination";
  EXPECT_TRUE(HotkeyArrivedHere(2));
}

TEST(TakenHotkeysTest, NothingTakenNoCardAndPlainCaptions) {
  Copy(L"before start");
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  EXPECT_FALSE(
      WaitUntil([&] { return app.Announcement().find(L"taken") != std::wstring::npos; }, 800ms));
  EXPECT_EQ(L"Page 5 [Alt+Win+Num5]", Caption(app.Tray(), PageCommand(5)));
}

} // namespace
