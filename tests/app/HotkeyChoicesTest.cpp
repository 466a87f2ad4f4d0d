// Hotkeys the user chooses: their names, the registry values, and changes
// put in force while the program runs.
#include "AppTestSupport.h"

#include "app/HotkeySettings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace AppTest;

constexpr std::uint32_t AltWin = MOD_ALT | MOD_WIN;

struct TParseCase {
  const char *Name;
  const wchar_t *Text;
  std::optional<THotkeyCombination> Expected;
};

class HotkeyNameParsing : public ::testing::TestWithParam<TParseCase> {};

TEST_P(HotkeyNameParsing, ReadsWhatTheMenuWritesAndRefusesTheRest) {
  EXPECT_EQ(GetParam().Expected, ParseHotkeyName(GetParam().Text));
  if (GetParam().Expected) {
    EXPECT_EQ(GetParam().Expected, ParseHotkeyName(HotkeyName(*GetParam().Expected)))
        << "the written name reads back";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HotkeyNameParsing,
    ::testing::Values(
        TParseCase{"FKey", L"Alt+Win+F3", THotkeyCombination{VK_F3, AltWin}},
        TParseCase{"CaseAndSpaces", L" alt + WIN +num7 ", THotkeyCombination{VK_NUMPAD7, AltWin}},
        TParseCase{"AnyOrder", L"Win+Shift+Ctrl+PageDown",
                   THotkeyCombination{VK_NEXT, MOD_WIN | MOD_SHIFT | MOD_CONTROL}},
        TParseCase{"ControlSpelledOut", L"Control+Key186", THotkeyCombination{186, MOD_CONTROL}},
        TParseCase{"Letter", L"Alt+D", THotkeyCombination{'D', MOD_ALT}},
        TParseCase{"Digit", L"Ctrl+Alt+0", THotkeyCombination{'0', MOD_CONTROL | MOD_ALT}},
        TParseCase{"Empty", L"", std::nullopt}, TParseCase{"KeyAlone", L"F3", std::nullopt},
        TParseCase{"NoKey", L"Alt+Win+", std::nullopt},
        TParseCase{"ModifierTwice", L"Alt+Alt+F3", std::nullopt},
        TParseCase{"UnknownKey", L"Alt+Win+Banana", std::nullopt},
        TParseCase{"UnknownModifier", L"Hyper+F3", std::nullopt},
        TParseCase{"ModifierAsKey", L"Alt+Key16", std::nullopt},
        TParseCase{"F25", L"Alt+F25", std::nullopt},
        TParseCase{"Num10", L"Alt+Num10", std::nullopt},
        TParseCase{"KeyOutOfRange", L"Alt+Key255", std::nullopt}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

std::size_t RowOf(TCommandAction aAction) {
  const auto &table = CommandTable();
  return static_cast<std::size_t>(
      std::find_if(table.begin(), table.end(),
                   [&](const TCommandRow &aRow) { return aRow.Action == aAction; }) -
      table.begin());
}

std::optional<std::wstring> SavedChoice(const std::wstring &aCommand) {
  const TRegistryKey key = Registry::OpenCurrentUserKey(TestAppKey + L"\\Hotkeys", false);
  return key ? Registry::ReadString(key.Get(), aCommand) : std::nullopt;
}

// True when this process can take the combination now (and gives it back).
bool Free(THotkeyCombination aHotkey) {
  if (!::RegisterHotKey(nullptr, 0xBFF0, aHotkey.Modifiers | MOD_NOREPEAT, aHotkey.Key))
    return false;
  ::UnregisterHotKey(nullptr, 0xBFF0);
  return true;
}

class HotkeyChoices : public TStartedForm {
protected:
  std::wstring TopLevelCaption(const std::wstring &aStart) {
    TTrayMenuItem &menu = fForm->Tray()->Menu();
    for (std::size_t i = 0; i < menu.Count(); ++i)
      if (menu.Items(i).Caption().starts_with(aStart))
        return menu.Items(i).Caption();
    return L"<no item>";
  }
};

TEST_F(HotkeyChoices, AChangeIsInForceAtOnceSavedAndFreesTheOldCombination) {
  const std::size_t next = RowOf(TCommandAction::NextPage);
  const THotkeyCombination chosen{VK_F9, MOD_CONTROL | MOD_ALT};
  fForm->ChangeHotkey(next, chosen);
  EXPECT_EQ(chosen, fForm->HotkeyInForce(next));
  const TGlobalHotkey &hotkey = *fForm->Hotkeys().at(hkRight);
  EXPECT_EQ(VK_F9, hotkey.Key());
  EXPECT_TRUE(hotkey.Registered());
  EXPECT_FALSE(Free(chosen));
  EXPECT_TRUE(Free({VK_RIGHT, AltWin})) << "the old combination is released";
  EXPECT_EQ(L"Ctrl+Alt+F9", SavedChoice(L"NextPage"));
  EXPECT_EQ(L"Next page [Ctrl+Alt+F9]", TopLevelCaption(L"Next page"));
  Press(hkRight);
  EXPECT_EQ(1, fForm->Model().ActivePage()) << "the new hotkey runs the same command";

  fForm->ChangeHotkey(next, {});
  EXPECT_TRUE(Free(chosen));
  EXPECT_EQ(L"", SavedChoice(L"NextPage")) << "no hotkey is kept as an empty value";
  EXPECT_EQ(L"Next page", TopLevelCaption(L"Next page"));
  EXPECT_EQ(TMainForm::ShortcutCount - 1, static_cast<int>(fForm->Hotkeys().size()));

  fForm->RestoreDefaultHotkeys();
  EXPECT_EQ(std::nullopt, SavedChoice(L"NextPage"));
  EXPECT_EQ(L"Next page [Alt+Win+Right]", TopLevelCaption(L"Next page"));
  EXPECT_FALSE(Free({VK_RIGHT, AltWin}));
  EXPECT_EQ(TMainForm::ShortcutCount, static_cast<int>(fForm->Hotkeys().size()));
}

TEST_F(HotkeyChoices, ACombinationInUseIsRefusedAndTheOldOneStays) {
  const std::size_t next = RowOf(TCommandAction::NextPage);
  const THotkeyCombination held{VK_F10, MOD_CONTROL | MOD_ALT};
  ASSERT_TRUE(::RegisterHotKey(nullptr, 0xBFF1, held.Modifiers, held.Key));
  try {
    fForm->ChangeHotkey(next, held);
    ADD_FAILURE() << "a held combination was accepted";
  } catch (const EHotkeyRefused &e) {
    EXPECT_EQ(L"Ctrl+Alt+F10 is taken by another program. Alt+Win+Right stays in force.", e.Text());
  }
  ::UnregisterHotKey(nullptr, 0xBFF1);
  try {
    fForm->ChangeHotkey(next, {'E', AltWin});
    ADD_FAILURE() << "another command's combination was accepted";
  } catch (const EHotkeyRefused &e) {
    EXPECT_EQ(L"Alt+Win+E is already the hotkey of Private mode.", e.Text());
  }
  EXPECT_EQ((THotkeyCombination{VK_RIGHT, AltWin}), fForm->HotkeyInForce(next));
  EXPECT_TRUE(fForm->Hotkeys().at(hkRight)->Registered());
  EXPECT_EQ(std::nullopt, SavedChoice(L"NextPage"));
}

// The registry as the user (or a damaged profile) left it before a start.
TEST(HotkeyChoicesAtStart, ChosenKeysAreInForceAndUnreadableOnesKeepTheirDefaults) {
  TMainFormOptions options = TestFormOptions(L"ChosenAtStart");
  options.StartStartupThread = false;
  {
    const TRegistryKey key = Registry::OpenCurrentUserKey(TestAppKey + L"\\Hotkeys", true);
    Registry::WriteString(key.Get(), L"NextPage", L"Ctrl+Alt+F9");
    Registry::WriteString(key.Get(), L"PreviousHistory", L"");
    Registry::WriteString(key.Get(), L"PrivateMode", L"Alt+Win+Banana");
    Registry::WriteQword(key.Get(), L"PageInformation", 5);
  }
  const THotkeyChoices choices = ReadHotkeyChoices(TestAppKey);
  EXPECT_EQ((THotkeyCombination{VK_F9, MOD_CONTROL | MOD_ALT}), choices.Chosen.at(L"NextPage"));
  EXPECT_TRUE(choices.Chosen.at(L"PreviousHistory").Empty());
  ASSERT_EQ(2u, choices.Unreadable.size());
  EXPECT_EQ(L"PrivateMode", choices.Unreadable[0].Command);
  EXPECT_EQ(L"PageInformation", choices.Unreadable[1].Command);

  TMainForm form(::GetModuleHandleW(nullptr), options);
  form.CompleteStartup();
  PumpPending();
  EXPECT_EQ((THotkeyCombination{VK_F9, MOD_CONTROL | MOD_ALT}),
            form.HotkeyInForce(RowOf(TCommandAction::NextPage)));
  EXPECT_TRUE(form.HotkeyInForce(RowOf(TCommandAction::PreviousHistory)).Empty());
  EXPECT_EQ((THotkeyCombination{'E', AltWin}),
            form.HotkeyInForce(RowOf(TCommandAction::PrivateMode)));
  EXPECT_EQ(TMainForm::ShortcutCount - 1, static_cast<int>(form.Hotkeys().size()));
  ::RegDeleteTreeW(HKEY_CURRENT_USER, TestAppKey.c_str());
}

} // namespace
