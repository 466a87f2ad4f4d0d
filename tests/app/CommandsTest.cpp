#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace AppTest;

class CommandsTest : public TStartedForm {
protected:
  void SetUp() override {
    TStartedForm::SetUp();
    // Pages 0 to 9 hold "page n".
    for (int page = 0; page < 10; ++page) {
      Press(NumpadIndex(page));
      Copy(L"page " + std::to_wstring(page));
    }
    Press(NumpadIndex(0));
  }
  std::wstring Clipboard() { return Harness::ClipboardText().value_or(L"<none>"); }
};

TEST_F(CommandsTest, KeypadAndFKeyOfOnePageSelectIt) {
  Press(NumpadIndex(3));
  EXPECT_EQ(3, fForm->Model().ActivePage());
  EXPECT_EQ(L"page 3", Clipboard());
  Press(FKeyIndex(0));
  Press(FKeyIndex(3));
  EXPECT_EQ(L"page 3", Clipboard());
  EXPECT_TRUE(Checked(PageCommand(3)));
  EXPECT_FALSE(Checked(PageCommand(0)));
}

struct TStepCase {
  const char *Name;
  int From;
  bool ByTray;
  bool Forward;
  int Expected;
};

class PageStepTest : public CommandsTest, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(PageStepTest, NextAndPreviousWrapAroundByEitherRoad) {
  const TStepCase &row = GetParam();
  Press(NumpadIndex(row.From));
  if (row.ByTray)
    Click(row.Forward ? tcNextPage : tcPreviousPage);
  else
    Press(row.Forward ? hkRight : hkLeft);
  EXPECT_EQ(row.Expected, fForm->Model().ActivePage());
  EXPECT_EQ(L"page " + std::to_wstring(row.Expected), Clipboard());
  EXPECT_TRUE(Checked(PageCommand(row.Expected))) << "the page mark follows the active page";
  EXPECT_EQ(L"Page " + std::to_wstring(row.Expected),
            fForm->LastAnnouncement().substr(fForm->LastAnnouncement().find(L' ') + 1));
}

INSTANTIATE_TEST_SUITE_P(Steps, PageStepTest,
                         ::testing::Values(TStepCase{"HotkeyRightFrom9", 9, false, true, 0},
                                           TStepCase{"HotkeyLeftFrom0", 0, false, false, 9},
                                           TStepCase{"HotkeyRightFrom4", 4, false, true, 5},
                                           TStepCase{"TrayNextFrom9", 9, true, true, 0},
                                           TStepCase{"TrayPreviousFrom0", 0, true, false, 9},
                                           TStepCase{"TrayPreviousFrom5", 5, true, false, 4}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST_F(CommandsTest, TrayPageItemsSelectTheirPage) {
  Click(PageCommand(7));
  EXPECT_EQ(7, fForm->Model().ActivePage());
  EXPECT_EQ(L"page 7", Clipboard());
  EXPECT_TRUE(Checked(PageCommand(7)));
}

TEST_F(CommandsTest, UpAndDownStepThroughTheHistoryAndInfoAnnouncesTheShownEntry) {
  Copy(L"newer on page 0"); // "page 0" goes to the history
  const std::size_t count = fForm->Model().History().size();
  ASSERT_GE(count, 1u);
  Press(hkUp);
  EXPECT_EQ(-1, fForm->Model().ActiveHistoryPage());
  EXPECT_EQ(L"page 0", Clipboard());
  const std::wstring announced = fForm->LastAnnouncement();
  Press(hkInfo);
  EXPECT_NE(announced, fForm->LastAnnouncement()) << "info announces again";
  EXPECT_NE(std::wstring::npos, fForm->LastAnnouncement().find(L"History -1"));
  EXPECT_EQ(L"page 0", Clipboard()) << "info leaves the clipboard alone";
  Click(tcNextHistory);
  EXPECT_EQ(0, fForm->Model().ActiveHistoryPage());
  EXPECT_EQ(L"newer on page 0", Clipboard());

  const std::wstring before = fForm->LastAnnouncement();
  Press(hkDown); // already showing the page: nothing
  Click(tcInfo);
  EXPECT_NE(std::wstring::npos, fForm->LastAnnouncement().find(L"Page 0"));
  EXPECT_NE(before, fForm->LastAnnouncement());
}

struct TModeRoad {
  const char *Name;
  bool FirstByTray;
  bool SecondByTray;
};

class PrivateModeTest : public CommandsTest, public ::testing::WithParamInterface<TModeRoad> {
protected:
  void Toggle(bool aByTray) {
    if (aByTray)
      Click(tcPrivateMode);
    else
      Press(hkPrivateMode);
  }
};

bool HoldsText(const TClipboardState &aState, const std::wstring &aText) {
  for (const TClipboardFormatState &format : aState())
    if (format.Format() == CF_UNICODETEXT) {
      const auto &data = format.Data();
      const std::wstring text(reinterpret_cast<const wchar_t *>(data.data()),
                              data.size() / sizeof(wchar_t));
      if (text.find(aText) != std::wstring::npos)
        return true;
    }
  return false;
}

TEST_P(PrivateModeTest, MarkAndModeAgreeWhicheverRoadIsTaken) {
  const TPageModel &model = fForm->Model();
  Toggle(GetParam().FirstByTray);
  EXPECT_FALSE(model.ListenerEnabled());
  EXPECT_TRUE(Checked(tcPrivateMode));
  EXPECT_NE(std::wstring::npos, fForm->LastAnnouncement().find(L"Private mode"));

  const TClipboardStateContainer *pageBefore = model.Page(0).Get();
  const std::size_t historyBefore = model.History().size();
  Copy(L"secret");
  EXPECT_EQ(pageBefore, model.Page(0).Get()) << "a copy in private mode was recorded";
  EXPECT_EQ(historyBefore, model.History().size());

  Toggle(GetParam().SecondByTray);
  EXPECT_TRUE(model.ListenerEnabled());
  EXPECT_FALSE(Checked(tcPrivateMode));
  EXPECT_NE(std::wstring::npos, fForm->LastAnnouncement().find(L"Normal mode"));
  for (const TClipboardState &entry : model.History())
    EXPECT_FALSE(HoldsText(entry, L"secret"));
  EXPECT_FALSE(HoldsText(model.Page(0), L"secret"));
}

INSTANTIATE_TEST_SUITE_P(Roads, PrivateModeTest,
                         ::testing::Values(TModeRoad{"HotkeyThenHotkey", false, false},
                                           TModeRoad{"HotkeyThenTray", false, true},
                                           TModeRoad{"TrayThenHotkey", true, false},
                                           TModeRoad{"TrayThenTray", true, true}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// Another thread keeps the clipboard open, so the switches wait; once it
// lets go they run in order, and the commands after them work.
TEST_F(CommandsTest, AFailingCommandLeavesLaterCommandsWorking) {
  {
    // The switches wait only if the holder surely holds the clipboard.
    Harness::TClipboardHolder holder;
    Press(NumpadIndex(4));
    Click(PageCommand(5));
  }
  Settle();
  EXPECT_EQ(5, fForm->Model().ActivePage()) << "the switches waited and ran in order";

  Press(NumpadIndex(6));
  EXPECT_EQ(6, fForm->Model().ActivePage());
  Click(PageCommand(2));
  EXPECT_EQ(2, fForm->Model().ActivePage());
  EXPECT_TRUE(Checked(PageCommand(2)));
}

// Runs inside the format box's modal loop: presses a page hotkey, reads the
// box's text and closes it.
struct TBoxVisit {
  TMainForm *Form = nullptr;
  bool Switched = false;
  bool Closed = false;
  std::wstring Listed;
};
TBoxVisit gBoxVisit;

void CALLBACK VisitFormatBox(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = ::FindWindowW(nullptr, L"Clipboard formats");
  if (!box || gBoxVisit.Closed)
    return;
  ::SendMessageW(WndProcFilter().Handle(), WM_HOTKEY,
                 gBoxVisit.Form->Hotkeys()[NumpadIndex(8)]->ID(), 0);
  gBoxVisit.Switched = gBoxVisit.Form->Model().ActivePage() == 8;
  for (HWND text = ::FindWindowExW(box, nullptr, L"Static", nullptr); text;
       text = ::FindWindowExW(box, text, L"Static", nullptr)) {
    wchar_t buffer[512]{};
    ::GetWindowTextW(text, buffer, 512);
    if (*buffer)
      gBoxVisit.Listed = buffer;
  }
  gBoxVisit.Closed = true;
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(CommandsTest, TheFormatListBoxIsModalButOtherHotkeysKeepWorking) {
  gBoxVisit = TBoxVisit{};
  gBoxVisit.Form = fForm.get();
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 300, &VisitFormatBox);
  Press(hkFormats); // returns when the box has closed
  ::KillTimer(nullptr, timer);
  EXPECT_TRUE(gBoxVisit.Closed) << "the box did not open";
  EXPECT_TRUE(gBoxVisit.Switched) << "the page hotkey did not run while the box was open";
  EXPECT_NE(std::wstring::npos, gBoxVisit.Listed.find(L"13 (CF_UNICODETEXT)"))
      << "listed: " << std::string(gBoxVisit.Listed.begin(), gBoxVisit.Listed.end());
}

} // namespace
