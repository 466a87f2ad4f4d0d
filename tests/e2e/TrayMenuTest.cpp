#include "PagekeepDriver.h"

#include <gtest/gtest.h>

#include <optional>

#include <shellapi.h>

namespace {

using namespace PagekeepDriver;

class TrayMenuTest : public TStartedPagekeepTest {};

TEST_F(TrayMenuTest, MarksAtStartShowPageZeroAndNormalMode) {
  EXPECT_TRUE(fApp().Checked(PageCommand(0)));
  for (int page = 1; page < 10; ++page)
    EXPECT_FALSE(fApp().Checked(PageCommand(page))) << "page " << page;
  EXPECT_FALSE(fApp().Checked(tcPrivateMode));
  EXPECT_FALSE(fApp().HasItem(PageCommand(9) + 1)) << "the page items are the last";
}

TEST_F(TrayMenuTest, MenuCommandsGiveTheHotkeysResultsAndThePageMarkFollows) {
  Copy(L"zero");
  EXPECT_EQ(L"Page 9", fApp().Command(tcPreviousPage));
  EXPECT_TRUE(fApp().Checked(PageCommand(9)));
  Copy(L"nine");
  EXPECT_EQ(L"Page 0", fApp().Command(tcNextPage));
  EXPECT_EQ(L"zero", ClipboardOrNone());
  EXPECT_TRUE(fApp().Checked(PageCommand(0)));
  EXPECT_EQ(L"Page 7", fApp().Command(PageCommand(7)));
  EXPECT_TRUE(fApp().Checked(PageCommand(7)));
  EXPECT_FALSE(fApp().Checked(PageCommand(0)));
  EXPECT_EQ(L"Page 9", fApp().Press(VK_NUMPAD9));
  EXPECT_TRUE(fApp().Checked(PageCommand(9))) << "the hotkey moves the mark too";
  EXPECT_EQ(L"nine", ClipboardOrNone());

  EXPECT_EQ(L"Page 0", fApp().Command(PageCommand(0)));
  EXPECT_EQ(L"History -1", fApp().Command(tcPreviousHistory));
  EXPECT_EQ(L"before start", ClipboardOrNone());
  EXPECT_EQ(L"History -1", fApp().Command(tcInfo));
  EXPECT_EQ(L"Page 0", fApp().Command(tcNextHistory));
  EXPECT_EQ(L"zero", ClipboardOrNone());
}

// The shell reports a left click on the icon; which form it takes depends
// on the version the shell accepted, so both are sent and one counts.
TEST_F(TrayMenuTest, LeftClickOnTheIconAnnouncesWhatTheClipboardShows) {
  Copy(L"newer");
  EXPECT_EQ(L"History -1", fApp().Press(VK_UP));
  const unsigned before = fApp().AnnouncementNumber();
  ::PostMessageW(fApp().Tray(), WM_APP + 1, 0, WM_LBUTTONUP);
  ::PostMessageW(fApp().Tray(), WM_APP + 1, 0, MAKELPARAM(NIN_SELECT, 1));
  EXPECT_EQ(L"History -1", fApp().WaitForAnnouncement(before));
  WaitUntil([] { return false; }, 300ms);
  EXPECT_EQ(before + 1, fApp().AnnouncementNumber()) << "one click, one announcement";
  EXPECT_EQ(L"before start", ClipboardOrNone());
}

struct TRoad {
  const char *Name;
  bool FirstByMenu;
  bool SecondByMenu;
};

class PrivateModeRoadTest : public TrayMenuTest, public ::testing::WithParamInterface<TRoad> {
protected:
  std::wstring Toggle(bool aByMenu) {
    return aByMenu ? fApp().Command(tcPrivateMode) : fApp().Press('E');
  }
};

TEST_P(PrivateModeRoadTest, MarkAndModeStayInAgreement) {
  EXPECT_EQ(L"Private mode", Toggle(GetParam().FirstByMenu));
  EXPECT_TRUE(fApp().Checked(tcPrivateMode));
  EXPECT_EQ(L"Normal mode", Toggle(GetParam().SecondByMenu));
  EXPECT_FALSE(fApp().Checked(tcPrivateMode));
  EXPECT_EQ(L"Private mode", Toggle(!GetParam().SecondByMenu));
  EXPECT_TRUE(fApp().Checked(tcPrivateMode));
}

INSTANTIATE_TEST_SUITE_P(Roads, PrivateModeRoadTest,
                         ::testing::Values(TRoad{"HotkeyThenMenu", false, true},
                                           TRoad{"MenuThenHotkey", true, false},
                                           TRoad{"MenuThenMenu", true, true}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

} // namespace
