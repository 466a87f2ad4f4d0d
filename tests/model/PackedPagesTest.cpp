#include "ModelRig.h"

#include "analysis/ClipboardAnalyzer.Service.h"
#include "harness/SampleContent.h"

using namespace ModelTest;

namespace {

// Large enough to be packed, small enough to copy quickly.
std::wstring LargeText(std::uint32_t aSeed) {
  return Harness::VariedText(200000, aSeed);
}

bool PackedSoon(const std::function<TClipboardState()> &aSlot) {
  return Harness::WaitUntil([&] { return aSlot()().IsPacked(); }, 5000ms);
}

void ExpectSameDescription(const TClipboardState &aPacked) {
  const auto packed = ClipboardAnalyzers().DescriptionForState(aPacked);
  const auto plain =
      ClipboardAnalyzers().DescriptionForState(TClipboardStateContainer::Unpack(aPacked));
  ASSERT_TRUE(packed && plain);
  EXPECT_EQ(plain().ShortDescription(), packed().ShortDescription());
  EXPECT_EQ(plain().LongDescription(), packed().LongDescription());
}

class PackedPages : public testing::Test {
protected:
  void TearDown() override {
    ::DeleteFileW(PageStore::ClipboardDataFileName().c_str());
    ::DeleteFileW(PageStore::HistoryDataFileName().c_str());
  }
  TModelRig fRig;
};

TEST_F(PackedPages, PageLeavingTheClipboardIsPackedThenDescribedAndPutBack) {
  const std::wstring text = LargeText(11);
  fRig.Copy(text);
  EXPECT_FALSE(fRig.Model.Page(0)().IsPacked()) << "on the clipboard: kept as it is";
  fRig.Model.SetActivePage(1);
  ASSERT_TRUE(PackedSoon([&] { return fRig.Model.Page(0); }));

  ExpectSameDescription(fRig.Model.Page(0));
  EXPECT_EQ(text, TModelRig::Text(fRig.Model.Page(0)));
  ASSERT_TRUE(Harness::PumpUntilIdle());
  fRig.Model.StepPage(1);
  ASSERT_TRUE(Harness::PumpUntilIdle());
  EXPECT_FALSE(fRig.Model.Page(0)().HoldsUnpackedFormats())
      << "what the card unpacked is dropped again";

  // Put back from its packed bytes; read in place while on the clipboard,
  // and the packer leaves what was read alone.
  fRig.Model.SetActivePage(0);
  EXPECT_EQ(text, TModelRig::ClipboardText());
  EXPECT_FALSE(fRig.Model.Page(0)().HoldsUnpackedFormats()) << "put back without unpacking";
  EXPECT_EQ(text, TModelRig::Text(fRig.Model.Page(0)));
  ASSERT_TRUE(Harness::PumpUntilIdle());
  EXPECT_TRUE(fRig.Model.Page(0)().HoldsUnpackedFormats()) << "on the clipboard: kept as read";
  EXPECT_EQ(L"Page", fRig.View.Calls.back());
}

TEST_F(PackedPages, HistoryEntryIsPackedAndShownFromItsPackedBytes) {
  const std::wstring older = LargeText(21);
  fRig.Copy(older);
  fRig.Copy(LargeText(22));
  ASSERT_TRUE(PackedSoon([&] { return fRig.Model.History().at(0); }));
  EXPECT_FALSE(fRig.Model.Page(0)().IsPacked());
  ExpectSameDescription(fRig.Model.History()[0]);

  fRig.Model.StepHistory(-1);
  EXPECT_EQ(older, TModelRig::ClipboardText());
  EXPECT_EQ(older, TModelRig::Text(fRig.Model.History()[0]));
  EXPECT_TRUE(PackedSoon([&] { return fRig.Model.Page(0); })) << "the page left the clipboard";
  EXPECT_TRUE(fRig.Model.History()[0]().HoldsUnpackedFormats())
      << "shown: on the clipboard, kept as read";
  fRig.Model.StepHistory(1);
  EXPECT_TRUE(PackedSoon([&] { return fRig.Model.History()[0]; }));
  EXPECT_EQ(older, TModelRig::Text(fRig.Model.History()[0]));
}

TEST_F(PackedPages, NewContentOfASlotIsKeptOverItsOldContentPackedMeanwhile) {
  // The data files hold a small page 0, loaded while the packer works.
  TSavedPages saved;
  for (TClipboardState &page : saved.Pages)
    page = TAutoPtr::Make(std::make_unique<TClipboardStateContainer>());
  auto small = std::make_unique<TClipboardStateContainer>();
  small->Add(std::make_unique<TClipboardFormatState>(
      static_cast<WORD>(CF_UNICODETEXT), L"",
      TBytes{'s', 0, 'a', 0, 'v', 0, 'e', 0, 'd', 0, 0, 0}));
  saved.Pages[0] = TAutoPtr::Make(std::move(small));
  saved.ActivePage = 1;
  PageStore::Save(saved, PageStore::ClipboardDataFileName(), PageStore::HistoryDataFileName());

  fRig.Copy(LargeText(31));
  const std::size_t finished = fRig.Model.Packer().Finished();
  fRig.Model.SetActivePage(1);
  // The worker's result waits in the message queue: not pumped yet.
  for (int i = 0; i < 500 && fRig.Model.Packer().Finished() == finished; ++i)
    ::Sleep(10);
  ASSERT_GT(fRig.Model.Packer().Finished(), finished);
  ASSERT_TRUE(fRig.Model.RestoreSavedPages());

  ASSERT_TRUE(Harness::PumpUntilIdle());
  EXPECT_FALSE(fRig.Model.Page(0)().IsPacked());
  EXPECT_EQ(L"saved", TModelRig::Text(fRig.Model.Page(0)));
}

// A copy being taken keeps packing out of its way: nothing is packed while
// it lasts; then the waiting work is done.
TEST(StatePacker, WaitsWhileACopyIsTakenThenPacks) {
  std::vector<TClipboardState> results;
  TStatePacker packer(
      [&](const TClipboardState &, const TClipboardState &aPacked) { results.push_back(aPacked); });
  auto container = std::make_unique<TClipboardStateContainer>();
  const std::wstring text = LargeText(41);
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(text.c_str());
  container->Add(std::make_unique<TClipboardFormatState>(
      static_cast<WORD>(CF_UNICODETEXT), L"",
      TBytes(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))));
  const TClipboardState state = TAutoPtr::Make(std::move(container));

  packer.Hold();
  packer.Pack(state);
  EXPECT_FALSE(Harness::WaitUntil([&] { return packer.Finished() > 0; }, 500ms))
      << "packed while a copy was taken";
  packer.Release();
  ASSERT_TRUE(Harness::WaitUntil([&] { return !results.empty(); }, 5000ms));
  ASSERT_TRUE(results[0] && results[0]().IsPacked());
  EXPECT_EQ(text, TModelRig::Text(results[0]));
}

} // namespace
