#include "app/TakenHotkeys.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

struct TNameCase {
  const char *Name;
  std::uint32_t Key;
  std::uint32_t Modifiers;
  const wchar_t *Expected;
};

class HotkeyNames : public ::testing::TestWithParam<TNameCase> {};

TEST_P(HotkeyNames, NameTheCombinationAsTheMenuDoes) {
  EXPECT_EQ(GetParam().Expected, HotkeyName(GetParam().Key, GetParam().Modifiers));
}

constexpr std::uint32_t AltWin = MOD_ALT | MOD_WIN;

INSTANTIATE_TEST_SUITE_P(
    Cases, HotkeyNames,
    ::testing::Values(TNameCase{"Keypad0", VK_NUMPAD0, AltWin, L"Alt+Win+Num0"},
                      TNameCase{"Keypad9", VK_NUMPAD9, AltWin, L"Alt+Win+Num9"},
                      TNameCase{"F3", VK_F3, AltWin, L"Alt+Win+F3"},
                      TNameCase{"F12", VK_F12, AltWin, L"Alt+Win+F12"},
                      TNameCase{"Up", VK_UP, AltWin, L"Alt+Win+Up"},
                      TNameCase{"Left", VK_LEFT, AltWin, L"Alt+Win+Left"},
                      TNameCase{"E", 'E', AltWin, L"Alt+Win+E"},
                      TNameCase{"AltD", 'D', MOD_ALT, L"Alt+D"},
                      TNameCase{"AllModifiers", 'X', MOD_CONTROL | MOD_ALT | MOD_SHIFT | MOD_WIN,
                                L"Ctrl+Alt+Shift+Win+X"}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(TakenHotkeysMessage, CountsAndListsInOrderWithTheRightNumber) {
  EXPECT_EQ(L"", TakenHotkeysMessage({}));
  EXPECT_EQ(L"1 hotkey is taken by another program: Alt+Win+E. Choose another key in Settings.",
            TakenHotkeysMessage({L"Alt+Win+E"}));
  EXPECT_EQ(L"2 hotkeys are taken by another program: Alt+Win+Up, Alt+Win+Down. Choose other "
            L"keys in Settings.",
            TakenHotkeysMessage({L"Alt+Win+Up", L"Alt+Win+Down"}));
}

TEST(TakenHotkeysCaption, MarksOnlyTheItemNamingThatCombination) {
  EXPECT_EQ(L"Page 3 [Alt+Win+Num3: taken]",
            MarkTakenInCaption(L"Page 3 [Alt+Win+Num3]", L"Alt+Win+Num3"));
  EXPECT_EQ(L"Page 3 [Alt+Win+Num3]", MarkTakenInCaption(L"Page 3 [Alt+Win+Num3]", L"Alt+Win+F6"));
  EXPECT_EQ(L"Page 1 [Alt+Win+Num1]", MarkTakenInCaption(L"Page 1 [Alt+Win+Num1]", L"Win+Num1"))
      << "a name that is only the end of another";
  EXPECT_EQ(L"Close", MarkTakenInCaption(L"Close", L"Alt+D"));
}

} // namespace
