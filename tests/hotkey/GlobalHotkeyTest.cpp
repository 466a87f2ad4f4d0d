#include "hotkey/GlobalHotkey.Core.h"
#include "hotkey/GlobalHotkey.UniqueID.h"

#include "AllocationFailure.h"
#include "HotkeyTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using HotkeyTest::PumpPending;
using HotkeyTest::PumpUntil;

struct TModifierCase {
  const char *Name;
  TShiftModifiers Set;
  std::uint32_t Expected;
};

class ModifierTranslationTest : public ::testing::TestWithParam<TModifierCase> {};

TEST_P(ModifierTranslationTest, SetIsTranslatedMemberByMember) {
  EXPECT_EQ(GetParam().Expected, SystemModifiers(GetParam().Set));
}

// Registered against the real window with an unusual key so the set's
// translation is what the system gets.
TEST_P(ModifierTranslationTest, HotkeyRegistersTheTranslatedFlags) {
  TGlobalHotkey hotkey(VK_F24, GetParam().Set, [](TGlobalHotkey &, std::uintptr_t) {});
  EXPECT_EQ(GetParam().Expected, hotkey.Modifiers());
}

using enum TShiftModifier;
INSTANTIATE_TEST_SUITE_P(
    Modifiers, ModifierTranslationTest,
    ::testing::Values(TModifierCase{"Empty", {}, 0}, TModifierCase{"Alt", {smAlt}, MOD_ALT},
                      TModifierCase{"ShiftIsFour", {smShift}, 4},
                      TModifierCase{"CtrlIsTwo", {smCtrl}, 2}, TModifierCase{"Win", {smWin}, 8},
                      TModifierCase{"AltWin", {smAlt, smWin}, 9},
                      TModifierCase{"CtrlShift", {smCtrl, smShift}, 6},
                      TModifierCase{"All", {smAlt, smShift, smCtrl, smWin}, 15}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(UniqueID, StartsAtOneAndNeverRepeatsAcrossThreads) {
  TUniqueID counter;
  EXPECT_EQ(1, counter.GetUniqueID());
  EXPECT_EQ(2, counter.GetUniqueID());
  std::vector<std::vector<std::int32_t>> drawn(4);
  std::vector<std::thread> threads;
  for (auto &ids : drawn)
    threads.emplace_back([&counter, &ids] {
      for (int i = 0; i < 500; ++i)
        ids.push_back(counter.GetUniqueID());
    });
  for (auto &thread : threads)
    thread.join();
  std::set<std::int32_t> all;
  for (const auto &ids : drawn)
    all.insert(ids.begin(), ids.end());
  EXPECT_EQ(2000u, all.size());
  EXPECT_EQ(3, *all.begin());
  EXPECT_EQ(2002, *all.rbegin());
}

struct THotkeyFixture : ::testing::Test {
  std::vector<std::uintptr_t> fFired;
  THotkeyHandler Recorder() {
    return [this](TGlobalHotkey &aHotkey, std::uintptr_t aID) {
      EXPECT_EQ(aHotkey.ID(), aID);
      fFired.push_back(aID);
    };
  }
  void PostHotkey(std::uintptr_t aID) {
    ASSERT_TRUE(::PostMessageW(WndProcFilter().Handle(), WM_HOTKEY, aID, 0));
    PumpPending();
  }
};

// On a window of its own, so the count of filters is the hotkeys' alone.
TEST_F(THotkeyFixture, DestroyDetachesTheFilterAndFreesTheCombination) {
  TWndProcFilter window(L"HotkeyDestroyCaption", L"PagekeepHotkeyDestroyClass");
  auto hotkey = std::make_unique<TGlobalHotkey>(VK_F17, MOD_CONTROL | MOD_SHIFT | MOD_ALT,
                                                Recorder(), window);
  ASSERT_TRUE(hotkey->Registered());
  EXPECT_EQ(1u, window.FilterCount());
  const std::uintptr_t oldID = hotkey->ID();
  hotkey.reset();
  EXPECT_EQ(0u, window.FilterCount()) << "the filter stays attached";
  ASSERT_TRUE(::PostMessageW(window.Handle(), WM_HOTKEY, oldID, 0));
  PumpPending();
  EXPECT_TRUE(fFired.empty());
  EXPECT_TRUE(::RegisterHotKey(nullptr, 0x7001, MOD_CONTROL | MOD_SHIFT | MOD_ALT, VK_F17));
  ::UnregisterHotKey(nullptr, 0x7001);
}

// A construction that fails leaves nothing behind: every allocation it
// makes fails in turn, and after each failure the combination is free and
// no filter is attached.
TEST_F(THotkeyFixture, AFailedConstructionLeavesTheCombinationFree) {
  TWndProcFilter window(L"HotkeyFailureCaption", L"PagekeepHotkeyFailureClass");
  constexpr UINT modifiers = MOD_CONTROL | MOD_SHIFT | MOD_ALT;
  bool constructed = false;
  for (std::size_t failAt = 1; !constructed && failAt < 50; ++failAt) {
    THotkeyHandler handler = Recorder();
    std::unique_ptr<TGlobalHotkey> hotkey;
    {
      HotkeyTest::TAllocationFailure failure(failAt);
      try {
        hotkey.reset(new TGlobalHotkey(VK_F16, modifiers, std::move(handler), window));
      } catch (const std::bad_alloc &) {
      }
      constructed = !failure.Failed();
    }
    if (constructed) {
      EXPECT_TRUE(hotkey->Registered());
      break;
    }
    EXPECT_FALSE(hotkey) << "allocation " << failAt;
    EXPECT_EQ(0u, window.FilterCount()) << "allocation " << failAt;
    EXPECT_TRUE(::RegisterHotKey(nullptr, 0x7002, modifiers, VK_F16))
        << "allocation " << failAt << " left the combination registered";
    ::UnregisterHotKey(nullptr, 0x7002);
  }
  EXPECT_TRUE(constructed);
}

// Closing the program from a box that a hotkey's handler opened destroys the
// hotkey while the handler still runs: what the handler holds stays until it
// returns.
TEST_F(THotkeyFixture, AHandlerMayDestroyItsOwnHotkey) {
  auto state = std::make_shared<std::string>("handler state");
  const std::weak_ptr<std::string> watch = state;
  std::unique_ptr<TGlobalHotkey> hotkey;
  bool stateAliveAfterDestroy = false;
  hotkey = std::make_unique<TGlobalHotkey>(
      VK_F15, MOD_CONTROL | MOD_SHIFT | MOD_ALT,
      [&hotkey, &stateAliveAfterDestroy, &watch, state](TGlobalHotkey &, std::uintptr_t) {
        hotkey.reset();
        stateAliveAfterDestroy = !watch.expired() && *state == "handler state";
      });
  state.reset();
  const std::uintptr_t id = hotkey->ID();
  PostHotkey(id);
  EXPECT_FALSE(hotkey);
  EXPECT_TRUE(stateAliveAfterDestroy) << "the running handler was freed";
  EXPECT_TRUE(watch.expired()) << "the handler is released once it has returned";
}

TEST_F(THotkeyFixture, IdsFollowCreationOrderAndOnlyTheOwnIdRunsTheHandler) {
  auto first =
      std::make_unique<TGlobalHotkey>(VK_F21, MOD_CONTROL | MOD_SHIFT | MOD_ALT, Recorder());
  TGlobalHotkey second(VK_F22, MOD_CONTROL | MOD_SHIFT | MOD_ALT, Recorder());
  EXPECT_EQ(first->ID() + 1, second.ID());
  EXPECT_TRUE(first->Registered());
  EXPECT_EQ(std::uint32_t{VK_F21}, first->Key());

  PostHotkey(second.ID());
  EXPECT_EQ((std::vector<std::uintptr_t>{second.ID()}), fFired);

  const std::uintptr_t oldID = first->ID();
  first.reset();
  fFired.clear();
  PostHotkey(oldID);
  EXPECT_TRUE(fFired.empty()) << "a destroyed hotkey's id runs nothing";
  PostHotkey(second.ID());
  EXPECT_EQ(1u, fFired.size());
}

TEST_F(THotkeyFixture, UserDataHoldsAPageNumber) {
  TGlobalHotkey hotkey(VK_F20, MOD_CONTROL | MOD_SHIFT | MOD_ALT, Recorder());
  EXPECT_TRUE(std::holds_alternative<std::monostate>(hotkey.UserData()));
  hotkey.SetUserData(std::int32_t{7});
  EXPECT_EQ(7, std::get<std::int32_t>(hotkey.UserData()));
}

void PressCombination(std::initializer_list<WORD> aKeys) {
  std::vector<INPUT> inputs;
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<WORD> keys(aKeys);
    if (pass == 1)
      std::reverse(keys.begin(), keys.end());
    for (WORD key : keys) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = key;
      input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
      input.ki.dwFlags = pass == 1 ? KEYEVENTF_KEYUP : 0;
      inputs.push_back(input);
    }
  }
  ASSERT_EQ(inputs.size(),
            ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)));
}

TEST_F(THotkeyFixture, ARealPressRunsTheHandlerAndATakenCombinationStaysDead) {
  TGlobalHotkey first(VK_F9, TShiftModifiers{smAlt, smWin, smCtrl}, Recorder());
  ASSERT_TRUE(first.Registered());
  TGlobalHotkey second(VK_F9, TShiftModifiers{smAlt, smWin, smCtrl}, Recorder());
  EXPECT_FALSE(second.Registered());

  PressCombination({VK_LWIN, VK_MENU, VK_CONTROL, VK_F9});
  EXPECT_TRUE(PumpUntil([&] { return !fFired.empty(); })) << "no WM_HOTKEY for the press";
  PumpPending();
  EXPECT_EQ((std::vector<std::uintptr_t>{first.ID()}), fFired);
}

TEST_F(THotkeyFixture, AFailingHandlerDoesNotStopTheOthers) {
  TGlobalHotkey failing(VK_F19, MOD_CONTROL | MOD_SHIFT | MOD_ALT,
                        [](TGlobalHotkey &, std::uintptr_t) { throw std::runtime_error("fails"); });
  TGlobalHotkey working(VK_F18, MOD_CONTROL | MOD_SHIFT | MOD_ALT, Recorder());
  PostHotkey(failing.ID());
  PostHotkey(working.ID());
  PostHotkey(failing.ID());
  PostHotkey(working.ID());
  EXPECT_EQ(2u, fFired.size());
}

} // namespace
