// The real Pagekeep.exe beside programs that misbehave with the clipboard:
// one that holds it, one that renders slowly (answering other programs
// meanwhile, or not), one that never renders, and
// copies marked as not to be recorded.
#include "PagekeepDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

namespace {

using namespace PagekeepDriver;

// The hostile source program, started and ready: its copy is made (and, for
// a hold, the clipboard held).
TProcess StartSource(const std::wstring &aMode, DWORD aTime, const std::wstring &aText) {
  static int counter = 0;
  const std::wstring eventName = L"PagekeepHostileReady" +
                                 std::to_wstring(::GetCurrentProcessId()) + L"_" +
                                 std::to_wstring(++counter);
  TKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
  CheckWin32(static_cast<bool>(ready), "CreateEventW");
  TProcess source(BesideThisExe(L"pagekeep-hostile-source.exe"),
                  aMode + L" " + std::to_wstring(aTime) + L" " + eventName + L" \"" + aText +
                      L"\"");
  if (!WaitUntil([&] { return ::WaitForSingleObject(ready.Get(), 0) == WAIT_OBJECT_0; }, 10000ms))
    throw std::runtime_error("the hostile source did not start");
  return source;
}

class HostileDesktopTest : public TStartedPagekeepTest {
protected:
  // Waits (pumping) for the announcement after aAfter; its text, or "".
  std::wstring AnnouncementAfter(unsigned aAfter, std::chrono::milliseconds aWait) {
    if (!WaitUntil([&] { return fApp().AnnouncementNumber() > aAfter; }, aWait))
      return L"";
    WaitUntil([] { return false; }, 100ms);
    const std::wstring text = fApp().Announcement();
    return text.substr(text.find(L' ') + 1);
  }
  // Presses Alt+Win+Num<aPage> without waiting for its card.
  void PressPage(int aPage) {
    PressKeys({VK_LWIN, VK_MENU, static_cast<WORD>(VK_NUMPAD0 + aPage)});
  }
};

struct TSourceCase {
  const char *Name;
  const wchar_t *Mode;
  DWORD Time;
  // How long the switch pressed meanwhile may wait for the clipboard.
  std::chrono::milliseconds SwitchWait;
  // Cards before the switch's: a copy left incomplete names what it lost,
  // and the info hotkey pressed meanwhile shows its own.
  unsigned CardsBeforeSwitch;
  // The source hangs in its render: its window cannot give up the clipboard
  // (which a page switch asks of it) until the source is ended.
  bool Hangs;
  // The formats it renders late are kept with the copy.
  bool RenderedFormatsKept = false;
};

// What the source renders late, as kept with its copy.
std::optional<std::string> RenderedLate(int aNumber) {
  const UINT format = RegisterFormat(L"Pagekeep Hostile Slow " + std::to_wstring(aNumber));
  const std::optional<TBytes> data = ClipboardFormatData(format);
  if (!data)
    return std::nullopt;
  return std::string(data->begin(), std::find(data->begin(), data->end(), std::uint8_t{0}));
}

class HostileSources : public HostileDesktopTest,
                       public testing::WithParamInterface<TSourceCase> {};

// The switch pressed while the other program is in the way is carried out,
// and the copy that program made is kept on the page it was made on.
TEST_P(HostileSources, SwitchIsCarriedOutAndTheCopyKept) {
  const TSourceCase &c = GetParam();
  const std::wstring text = std::wstring(L"copied by ") + c.Mode;
  TProcess source = StartSource(c.Mode, c.Time, text);
  const unsigned before = fApp().AnnouncementNumber();
  PressPage(3);
  if (c.Hangs) {
    // The capture is cut short: its card names what it lost, and the
    // clipboard is free again for everyone.
    EXPECT_EQ(L"Part of the copy was left out", AnnouncementAfter(before, c.SwitchWait));
    EXPECT_TRUE(WaitUntil([] { return ::GetOpenClipboardWindow() == nullptr; }, 6000ms));
    EXPECT_TRUE(fApp().HasItem(tcClose)) << "the tray answers";
    EXPECT_EQ(L"Page 0", fApp().Press('I')) << "the info hotkey answers";
    source.Terminate();
  }
  ASSERT_TRUE(
      WaitUntil([&] { return fApp().AnnouncementNumber() >= before + 1 + c.CardsBeforeSwitch; },
                c.SwitchWait))
      << "no card for the switch";
  EXPECT_EQ(L"Page 3", AnnouncementAfter(before + c.CardsBeforeSwitch, 100ms));
  EXPECT_TRUE(WaitUntil([] { return ::GetOpenClipboardWindow() == nullptr; }, 6000ms));
  EXPECT_FALSE(ClipboardText().has_value()) << "page 3 is empty";
  EXPECT_EQ(L"Page 0", fApp().Press(VK_NUMPAD0));
  EXPECT_EQ(text, ClipboardOrNone());
  if (c.RenderedFormatsKept) {
    EXPECT_EQ("rendered late", RenderedLate(1).value_or("<none>"));
    EXPECT_EQ("rendered late", RenderedLate(2).value_or("<none>"));
  }
  if (!c.Hangs) {
    // (An ended source's offered formats go from the clipboard: under Wine
    // a change of its own, recorded again.)
    EXPECT_EQ(L"History -1", fApp().Press(VK_UP));
    EXPECT_EQ(L"before start", ClipboardOrNone());
  }
  EXPECT_TRUE(fApp().Process().IsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileSources,
    testing::Values(TSourceCase{"HoldsOneAndAHalfSeconds", L"hold", 1500, 5000ms, 0, false},
                    TSourceCase{"HoldsTenSeconds", L"hold", 10000, 15000ms, 0, false},
                    // Three seconds of rendering, past the budget, by a program that
                    // answers meanwhile: it is working, not stuck, and the whole copy
                    // is kept (the hold limit still bounds it).
                    TSourceCase{"RendersSlowlyAnswering", L"answering", 1500, 8000ms, 0, false,
                                true},
                    TSourceCase{"RendersSlowly", L"slow", 30000, 4000ms, 2, true},
                    TSourceCase{"NeverRenders", L"never", 0, 4000ms, 2, true}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// A copy marked with CanIncludeInClipboardHistory is recorded only when the
// marker is a 4-byte non-zero value.
struct TMarkerCase {
  const char *Name;
  TBytes Marker;
  bool Recorded;
};

class HistoryMarkers : public HostileDesktopTest,
                       public testing::WithParamInterface<TMarkerCase> {};

TEST_P(HistoryMarkers, DecideWhetherTheCopyIsRecorded) {
  const TMarkerCase &c = GetParam();
  const std::wstring secret = L"marked copy";
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(secret.c_str());
  CopyFormats({{CF_UNICODETEXT, TBytes(bytes, bytes + (secret.size() + 1) * sizeof(wchar_t))},
               {RegisterFormat(L"CanIncludeInClipboardHistory"), c.Marker}});
  EXPECT_EQ(L"Page 1", fApp().Press(VK_NUMPAD1));
  EXPECT_EQ(L"Page 0", fApp().Press(VK_NUMPAD0));
  EXPECT_EQ(c.Recorded ? secret : L"before start", ClipboardOrNone());
}

INSTANTIATE_TEST_SUITE_P(Cases, HistoryMarkers,
                         testing::Values(TMarkerCase{"TwoByteZero", {0, 0}, false},
                                         TMarkerCase{"TwoByteOne", {1, 0}, false},
                                         TMarkerCase{"FourByteZero", {0, 0, 0, 0}, false},
                                         TMarkerCase{"FourByteOne", {1, 0, 0, 0}, true}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

} // namespace
