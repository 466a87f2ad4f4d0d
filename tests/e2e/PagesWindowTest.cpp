// The pages window of the real program, opened and used from another
// process: its rows, the keys, the paste into the window that was in front.
#include "PagekeepDriver.h"
#include "harness/SampleContent.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

using namespace PagekeepDriver;

// The window's ids as another program addresses them.
constexpr int StatusId = 12;
constexpr int RowRecordId = 13;

// A window of this process with an edit field: the program the user was
// in. It keeps the focus on its field.
class TTargetWindow {
public:
  TTargetWindow() {
    fWindow.Reset(::CreateWindowExW(0, L"Edit", L"",
                                    WS_OVERLAPPEDWINDOW | WS_VISIBLE | ES_MULTILINE, 100, 100, 400,
                                    200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
    ::SetForegroundWindow(fWindow.Get());
    ::SetFocus(fWindow.Get());
    WaitUntil([&] { return ::GetForegroundWindow() == fWindow.Get(); }, 2000ms);
  }
  HWND Handle() const noexcept { return fWindow.Get(); }
  std::wstring Text() const {
    wchar_t text[256]{};
    ::GetWindowTextW(fWindow.Get(), text, 256);
    return text;
  }

private:
  TWindowHandle fWindow;
};

TBytes TextBytes(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t));
}

class PagesWindowTest : public TStartedPagekeepTest {
protected:
  // Opens the window with Alt+Win+V and waits until it is in front, where
  // the keys go.
  HWND Open() {
    PressKeys({VK_LWIN, VK_MENU, 'V'});
    const HWND window = WaitForWindow(fApp().Id(), L"PagekeepPages", L"Pagekeep pages");
    EXPECT_TRUE(WaitUntil([&] { return window && ::GetForegroundWindow() == window; }, 5000ms));
    return window;
  }
  // "label|from|content|marks|selected" of the row at that place in the list,
  // less the source program (under Wine a copy's foreground program is
  // Wine's own desktop) and the row's picture.
  static std::wstring Row(HWND aWindow, int aPlace) {
    const std::wstring record = RowRecord(aWindow, aPlace);
    const std::size_t first = record.find(L'|');
    if (first == std::wstring::npos)
      return record;
    const std::wstring rest = record.substr(record.find(L'|', first + 1) + 1);
    return record.substr(0, first + 1) + rest.substr(0, rest.rfind(L'|'));
  }
  // "thumbnail", "icon" or empty.
  static std::wstring RowPicture(HWND aWindow, int aPlace) {
    const std::wstring record = RowRecord(aWindow, aPlace);
    return record.substr(record.rfind(L'|') + 1);
  }
  static std::wstring RowRecord(HWND aWindow, int aPlace) {
    DWORD_PTR found = 0;
    ::SendMessageTimeoutW(aWindow, ::RegisterWindowMessageW(L"Pagekeep.PagesRow"),
                          static_cast<WPARAM>(aPlace), 0, SMTO_NORMAL, 5000, &found);
    if (!found)
      return L"<no row>";
    wchar_t text[512]{};
    ::GetDlgItemTextW(aWindow, RowRecordId, text, 512);
    return text;
  }
  static bool Closed(HWND aWindow) {
    return WaitUntil([&] { return !::IsWindow(aWindow); }, 5000ms);
  }
};

TEST_F(PagesWindowTest, RowsShowEveryPageAndTheKeysSelectFilterAndPutWithoutPaste) {
  Copy(L"alpha");
  EXPECT_EQ(L"Page 1", fApp().Press(VK_F4));
  Copy(L"beta\r\nsecond line\r\nthird line\r\nfourth line");
  const HWND window = Open();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(L"Page 0|alpha||", Row(window, 0));
  EXPECT_EQ(L"Page 1|beta \u00B7 second line \u00B7 third line|active, on the clipboard|selected",
            Row(window, 1));
  EXPECT_EQ(L"Page 2|Empty||", Row(window, 2));
  EXPECT_EQ(L"History -1|before start||", Row(window, 10));
  EXPECT_EQ(L"<no row>", Row(window, 11));
  EXPECT_EQ(L"beta\r\nsecond line\r\nthird line\r\nfourth line", ClipboardOrNone())
      << "opening the window changes nothing on the clipboard";

  PressKeys({'0'});
  EXPECT_TRUE(WaitUntil([&] { return Row(window, 0).ends_with(L"|selected"); }, 2000ms));
  PressKeys({'S'});
  PressKeys({'T'});
  PressKeys({'A'});
  EXPECT_TRUE(WaitUntil([&] { return Row(window, 0).starts_with(L"History -1|"); }, 2000ms))
      << "only \"before start\" holds \"sta\"";
  EXPECT_EQ(L"<no row>", Row(window, 1));
  PressKeys({VK_BACK});
  PressKeys({VK_BACK});
  PressKeys({VK_BACK});
  EXPECT_TRUE(WaitUntil(
      [&] { return Row(window, 11) == L"<no row>" && Row(window, 10) != L"<no row>"; }, 2000ms));
  PressKeys({'0'});
  const unsigned before = fApp().AnnouncementNumber();
  PressKeys({VK_CONTROL, VK_RETURN});
  EXPECT_TRUE(Closed(window));
  EXPECT_EQ(L"Page 0", fApp().WaitForAnnouncement(before));
  EXPECT_TRUE(WaitUntil([&] { return ClipboardOrNone() == L"alpha"; }, 3000ms));
}

// A copy that comes while the window is open shows at once; the selection
// stays on the item the user chose, wherever it moved, or on the item on
// the clipboard.
TEST_F(PagesWindowTest, ACopyWhileOpenShowsAndTheSelectionFollowsItsItem) {
  Copy(L"older");
  const HWND window = Open();
  ASSERT_NE(nullptr, window);
  PressKeys({VK_END});
  EXPECT_TRUE(
      WaitUntil([&] { return Row(window, 10) == L"History -1|before start||selected"; }, 2000ms))
      << "End selects the oldest entry";
  Copy(L"newest");
  EXPECT_TRUE(WaitUntil(
      [&] { return Row(window, 0) == L"Page 0|newest|active, on the clipboard|"; }, 3000ms));
  EXPECT_EQ(L"History -2|before start||selected", Row(window, 11));
  PressKeys({VK_HOME});
  EXPECT_TRUE(WaitUntil([&] { return Row(window, 0).ends_with(L"|selected"); }, 2000ms));
  Copy(L"the very newest");
  EXPECT_TRUE(WaitUntil(
      [&] { return Row(window, 0) == L"Page 0|the very newest|active, on the clipboard|selected"; },
      3000ms))
      << "a selection on the item on the clipboard moves to the new copy";
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(Closed(window));
}

// A screenshot's row shows a thumbnail of it, made in the background while
// the page was idle; the text's row keeps the program's icon or none.
TEST_F(PagesWindowTest, APictureRowShowsItsThumbnail) {
  CopyFormats({{CF_DIB, Harness::DesktopPictureDib(1920, 1080, 7)}});
  // Alt+Win+I waits behind the copy.
  EXPECT_EQ(L"Page 0", fApp().Press('I'));
  const HWND window = Open();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(L"Page 0|Picture|active, on the clipboard|selected", Row(window, 0));
  EXPECT_EQ(L"thumbnail", RowPicture(window, 0));
  EXPECT_EQ(L"History -1|before start||", Row(window, 10));
  EXPECT_NE(L"thumbnail", RowPicture(window, 10));
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(Closed(window));
}

TEST_F(PagesWindowTest, EnterPastesIntoTheWindowInFrontOnceAltIsReleasedAndEscGivesItBack) {
  Copy(L"pasted text");
  TTargetWindow target;
  ASSERT_EQ(target.Handle(), ::GetForegroundWindow()) << "the test window cannot come to the front";

  HWND window = Open();
  ASSERT_NE(nullptr, window);
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(Closed(window));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == target.Handle(); }, 3000ms));

  Copy(L"second");
  window = Open();
  ASSERT_NE(nullptr, window);
  EXPECT_TRUE(
      WaitUntil([&] { return Row(window, 10).starts_with(L"History -1|pasted text"); }, 2000ms));
  // Alt held through Enter, as after Alt+Win+V: the paste waits for it.
  INPUT inputs[3]{};
  for (INPUT &input : inputs)
    input.type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = VK_MENU;
  inputs[1].ki.wVk = VK_RETURN;
  inputs[2].ki.wVk = VK_RETURN;
  inputs[2].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(3, inputs, sizeof(INPUT));
  EXPECT_TRUE(Closed(window));
  EXPECT_FALSE(WaitUntil([&] { return !target.Text().empty(); }, 400ms))
      << "nothing is pasted while Alt is down: \""
      << std::string(target.Text().begin(), target.Text().end()) << "\"";
  INPUT release{};
  release.type = INPUT_KEYBOARD;
  release.ki.wVk = VK_MENU;
  release.ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(1, &release, sizeof(INPUT));
  EXPECT_TRUE(WaitUntil([&] { return target.Text() == L"second"; }, 4000ms))
      << "the edit field holds \"" << std::string(target.Text().begin(), target.Text().end())
      << "\"";
}

TEST_F(PagesWindowTest, ShiftEnterPastesTheTextAloneAndThePageKeepsItsFormats) {
  const UINT html = RegisterFormat(L"HTML Format");
  CopyFormats({{CF_UNICODETEXT, TextBytes(L"rich")}, {html, {'<', 'b', '>', 0}}});
  TTargetWindow target;
  HWND window = Open();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ(L"", [&] {
    wchar_t text[64]{};
    ::GetDlgItemTextW(window, StatusId, text, 64);
    return std::wstring(text);
  }());
  PressKeys({VK_SHIFT, VK_RETURN});
  EXPECT_TRUE(Closed(window));
  EXPECT_TRUE(WaitUntil([&] { return !ClipboardFormatData(html).has_value(); }, 3000ms));
  EXPECT_EQ(L"rich", ClipboardOrNone());
  EXPECT_TRUE(WaitUntil([&] { return target.Text() == L"rich"; }, 4000ms));
  EXPECT_EQ(L"Page 0", fApp().Press(VK_F3));
  EXPECT_TRUE(WaitUntil([&] { return ClipboardFormatData(html).has_value(); }, 3000ms))
      << "the page keeps its own formats";

  EXPECT_EQ(L"Private mode", fApp().Press('E'));
  window = Open();
  ASSERT_NE(nullptr, window);
  wchar_t status[64]{};
  ::GetDlgItemTextW(window, StatusId, status, 64);
  EXPECT_EQ(std::wstring(L"Private mode"), status);
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(Closed(window));
  EXPECT_EQ(L"Normal mode", fApp().Press('E'));
}

// The user's app setting, as Windows keeps it.
void SetAppsUseLightTheme(std::optional<DWORD> aValue) {
  const wchar_t *key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  if (!aValue) {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme");
    return;
  }
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, key, L"AppsUseLightTheme",
                                             REG_DWORD, &*aValue, sizeof(DWORD)));
}

TEST_F(PagesWindowTest, TheListFollowsTheLightOrDarkAppSetting) {
  const HWND light = Open();
  ASSERT_NE(nullptr, light);
  EXPECT_EQ(::GetSysColor(COLOR_WINDOW),
            static_cast<COLORREF>(::SendDlgItemMessageW(light, 10, LVM_GETBKCOLOR, 0, 0)));
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(Closed(light));

  SetAppsUseLightTheme(0);
  const HWND dark = Open();
  ASSERT_NE(nullptr, dark);
  EXPECT_EQ(RGB(0x20, 0x20, 0x20),
            static_cast<COLORREF>(::SendDlgItemMessageW(dark, 10, LVM_GETBKCOLOR, 0, 0)));
  EXPECT_EQ(RGB(0xF0, 0xF0, 0xF0),
            static_cast<COLORREF>(::SendDlgItemMessageW(dark, 10, LVM_GETTEXTCOLOR, 0, 0)));
  SetAppsUseLightTheme(std::nullopt);
  PressKeys({VK_ESCAPE});
  EXPECT_TRUE(Closed(dark));
}

TEST_F(PagesWindowTest, TheTrayItemOpensIt) {
  ::PostMessageW(fApp().Tray(), WM_COMMAND, tcShowPages, 0);
  const HWND window = WaitForWindow(fApp().Id(), L"PagekeepPages", L"Pagekeep pages");
  ASSERT_NE(nullptr, window);
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window); }, 5000ms));
  EXPECT_EQ(L"Page 0|before start|active, on the clipboard|selected", Row(window, 0));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Closed(window));
}

// What the shell posts to the icon's window on a double-click (its callback
// message, WM_APP + 1, with the mouse event in the low word).
TEST_F(PagesWindowTest, ADoubleClickOnTheTrayIconOpensIt) {
  ::PostMessageW(fApp().Tray(), WM_APP + 1, 0, WM_LBUTTONDBLCLK);
  const HWND window = WaitForWindow(fApp().Id(), L"PagekeepPages", L"Pagekeep pages");
  ASSERT_NE(nullptr, window);
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window); }, 5000ms));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(Closed(window));
}

} // namespace
