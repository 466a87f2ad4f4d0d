// The command table: what every consumer of it relies on.
#include "AppTestSupport.h"

#include "app/Commands.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace {

using namespace AppTest;

TEST(CommandTable, NamesAndDefaultHotkeysAreUniqueAndEveryMenuItemHasACaption) {
  std::set<std::wstring> names;
  std::set<std::pair<std::uint32_t, std::uint32_t>> hotkeys;
  for (const TCommandRow &row : CommandTable()) {
    EXPECT_TRUE(names.insert(row.Name).second)
        << "two rows named " << testing::PrintToString(row.Name);
    if (!row.DefaultHotkey.Empty()) {
      EXPECT_TRUE(hotkeys.insert({row.DefaultHotkey.Key, row.DefaultHotkey.Modifiers}).second)
          << "two rows share the default of " << testing::PrintToString(row.Name);
    }
    EXPECT_EQ(row.Place == TMenuPlace::None, row.Caption.empty())
        << testing::PrintToString(row.Name);
  }
}

TEST(CommandTable, MenuCaptionsNameTheKeysInForce) {
  const TCommandRow &next =
      *std::find_if(CommandTable().begin(), CommandTable().end(), [](const TCommandRow &aRow) {
        return aRow.Action == TCommandAction::NextPage;
      });
  EXPECT_EQ(L"Next page [Alt+Win+Right]", MenuCaption(next, next.DefaultHotkey));
  EXPECT_EQ(L"Next page [Ctrl+Shift+F9]", MenuCaption(next, {VK_F9, MOD_CONTROL | MOD_SHIFT}));
  EXPECT_EQ(L"Next page", MenuCaption(next, {}));
}

// The mode lives in the model: switching it before the tray exists works,
// and the tray made afterwards shows it.
TEST(CommandTable, PrivateModeSwitchesBeforeTheTrayExistsAndTheTrayShowsIt) {
  TMainFormOptions options = TestFormOptions(L"EarlyPrivate");
  options.StartStartupThread = false;
  TMainForm form(::GetModuleHandleW(nullptr), options);
  ASSERT_EQ(nullptr, form.Tray());
  EXPECT_NO_THROW(form.Model().TogglePrivateMode());
  PumpPending();
  EXPECT_FALSE(form.Model().ListenerEnabled());
  form.CompleteStartup();
  PumpPending();
  EXPECT_TRUE(form.Tray()->Menu().Items(0).Checked());
  ::SendMessageW(WndProcFilter().Handle(), WM_HOTKEY, form.Hotkeys().at(hkPrivateMode)->ID(), 0);
  // Queued behind the start's reading of the clipboard.
  EXPECT_TRUE(Harness::WaitUntil(
      [&] {
        Harness::PumpUntilIdle();
        return form.Model().ListenerEnabled();
      },
      8000ms));
  EXPECT_FALSE(form.Tray()->Menu().Items(0).Checked());
}

} // namespace
