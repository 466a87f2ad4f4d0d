// Hotkeys chosen in the settings window of the real program: in force at
// once, refused when taken, kept across a restart, back to the defaults on
// request; a damaged setting falls back to its default and is reported.
#include "PagekeepDriver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

using namespace PagekeepDriver;

// The settings window's control ids and the rows of the command table, as
// another program addresses them.
constexpr int FirstHotkeyId = 1000;
constexpr int FirstWinBoxId = 2000;
constexpr int MessageId = 100;
constexpr int RestoreDefaultsId = 101;
constexpr int ScreenReaderBoxId = 102;
constexpr int NextPageRow = 20;
constexpr int PreviousPageRow = 21;

const wchar_t *const HotkeysKey = L"Software\\Pagekeep\\Hotkeys";
const wchar_t *const AppKey = L"Software\\Pagekeep";

class ChosenHotkeysTest : public ::testing::Test {
protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, HotkeysKey); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, HotkeysKey); }

  static HWND OpenSettings(TPagekeep &aApp) {
    ::PostMessageW(aApp.Tray(), WM_COMMAND, tcSettings, 0);
    const HWND window = WaitForWindow(aApp.Id(), L"PagekeepSettings", L"Pagekeep settings");
    // Shown once its controls are made.
    EXPECT_TRUE(WaitUntil([&] { return window && ::IsWindowVisible(window); }, 10000ms));
    return window;
  }
  // Types a combination into a row as the user does: the field, the Win
  // box, and the change note the field sends its window.
  static std::wstring Choose(HWND aSettings, int aRow, WORD aKey, BYTE aFlags, bool aWin) {
    const HWND field = ::GetDlgItem(aSettings, FirstHotkeyId + aRow);
    ::SendMessageW(field, HKM_SETHOTKEY, MAKEWORD(aKey, aFlags), 0);
    ::SendDlgItemMessageW(aSettings, FirstWinBoxId + aRow, BM_SETCHECK,
                          aWin ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(aSettings, WM_COMMAND, MAKEWPARAM(FirstHotkeyId + aRow, EN_CHANGE),
                   reinterpret_cast<LPARAM>(field));
    return Message(aSettings);
  }
  static std::wstring Message(HWND aSettings) {
    wchar_t text[512]{};
    ::GetDlgItemTextW(aSettings, MessageId, text, 512);
    return text;
  }
  static void CloseApp(TPagekeep &aApp) {
    ::PostMessageW(aApp.Tray(), WM_COMMAND, tcClose, 0);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(aApp.Process().Handle(), 20000));
  }
};

TEST_F(ChosenHotkeysTest, AChosenKeyWorksAtOnceATakenOneIsRefusedAndTheChoiceSurvivesARestart) {
  Copy(L"before start");
  {
    TPagekeep app;
    ASSERT_TRUE(app.WaitReady());
    const HWND settings = OpenSettings(app);
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(L"Next page: Ctrl+Alt+F9 works now.",
              Choose(settings, NextPageRow, VK_F9, HOTKEYF_CONTROL | HOTKEYF_ALT, false));
    EXPECT_EQ(L"Page 1", app.PressCombination({VK_CONTROL, VK_MENU, VK_F9}));
    EXPECT_EQ(L"", app.PressExpectingNothing(VK_RIGHT)) << "the old combination is free";
    EXPECT_EQ(L"Next page [Ctrl+Alt+F9]", app.ItemCaption(tcNextPage));

    ASSERT_TRUE(::RegisterHotKey(nullptr, 0xBFF2, MOD_CONTROL | MOD_ALT, VK_F10));
    EXPECT_EQ(L"Ctrl+Alt+F10 is taken by another program. Alt+Win+Left stays in force.",
              Choose(settings, PreviousPageRow, VK_F10, HOTKEYF_CONTROL | HOTKEYF_ALT, false));
    ::UnregisterHotKey(nullptr, 0xBFF2);
    EXPECT_EQ(MAKEWORD(VK_LEFT, HOTKEYF_ALT | HOTKEYF_EXT),
              ::SendDlgItemMessageW(settings, FirstHotkeyId + PreviousPageRow, HKM_GETHOTKEY, 0, 0))
        << "the field shows the combination in force again";
    EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(settings, FirstWinBoxId + PreviousPageRow));
    EXPECT_EQ(L"Page 0", app.Press(VK_LEFT));
    CloseApp(app);
  }
  TPagekeep again;
  ASSERT_TRUE(again.WaitReady());
  EXPECT_EQ(L"Next page [Ctrl+Alt+F9]", again.ItemCaption(tcNextPage));
  EXPECT_EQ(L"Page 1", again.PressCombination({VK_CONTROL, VK_MENU, VK_F9}));

  const HWND settings = OpenSettings(again);
  ASSERT_NE(nullptr, settings);
  ::SendDlgItemMessageW(settings, RestoreDefaultsId, BM_CLICK, 0, 0);
  EXPECT_EQ(L"Every command has its default hotkey again.", Message(settings));
  EXPECT_EQ(L"Next page [Alt+Win+Right]", again.ItemCaption(tcNextPage));
  EXPECT_EQ(L"Page 2", again.Press(VK_RIGHT));
  CloseApp(again);
}

TEST_F(ChosenHotkeysTest, ADamagedSettingKeepsItsDefaultAndIsReported) {
  {
    TRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, HotkeysKey, 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, key.Put(), nullptr));
    const std::wstring damaged = L"Alt+Win+Banana";
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExW(key.Get(), L"PrivateMode", 0, REG_SZ,
                               reinterpret_cast<const BYTE *>(damaged.c_str()),
                               static_cast<DWORD>((damaged.size() + 1) * sizeof(wchar_t))));
  }
  Copy(L"before start");
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  const std::wstring report = L"These hotkey settings could not be read, so their default keys "
                              L"are in force: PrivateMode (\"Alt+Win+Banana\").";
  EXPECT_TRUE(app.AnnouncementEndsWith(report, 12000ms));
  EXPECT_EQ(L"Private mode", app.Press('E'));
  EXPECT_EQ(L"Normal mode", app.Press('E'));
  CloseApp(app);
}

// The settings window's other choice: whether screen readers hear the
// cards. On at first, kept when turned off, and shown so after a restart.
TEST_F(ChosenHotkeysTest, TheScreenReaderBoxIsKeptAcrossARestart) {
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, AppKey, L"ScreenReaderNotices");
  Copy(L"before start");
  {
    TPagekeep app;
    ASSERT_TRUE(app.WaitReady());
    const HWND settings = OpenSettings(app);
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(BST_CHECKED, ::IsDlgButtonChecked(settings, ScreenReaderBoxId));
    ::SendDlgItemMessageW(settings, ScreenReaderBoxId, BM_CLICK, 0, 0);
    EXPECT_EQ(L"Screen readers no longer hear the cards.", Message(settings));
    CloseApp(app);
  }
  DWORD value = 1;
  DWORD size = sizeof value;
  EXPECT_EQ(ERROR_SUCCESS, ::RegGetValueW(HKEY_CURRENT_USER, AppKey, L"ScreenReaderNotices",
                                          RRF_RT_REG_DWORD, nullptr, &value, &size));
  EXPECT_EQ(0u, value);
  TPagekeep again;
  ASSERT_TRUE(again.WaitReady());
  const HWND settings = OpenSettings(again);
  ASSERT_NE(nullptr, settings);
  EXPECT_EQ(BST_UNCHECKED, ::IsDlgButtonChecked(settings, ScreenReaderBoxId));
  CloseApp(again);
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, AppKey, L"ScreenReaderNotices");
}

} // namespace
