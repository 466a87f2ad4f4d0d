// The pages model's rules over a clipboard of the test's own: each case runs
// in milliseconds, with the clipboard's busy spells and captures played by
// the table.
#include "app/capture/CaptureRules.h"
#include "app/model/PageModel.h"
#include "clipboard/ClipboardSession.h"

#include "ModelRig.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

using namespace ModelTest;

namespace {

using TStrings = std::vector<std::wstring>;
using TDelays = std::vector<std::chrono::milliseconds>;

TClipboardState TextState(const std::wstring &aText, std::vector<TLeftOutFormat> aLeftOut = {}) {
  auto container = std::make_unique<TClipboardStateContainer>();
  if (!aText.empty()) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
    container->Add(std::make_unique<TClipboardFormatState>(
        CF_UNICODETEXT, L"", TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t))));
  }
  for (TLeftOutFormat &format : aLeftOut)
    container->AddLeftOut(std::move(format));
  return TAutoPtr::Make(std::move(container));
}

// Text on the clipboard, a change counter, and switches for the hostile
// cases: busy, secret, captures that wait for the test to finish them.
class TFakeClipboard : public TPageModelClipboard {
public:
  void SetListener(TListener *aListener) override { Listener = aListener; }
  DWORD SequenceNumber() override { return Sequence; }
  void BeginCapture(bool) override {
    ++Captures;
    CaptureWaiting = true;
    if (!HoldCaptures)
      FinishCapture();
  }
  void HurryCapture() override { ++Hurries; }
  DWORD Put(const TClipboardState &aState) override {
    if (Busy)
      throw EClipboardOpenError("Cannot open clipboard: busy");
    Content = TModelRig::Text(aState);
    ++Sequence;
    Puts.push_back(Content);
    return Sequence;
  }

  void FinishCapture() {
    CaptureWaiting = false;
    TCaptureResult result;
    result.Sequence = Sequence;
    result.Status = Busy     ? TCaptureStatus::csBusy
                    : Secret ? TCaptureStatus::csSecret
                             : TCaptureStatus::csCaptured;
    if (result.Status == TCaptureStatus::csCaptured)
      result.State = TextState(Content == L"<empty>" ? L"" : Content, LeftOut);
    Listener->CaptureFinished(std::move(result));
  }
  // Another program's change of the clipboard.
  void Change(const std::wstring &aText) {
    Content = aText;
    ++Sequence;
  }

  TListener *Listener = nullptr;
  DWORD Sequence = 1;
  std::wstring Content = L"<empty>";
  bool Busy = false;
  bool Secret = false;
  bool HoldCaptures = false;
  bool CaptureWaiting = false;
  std::vector<TLeftOutFormat> LeftOut;
  int Captures = 0;
  int Hurries = 0;
  TStrings Puts;
};

struct TRules {
  TRules() {
    Model.CreatePages();
    View.Calls.clear();
  }
  // Another program copies and the notification arrives.
  void Copy(const std::wstring &aText) {
    Clipboard.Change(aText);
    Model.ClipboardChanged();
  }
  // Runs the retries the model asks for, as the timer would, at most aCount.
  void RunRetries(int aCount = 1000) {
    for (int i = 0; i < aCount && View.RetryRequests > fRetriesRun; ++i) {
      ++fRetriesRun;
      Model.RetryCapture();
    }
  }
  std::wstring PageText(int aPage) const { return TModelRig::Text(Model.Page(aPage)); }
  TStrings HistoryTexts() const {
    TStrings texts;
    for (const TClipboardState &entry : Model.History())
      texts.push_back(TModelRig::Text(entry));
    return texts;
  }

  TFakeClipboard Clipboard;
  TRecordingView View;
  TPageModel Model{View, Clipboard};

private:
  int fRetriesRun = 0;
};

struct TRuleCase {
  const char *Name;
  std::function<void(TRules &)> Run;
};

class PageModelRules : public testing::TestWithParam<TRuleCase> {};

TEST_P(PageModelRules, Hold) {
  TRules rules;
  GetParam().Run(rules);
}

void CopiesFillPageAndHistory(TRules &r) {
  for (int i = 0; i < 12; ++i)
    r.Copy(L"copy " + std::to_wstring(i));
  EXPECT_EQ(L"copy 11", r.PageText(0));
  ASSERT_EQ(10u, r.Model.History().size());
  EXPECT_EQ(L"copy 1", r.HistoryTexts().front());
  EXPECT_TRUE(r.View.Calls.empty());
}

void OwnChangeIsIgnoredByItsSequence(TRules &r) {
  r.Copy(L"A");
  r.Model.SetActivePage(2);
  r.Model.ClipboardChanged();
  r.Model.ClipboardChanged();
  EXPECT_EQ(1, r.Clipboard.Captures) << "our own change is not read";
  EXPECT_EQ(L"<empty>", r.PageText(2));
  EXPECT_EQ((TStrings{L"Check:2", L"Page"}), r.View.Calls);
}

// Our switch, then another program's copy before our notification came: the
// sequence read while we held the clipboard tells the copy apart.
void CopyRightAfterOurChangeIsRecorded(TRules &r) {
  r.Copy(L"A");
  r.Model.SetActivePage(1);
  r.Copy(L"B");
  EXPECT_EQ(L"B", r.PageText(1));
  EXPECT_EQ(2, r.Clipboard.Captures);
}

void PrivateModeRecordsNothingAndNormalModeRecordsTheEmptying(TRules &r) {
  r.Copy(L"kept");
  r.Model.SetListenerEnabled(false);
  r.Copy(L"while private");
  EXPECT_EQ(L"kept", r.PageText(0));
  EXPECT_EQ(1, r.Clipboard.Captures);
  r.Model.SetListenerEnabled(true);
  r.Model.ClipboardChanged();
  EXPECT_EQ(L"<empty>", r.PageText(0));
  EXPECT_EQ((TStrings{L"kept"}), r.HistoryTexts());
}

void SecretIsNotRecordedNorReadTwice(TRules &r) {
  r.Copy(L"public");
  r.Clipboard.Secret = true;
  r.Copy(L"password");
  r.Model.ClipboardChanged();
  EXPECT_EQ(2, r.Clipboard.Captures);
  EXPECT_EQ(L"public", r.PageText(0));
  EXPECT_TRUE(r.Model.History().empty());
}

void BusyCopyWaitsLongerEachTimeThenSaysSo(TRules &r) {
  r.Copy(L"before");
  r.Clipboard.Busy = true;
  r.Copy(L"lost");
  r.RunRetries();
  const TDelays &delays = r.View.RetryDelays;
  ASSERT_GE(delays.size(), 6u);
  EXPECT_EQ((TDelays{100ms, 200ms, 400ms, 800ms, 1600ms, 2000ms}),
            TDelays(delays.begin(), delays.begin() + 6));
  const auto waited = std::accumulate(delays.begin(), delays.end(), std::chrono::milliseconds(0));
  EXPECT_GE(waited, TPageModel::BusyPatience);
  EXPECT_LT(waited, TPageModel::BusyPatience + TPageModel::LongestRetryDelay);
  EXPECT_EQ(L"before", r.PageText(0));
  ASSERT_EQ(1u, r.View.Calls.size());
  EXPECT_EQ(0u, r.View.Calls[0].find(std::wstring(L"Info:") + TPageModel::BusyCopyText));
  EXPECT_FALSE(r.Model.CaptureRetryPending());
}

void BusyCopyIsReadWhenTheClipboardFrees(TRules &r) {
  r.Copy(L"before");
  r.Clipboard.Busy = true;
  r.Copy(L"after");
  r.RunRetries(3);
  r.Clipboard.Busy = false;
  r.RunRetries();
  EXPECT_EQ(L"after", r.PageText(0));
  EXPECT_EQ((TStrings{L"before"}), r.HistoryTexts());
  EXPECT_TRUE(r.View.Calls.empty());
}

void NewerChangeStartsThePatienceAfresh(TRules &r) {
  r.Clipboard.Busy = true;
  r.Copy(L"first");
  r.RunRetries(4);
  r.Copy(L"second");
  EXPECT_EQ(100ms, r.View.RetryDelays.back()) << "the newer copy waits from the start";
  r.Clipboard.Busy = false;
  r.RunRetries();
  EXPECT_EQ(L"second", r.PageText(0));
}

// A copy made while another program held the clipboard and a switch pressed
// meanwhile: the copy goes into the page it was made on, then the switch.
void CopyDuringAHoldIsRecordedBeforeTheSwitch(TRules &r) {
  r.Copy(L"page zero");
  r.Clipboard.Busy = true;
  r.Clipboard.Change(L"copied during the hold");
  r.Model.SetActivePage(3);
  EXPECT_TRUE(r.View.Calls.empty());
  r.Clipboard.Busy = false;
  r.RunRetries();
  EXPECT_EQ(L"copied during the hold", r.PageText(0));
  EXPECT_EQ((TStrings{L"page zero"}), r.HistoryTexts());
  EXPECT_EQ(3, r.Model.ActivePage());
  EXPECT_EQ((TStrings{L"Check:3", L"Page"}), r.View.Calls);
  EXPECT_EQ((TStrings{L"<empty>"}), r.Clipboard.Puts);
}

void BusySwitchGivesUpAfterAMinute(TRules &r) {
  r.Copy(L"A");
  r.View.Calls.clear();
  r.Clipboard.Busy = true;
  r.Model.SetActivePage(3);
  r.RunRetries();
  EXPECT_EQ(0, r.Model.ActivePage());
  ASSERT_EQ(1u, r.View.Calls.size());
  EXPECT_EQ(0u, r.View.Calls[0].find(std::wstring(L"Info:") + TPageModel::BusySwitchText));
}

// Presses queued behind a capture hurry it, and then run in order, each step
// counting from the one before.
void CommandsBehindACaptureRunInOrder(TRules &r) {
  r.Clipboard.HoldCaptures = true;
  r.Copy(L"X");
  r.Model.StepPage(1);
  r.Model.StepPage(1);
  r.Model.StepHistory(-1);
  EXPECT_GE(r.Clipboard.Hurries, 1);
  EXPECT_TRUE(r.View.Calls.empty());
  r.Clipboard.HoldCaptures = false;
  r.Clipboard.FinishCapture();
  EXPECT_EQ(L"X", r.PageText(0));
  EXPECT_EQ(2, r.Model.ActivePage());
  EXPECT_EQ((TStrings{L"Check:1", L"Page", L"Check:2", L"Page"}), r.View.Calls)
      << "the history step has no entry to show";
}

void LeftOutFormatsAreNamedOnTheCard(TRules &r) {
  r.Clipboard.LeftOut = {{L"HTML Format", TLeftOutReason::lrRenderTimedOut},
                         {L"CF_DIB", TLeftOutReason::lrTooLarge}};
  r.Copy(L"partly");
  EXPECT_EQ(L"partly", r.PageText(0));
  EXPECT_EQ((TStrings{std::wstring(L"Info:") + TPageModel::LeftOutText +
                      L"|HTML Format (not rendered in time), CF_DIB (too large)||Search|FFE08A1E|"
                      L"4000"}),
            r.View.Calls);
}

void NoMemoryGivesUpTheOldestHistoryFirst(TRules &r) {
  for (const wchar_t *text : {L"A", L"B", L"C", L"D"})
    r.Copy(text);
  r.Model.SetActiveHistoryPage(-3);
  EXPECT_TRUE(r.Clipboard.Listener->ReleaseMemory());
  EXPECT_EQ((TStrings{L"B", L"C"}), r.HistoryTexts());
  EXPECT_EQ(-2, r.Model.ActiveHistoryPage()) << "the shown entry stays in range";
  EXPECT_TRUE(r.Clipboard.Listener->ReleaseMemory());
  EXPECT_TRUE(r.Clipboard.Listener->ReleaseMemory());
  EXPECT_FALSE(r.Clipboard.Listener->ReleaseMemory()) << "the pages are never given up";
  EXPECT_EQ(L"D", r.PageText(0));
}

void InitialCaptureLeavesTheHistoryAlone(TRules &r) {
  r.Copy(L"A");
  r.Copy(L"B");
  r.Model.CaptureInitialClipboard();
  EXPECT_EQ(3, r.Clipboard.Captures) << "read again though nothing changed";
  EXPECT_EQ((TStrings{L"A"}), r.HistoryTexts());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageModelRules,
    testing::Values(
        TRuleCase{"CopiesFillPageAndHistory", CopiesFillPageAndHistory},
        TRuleCase{"OwnChangeIsIgnoredByItsSequence", OwnChangeIsIgnoredByItsSequence},
        TRuleCase{"CopyRightAfterOurChangeIsRecorded", CopyRightAfterOurChangeIsRecorded},
        TRuleCase{"PrivateModeRecordsNothingAndNormalModeRecordsTheEmptying",
                  PrivateModeRecordsNothingAndNormalModeRecordsTheEmptying},
        TRuleCase{"SecretIsNotRecordedNorReadTwice", SecretIsNotRecordedNorReadTwice},
        TRuleCase{"BusyCopyWaitsLongerEachTimeThenSaysSo", BusyCopyWaitsLongerEachTimeThenSaysSo},
        TRuleCase{"BusyCopyIsReadWhenTheClipboardFrees", BusyCopyIsReadWhenTheClipboardFrees},
        TRuleCase{"NewerChangeStartsThePatienceAfresh", NewerChangeStartsThePatienceAfresh},
        TRuleCase{"CopyDuringAHoldIsRecordedBeforeTheSwitch",
                  CopyDuringAHoldIsRecordedBeforeTheSwitch},
        TRuleCase{"BusySwitchGivesUpAfterAMinute", BusySwitchGivesUpAfterAMinute},
        TRuleCase{"CommandsBehindACaptureRunInOrder", CommandsBehindACaptureRunInOrder},
        TRuleCase{"LeftOutFormatsAreNamedOnTheCard", LeftOutFormatsAreNamedOnTheCard},
        TRuleCase{"NoMemoryGivesUpTheOldestHistoryFirst", NoMemoryGivesUpTheOldestHistoryFirst},
        TRuleCase{"InitialCaptureLeavesTheHistoryAlone", InitialCaptureLeavesTheHistoryAlone}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// The do-not-record marker: only a 4-byte non-zero value lets a copy in.
struct TMarkerCase {
  const char *Name;
  TBytes Bytes;
  bool Null;
  bool Allows;
};

class HistoryMarker : public testing::TestWithParam<TMarkerCase> {};

TEST_P(HistoryMarker, AllowsOnlyAFourByteNonZeroValue) {
  const TMarkerCase &c = GetParam();
  EXPECT_EQ(c.Allows, HistoryMarkerAllows(c.Null ? nullptr : c.Bytes.data(), c.Bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HistoryMarker,
    testing::Values(TMarkerCase{"FourByteOne", {1, 0, 0, 0}, false, true},
                    TMarkerCase{"FourByteHighBit", {0, 0, 0, 0x80}, false, true},
                    TMarkerCase{"FourByteZero", {0, 0, 0, 0}, false, false},
                    TMarkerCase{"TwoByteZero", {0, 0}, false, false},
                    TMarkerCase{"TwoByteOne", {1, 0}, false, false},
                    TMarkerCase{"EightByteOne", {1, 0, 0, 0, 0, 0, 0, 0}, false, false},
                    TMarkerCase{"Empty", {}, false, false},
                    TMarkerCase{"Unreadable", {1, 0, 0, 0}, true, false}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// The enumeration walk: a step that fails leaves out one format only.
struct TWalkCase {
  const char *Name;
  std::vector<UINT> Formats;
  int Count;
  // Calls of the walk that fail (0-based), once each.
  std::vector<int> FailingCalls;
  std::vector<UINT> Expected;
};

const TWalkCase *gWalk = nullptr;
int gWalkCalls = 0;

UINT WINAPI FakeEnumerate(UINT aFormat) {
  const int call = gWalkCalls++;
  for (const int failing : gWalk->FailingCalls)
    if (failing == call)
      return 0;
  const auto &formats = gWalk->Formats;
  if (aFormat == 0)
    return formats.empty() ? 0 : formats.front();
  for (std::size_t i = 0; i + 1 < formats.size(); ++i)
    if (formats[i] == aFormat)
      return formats[i + 1];
  return 0;
}

class FormatWalk : public testing::TestWithParam<TWalkCase> {};

TEST_P(FormatWalk, SkipsAFailedStepOnly) {
  gWalk = &GetParam();
  gWalkCalls = 0;
  EXPECT_EQ(GetParam().Expected, ClipboardFormatIds(GetParam().Count, FakeEnumerate));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatWalk,
    testing::Values(TWalkCase{"AllFormats", {1, 13, 49000}, 3, {}, {1, 13, 49000}},
                    TWalkCase{"FirstStepFails", {1, 13, 49000}, 3, {0}, {13, 49000}},
                    TWalkCase{"MiddleStepFails", {1, 13, 49000}, 3, {1}, {1, 49000}},
                    TWalkCase{"FewerThanCounted", {1, 13}, 4, {}, {1, 13}},
                    TWalkCase{"Empty", {}, 0, {}, {}}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

} // namespace
