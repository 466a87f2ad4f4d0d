#include "ModelRig.h"

#include <functional>

using namespace ModelTest;

namespace {

using TStrings = std::vector<std::wstring>;

TBytes Dword(DWORD aValue) {
  TBytes bytes(4);
  std::memcpy(bytes.data(), &aValue, 4);
  return bytes;
}

TBytes TextBytes(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t));
}

UINT Registered(const wchar_t *aName) {
  return ::RegisterClipboardFormatW(aName);
}

struct TBehaviourCase {
  const char *Name;
  std::function<void(TModelRig &)> Run;
};

class PageModelBehaviour : public testing::TestWithParam<TBehaviourCase> {};

TEST_P(PageModelBehaviour, OverTheRealClipboard) {
  TModelRig rig;
  GetParam().Run(rig);
}

void CopyIntoEmptyPage(TModelRig &aRig) {
  aRig.Copy(L"first");
  EXPECT_EQ(L"first", TModelRig::Text(aRig.Model.Page(0)));
  EXPECT_TRUE(aRig.Model.History().empty());
  EXPECT_TRUE(aRig.View.Calls.empty()) << "the listener shows nothing";
}

void CopyIntoNonEmptyPage(TModelRig &aRig) {
  aRig.Copy(L"first");
  const TClipboardState before = aRig.Model.Page(0);
  aRig.Copy(L"second");
  EXPECT_EQ(L"second", TModelRig::Text(aRig.Model.Page(0)));
  ASSERT_EQ(1u, aRig.Model.History().size());
  EXPECT_TRUE(aRig.Model.History()[0] == before) << "the entry is the page's own snapshot";
}

void HistoryIsCappedAtTen(TModelRig &aRig) {
  for (int i = 0; i < 12; ++i)
    aRig.Copy(L"copy " + std::to_wstring(i));
  const TStrings expected = {L"copy 1", L"copy 2", L"copy 3", L"copy 4", L"copy 5",
                             L"copy 6", L"copy 7", L"copy 8", L"copy 9", L"copy 10"};
  EXPECT_EQ(expected, aRig.HistoryTexts());
  EXPECT_EQ(L"copy 11", TModelRig::Text(aRig.Model.Page(0)));
}

void SwitchToEmptyPage(TModelRig &aRig) {
  aRig.Copy(L"on page 0");
  aRig.ChangeAndSettle([&] { aRig.Model.SetActivePage(4); });
  EXPECT_EQ(4, aRig.Model.ActivePage());
  EXPECT_EQ(std::nullopt, TModelRig::ClipboardText());
  EXPECT_EQ(0, aRig.Model.Page(4)().Count()) << "our own change was not recorded";
  EXPECT_TRUE(aRig.Model.History().empty());
  EXPECT_EQ((TStrings{L"Check:4", L"Page"}), aRig.View.Calls);
}

void SwitchRestoresThePage(TModelRig &aRig) {
  aRig.Copy(L"page zero");
  const TClipboardState pageZero = aRig.Model.Page(0);
  aRig.ChangeAndSettle([&] { aRig.Model.SetActivePage(1); });
  aRig.Copy(L"page one");
  aRig.ChangeAndSettle([&] { aRig.Model.SetActivePage(0); });
  EXPECT_EQ(L"page zero", TModelRig::ClipboardText());
  EXPECT_TRUE(aRig.Model.Page(0) == pageZero);
  EXPECT_EQ(L"page one", TModelRig::Text(aRig.Model.Page(1)));
  EXPECT_TRUE(aRig.Model.History().empty());
  aRig.View.Calls.clear();
  aRig.ChangeAndSettle([&] { aRig.Model.SetActivePage(0); });
  EXPECT_EQ((TStrings{L"Check:0", L"Page"}), aRig.View.Calls) << "runs in full on the same page";
}

void MenuCheckFailureIsIgnored(TModelRig &aRig) {
  aRig.View.FailCheck = true;
  aRig.ChangeAndSettle([&] { aRig.Model.SetActivePage(2); });
  EXPECT_EQ(2, aRig.Model.ActivePage());
  EXPECT_EQ((TStrings{L"Check:2", L"Page"}), aRig.View.Calls);
}

void HistoryPositionKeptAcrossACopy(TModelRig &aRig) {
  for (const wchar_t *text : {L"A", L"B", L"C"})
    aRig.Copy(text);
  aRig.ChangeAndSettle([&] { aRig.Model.SetActiveHistoryPage(-1); });
  EXPECT_EQ(L"B", TModelRig::ClipboardText());
  aRig.ChangeAndSettle([&] { aRig.Model.SetActiveHistoryPage(-2); });
  EXPECT_EQ(L"A", TModelRig::ClipboardText());
  EXPECT_EQ((TStrings{L"History", L"History"}), aRig.View.Calls);
  EXPECT_EQ((TStrings{L"A", L"B"}), aRig.HistoryTexts()) << "our own changes were not recorded";
  aRig.Copy(L"D");
  EXPECT_EQ(-2, aRig.Model.ActiveHistoryPage());
  EXPECT_EQ(L"D", TModelRig::Text(aRig.Model.Page(0)));
  EXPECT_EQ(L"B", TModelRig::Text(aRig.Model.ShownState()));
  aRig.ChangeAndSettle([&] { aRig.Model.SetActiveHistoryPage(0); });
  EXPECT_EQ(L"D", TModelRig::ClipboardText());
  EXPECT_EQ(L"Page", aRig.View.Calls.back());
}

void OutOfRangeHistoryStepsChangeNothing(TModelRig &aRig) {
  aRig.Copy(L"A");
  aRig.Copy(L"B");
  aRig.Model.SetActiveHistoryPage(1);
  aRig.Model.SetActiveHistoryPage(-2);
  EXPECT_EQ(0, aRig.Model.ActiveHistoryPage());
  EXPECT_FALSE(aRig.Model.HistoryIgnoreChange());
  EXPECT_TRUE(aRig.View.Calls.empty());
  EXPECT_EQ(L"B", TModelRig::ClipboardText());
}

void PageSwitchResetsHistoryPosition(TModelRig &aRig) {
  aRig.Copy(L"A");
  aRig.Copy(L"B");
  aRig.ChangeAndSettle([&] { aRig.Model.SetActiveHistoryPage(-1); });
  aRig.ChangeAndSettle([&] { aRig.Model.SetActivePage(0); });
  EXPECT_EQ(0, aRig.Model.ActiveHistoryPage());
  EXPECT_EQ(L"B", TModelRig::ClipboardText());
}

void PrivateModeOnAndOff(TModelRig &aRig) {
  aRig.Copy(L"kept");
  aRig.Model.SetListenerEnabled(false);
  EXPECT_EQ((TStrings{L"Info:Private mode|Alt+Win+E to disable||Private|FFED3B45|4000"}),
            aRig.View.Calls);
  aRig.Copy(L"secret while private");
  EXPECT_EQ(L"kept", TModelRig::Text(aRig.Model.Page(0)));
  EXPECT_TRUE(aRig.Model.History().empty());
  aRig.View.Calls.clear();
  aRig.Model.SetListenerEnabled(false);
  EXPECT_TRUE(aRig.View.Calls.empty());
  EXPECT_EQ(L"secret while private", TModelRig::ClipboardText()) << "not emptied";
  const TClipboardState kept = aRig.Model.Page(0);
  aRig.ChangeAndSettle([&] { aRig.Model.SetListenerEnabled(true); });
  EXPECT_EQ((TStrings{L"Info:Normal mode|Alt+Win+E to enable private mode||Enabled|FF2DC022|4000"}),
            aRig.View.Calls);
  EXPECT_EQ(std::nullopt, TModelRig::ClipboardText());
  ASSERT_EQ(1u, aRig.Model.History().size());
  EXPECT_TRUE(aRig.Model.History()[0] == kept);
  EXPECT_EQ(0, aRig.Model.Page(0)().Count()) << "the emptied clipboard was recorded";
  aRig.View.Calls.clear();
  aRig.Model.SetListenerEnabled(true);
  EXPECT_TRUE(aRig.View.Calls.empty());
  EXPECT_EQ((std::vector<bool>{true, true, false, false}), aRig.View.PrivateMarks)
      << "the marks follow the mode, also where a click asked for the mode in force";

  aRig.Model.TogglePrivateMode();
  EXPECT_FALSE(aRig.Model.ListenerEnabled());
  aRig.ChangeAndSettle([&] { aRig.Model.TogglePrivateMode(); });
  EXPECT_TRUE(aRig.Model.ListenerEnabled());
}

void SecretFormatsAreNotRecorded(TModelRig &aRig) {
  aRig.Copy(L"public");
  const std::vector<std::pair<const wchar_t *, TBytes>> markers = {
      {L"ExcludeClipboardContentFromMonitorProcessing", {0}},
      {L"Clipboard Viewer Ignore", {0}},
      {L"CanIncludeInClipboardHistory", Dword(0)},
      {L"CanIncludeInClipboardHistory", {0, 0}},
      {L"CanIncludeInClipboardHistory", {1, 0}}};
  for (const auto &[name, data] : markers) {
    aRig.CopyBlocks({{CF_UNICODETEXT, TextBytes(L"password")}, {Registered(name), data}});
    EXPECT_EQ(L"public", TModelRig::Text(aRig.Model.Page(0))) << name << " " << data.size();
    EXPECT_TRUE(aRig.Model.History().empty()) << name << " " << data.size();
  }
  aRig.CopyBlocks({{CF_UNICODETEXT, TextBytes(L"allowed")},
                   {Registered(L"CanIncludeInClipboardHistory"), Dword(1)}});
  EXPECT_EQ(L"allowed", TModelRig::Text(aRig.Model.Page(0)));
}

void BusyClipboardIsRetriedNotRecordedEmpty(TModelRig &aRig) {
  aRig.Copy(L"before");
  {
    // The other program copies, then keeps the clipboard open for 2 s.
    Harness::TProcess holder = StartHolder(2000, L"copied elsewhere");
    Harness::WaitUntil([&] { return aRig.View.RetryRequests > 0; }, 3000ms);
    EXPECT_TRUE(aRig.Model.CaptureRetryPending());
    EXPECT_EQ(L"before", TModelRig::Text(aRig.Model.Page(0))) << "not replaced while busy";
    EXPECT_TRUE(aRig.Model.History().empty());
    aRig.WaitForRetriesToEnd();
    EXPECT_TRUE(holder.WaitForExit(5000ms).has_value());
  }
  EXPECT_EQ(L"copied elsewhere", TModelRig::Text(aRig.Model.Page(0)));
  EXPECT_EQ((TStrings{L"before"}), aRig.HistoryTexts());
}

// The holder copies, then keeps the clipboard: the copy is tried again after
// growing waits, and read as soon as the holder lets go.
void ClipboardHeldLongIsRetriedWithGrowingWaits(TModelRig &aRig) {
  aRig.Copy(L"before");
  Harness::TProcess holder = StartHolder(60000, L"held long");
  Harness::WaitUntil([&] { return aRig.View.RetryRequests >= 3; }, 5000ms);
  ASSERT_GE(aRig.View.RetryDelays.size(), 3u);
  EXPECT_EQ((std::vector<std::chrono::milliseconds>{100ms, 200ms, 400ms}),
            std::vector<std::chrono::milliseconds>(aRig.View.RetryDelays.begin(),
                                                   aRig.View.RetryDelays.begin() + 3));
  EXPECT_EQ(L"before", TModelRig::Text(aRig.Model.Page(0)));
  EXPECT_TRUE(aRig.View.Calls.empty()) << "nothing is said while the patience lasts";
  holder.Terminate();
  aRig.WaitForRetriesToEnd();
  EXPECT_EQ(L"held long", TModelRig::Text(aRig.Model.Page(0)));
  EXPECT_EQ((TStrings{L"before"}), aRig.HistoryTexts());
}

// A switch pressed while another program holds the clipboard waits for it and
// is carried out then; the copy after it is recorded into the new page.
void SwitchDuringAHoldIsCarriedOutAfterIt(TModelRig &aRig) {
  aRig.Copy(L"before");
  {
    Harness::TProcess holder = StartHolder(1000);
    aRig.Model.SetActivePage(3);
    EXPECT_EQ(0, aRig.Model.ActivePage());
    EXPECT_TRUE(aRig.View.Calls.empty());
    EXPECT_TRUE(aRig.Model.CaptureRetryPending());
    EXPECT_TRUE(holder.WaitForExit(5000ms).has_value());
    aRig.WaitForRetriesToEnd();
  }
  EXPECT_EQ(3, aRig.Model.ActivePage());
  EXPECT_EQ((TStrings{L"Check:3", L"Page"}), aRig.View.Calls);
  aRig.Copy(L"real copy");
  EXPECT_EQ(L"real copy", TModelRig::Text(aRig.Model.Page(3)));
  EXPECT_EQ(L"before", TModelRig::Text(aRig.Model.Page(0)));
  EXPECT_TRUE(aRig.Model.History().empty());
}

// Whether or not the system reports a change that changed nothing, the flag
// set by the switch must not swallow the next copy.
void SwitchWithoutChangeDoesNotSwallowTheNextCopy(TModelRig &aRig) {
  aRig.Model.SetActivePage(1);
  aRig.Model.SetActivePage(1);
  EXPECT_TRUE(aRig.Model.HistoryIgnoreChange());
  aRig.Copy(L"next copy");
  EXPECT_EQ(L"next copy", TModelRig::Text(aRig.Model.Page(1)));
}

// Another program's window in the foreground, so that a capture with source
// detection names that program.
class TForegroundProgram {
public:
  TForegroundProgram() : fProcess(L"C:\\windows\\notepad.exe") {
    const HWND window = Harness::WaitForWindow(fProcess.Id(), L"", L"");
    if (window)
      ::SetForegroundWindow(window);
    Harness::WaitUntil([&] { return window && ::GetForegroundWindow() == window; }, 3000ms);
  }

private:
  Harness::TProcess fProcess;
};

void InitialCaptureKeepsHistoryAndLeavesOutTheSource(TModelRig &aRig) {
  TForegroundProgram source;
  aRig.Copy(L"A");
  aRig.Copy(L"B");
  ASSERT_FALSE(aRig.Model.Page(0)().ActiveApplication().IsEmpty())
      << "a copy names its source program";
  const TClipboardState copied = aRig.Model.Page(0);
  aRig.Model.CaptureInitialClipboard();
  aRig.WaitForRetriesToEnd();
  EXPECT_FALSE(aRig.Model.Page(0) == copied) << "captured anew";
  EXPECT_EQ(L"B", TModelRig::Text(aRig.Model.Page(0)));
  EXPECT_TRUE(aRig.Model.Page(0)().ActiveApplication().IsEmpty());
  EXPECT_EQ((TStrings{L"A"}), aRig.HistoryTexts()) << "the history is left alone";
  EXPECT_TRUE(aRig.View.Calls.empty()) << "nothing is announced";
  aRig.Copy(L"C");
  EXPECT_EQ((TStrings{L"A", L"B"}), aRig.HistoryTexts()) << "copies are recorded as before";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageModelBehaviour,
    testing::Values(
        TBehaviourCase{"CopyIntoEmptyPage", CopyIntoEmptyPage},
        TBehaviourCase{"CopyIntoNonEmptyPage", CopyIntoNonEmptyPage},
        TBehaviourCase{"HistoryIsCappedAtTen", HistoryIsCappedAtTen},
        TBehaviourCase{"SwitchToEmptyPage", SwitchToEmptyPage},
        TBehaviourCase{"SwitchRestoresThePage", SwitchRestoresThePage},
        TBehaviourCase{"MenuCheckFailureIsIgnored", MenuCheckFailureIsIgnored},
        TBehaviourCase{"HistoryPositionKeptAcrossACopy", HistoryPositionKeptAcrossACopy},
        TBehaviourCase{"OutOfRangeHistoryStepsChangeNothing", OutOfRangeHistoryStepsChangeNothing},
        TBehaviourCase{"PageSwitchResetsHistoryPosition", PageSwitchResetsHistoryPosition},
        TBehaviourCase{"PrivateModeOnAndOff", PrivateModeOnAndOff},
        TBehaviourCase{"SecretFormatsAreNotRecorded", SecretFormatsAreNotRecorded},
        TBehaviourCase{"BusyClipboardIsRetriedNotRecordedEmpty",
                       BusyClipboardIsRetriedNotRecordedEmpty},
        TBehaviourCase{"ClipboardHeldLongIsRetriedWithGrowingWaits",
                       ClipboardHeldLongIsRetriedWithGrowingWaits},
        TBehaviourCase{"SwitchWithoutChangeDoesNotSwallowTheNextCopy",
                       SwitchWithoutChangeDoesNotSwallowTheNextCopy},
        TBehaviourCase{"SwitchDuringAHoldIsCarriedOutAfterIt",
                       SwitchDuringAHoldIsCarriedOutAfterIt},
        TBehaviourCase{"InitialCaptureKeepsHistoryAndLeavesOutTheSource",
                       InitialCaptureKeepsHistoryAndLeavesOutTheSource}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

} // namespace
