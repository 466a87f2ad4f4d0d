#include "PagekeepDriver.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace PagekeepDriver;

std::wstring BoxText(HWND aBox) {
  std::wstring text;
  for (HWND child = ::FindWindowExW(aBox, nullptr, L"Static", nullptr); child;
       child = ::FindWindowExW(aBox, child, L"Static", nullptr)) {
    wchar_t buffer[1024]{};
    ::GetWindowTextW(child, buffer, 1024);
    text += buffer;
  }
  return text;
}

// Alt+D lists the clipboard's formats in a modal box; while it is open the
// page hotkeys still work.
TEST(FormatList, AltDListsTheFormatsAndOtherHotkeysWorkWhileItIsOpen) {
  TPagekeep app;
  ASSERT_TRUE(app.WaitReady());
  const UINT binary = RegisterFormat(L"Pagekeep.Test.Listed");
  const std::wstring text = L"listed";
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(text.c_str());
  CopyFormats({{CF_UNICODETEXT, TBytes(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))},
               {binary, TBytes{1, 2, 3}}});

  PressKeys({VK_MENU, 'D'});
  const HWND box = WaitForWindow(app.Id(), L"", L"Clipboard formats");
  ASSERT_NE(nullptr, box) << "no format list appeared";
  const std::wstring listed = BoxText(box);
  EXPECT_NE(std::wstring::npos, listed.find(L"13 (CF_UNICODETEXT)\r\n"));
  EXPECT_NE(std::wstring::npos,
            listed.find(std::to_wstring(binary) + L" (Pagekeep.Test.Listed)\r\n"));

  EXPECT_EQ(L"Page 3", app.Press(VK_NUMPAD3)) << "the page hotkey waited for the box";
  EXPECT_TRUE(::IsWindow(box));
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
  EXPECT_EQ(L"Page 0", app.Press(VK_NUMPAD0));
  EXPECT_EQ(L"listed", ClipboardOrNone());
}

} // namespace
