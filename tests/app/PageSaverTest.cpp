#include "app/PageSaver.h"

#include "harness/Harness.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TClipboardState Text(const std::wstring &aText) {
  const auto *begin = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  auto container = std::make_unique<TClipboardStateContainer>();
  container->Add(std::make_unique<TClipboardFormatState>(
      CF_UNICODETEXT, L"", std::vector<std::uint8_t>(begin, begin + aText.size() * 2)));
  return TAutoPtr::Make(std::move(container));
}

std::wstring TextOf(const TClipboardState &aState) {
  const auto &data = aState()[0].Data();
  return std::wstring(reinterpret_cast<const wchar_t *>(data.data()), data.size() / 2);
}

struct PageSaverTest : ::testing::Test {
  Harness::TTemporaryFolder fFolder{L"saver"};
  std::wstring fPagesFile = fFolder.Path() + L"ClipboardData.dat";
  std::wstring fHistoryFile = fFolder.Path() + L"HistoryData.dat";
  TSavedPages fModel;
  int fTakes = 0;

  std::unique_ptr<TPageSaver> MakeSaver(bool aSavedAlready) {
    for (auto &page : fModel.Pages)
      if (!page)
        page = Text(L"");
    return std::make_unique<TPageSaver>(
        [this] {
          ++fTakes;
          return fModel;
        },
        fPagesFile, fHistoryFile, aSavedAlready);
  }
  // What the model's changes come with.
  static void ClipboardChanged() {
    ::PostMessageW(WndProcFilter().Handle(), WM_CLIPBOARDUPDATE, 0, 0);
  }
  std::wstring SavedPage(int aPage) {
    return TextOf(
        PageStore::Load(fPagesFile, fHistoryFile).Pages->at(static_cast<std::size_t>(aPage)));
  }
};

TEST_F(PageSaverTest, AChangeIsSavedSoonAndAtMostOncePerGap) {
  auto saver = MakeSaver(true);
  ClipboardChanged();
  EXPECT_FALSE(Harness::WaitUntil([&] { return saver->SavesDone() > 0; }, 1200ms))
      << "nothing changed, nothing is written";
  EXPECT_FALSE(Harness::Exists(fPagesFile));

  fModel.Pages[2] = Text(L"two");
  fModel.ActivePage = 2;
  ClipboardChanged();
  ASSERT_TRUE(Harness::WaitUntil([&] { return saver->SavesDone() == 1; }, 2000ms));
  EXPECT_EQ(L"two", SavedPage(2));
  EXPECT_EQ(2, PageStore::Load(fPagesFile, fHistoryFile).ActivePage);

  const auto changed = std::chrono::steady_clock::now();
  fModel.History.push_back(Text(L"older"));
  ClipboardChanged();
  ASSERT_TRUE(Harness::WaitUntil([&] { return saver->SavesDone() == 2; }, 5000ms));
  EXPECT_GE(std::chrono::steady_clock::now() - changed, 1500ms)
      << "the second save waits for the gap after the first";
  EXPECT_EQ(1u, PageStore::Load(fPagesFile, fHistoryFile).History->size());
}

TEST_F(PageSaverTest, TheFirstSaveComesWithoutANotificationWhenNothingWasSavedYet) {
  fModel.Pages[1] = Text(L"turned on");
  auto saver = MakeSaver(false);
  ASSERT_TRUE(Harness::WaitUntil([&] { return saver->SavesDone() == 1; }, 2000ms));
  EXPECT_EQ(L"turned on", SavedPage(1));
}

TEST_F(PageSaverTest, SaveNowWritesAtOnceAndOnlyWhatChanged) {
  auto saver = MakeSaver(false);
  fModel.Pages[0] = Text(L"closing");
  saver->SaveNow();
  EXPECT_EQ(1u, saver->SavesDone());
  EXPECT_EQ(L"closing", SavedPage(0));
  saver->SaveNow();
  EXPECT_EQ(1u, saver->SavesDone()) << "the same handles are not written twice";
}

// A page packed in memory since the save is the same content: not written
// again, and the saver does not keep the unpacked page alive.
TEST_F(PageSaverTest, APagePackedSinceIsNeitherWrittenAgainNorHeld) {
  auto saver = MakeSaver(false);
  const TClipboardState original = Text(std::wstring(100000, L'p'));
  fModel.Pages[0] = original;
  saver->SaveNow();
  const TClipboardState packed = TClipboardStateContainer::Pack(original);
  ASSERT_TRUE(packed);
  fModel.Pages[0] = packed;
  EXPECT_EQ(1, original.UseCount());
  saver->SaveNow();
  EXPECT_EQ(1u, saver->SavesDone());
  EXPECT_EQ(std::wstring(100000, L'p'), SavedPage(0));
}

TEST_F(PageSaverTest, AFailedSaveIsReportedAndLeavesTheOldFile) {
  auto saver = MakeSaver(false);
  fModel.Pages[0] = Text(L"old");
  saver->SaveNow();
  fModel.Pages[0] = Text(L"new");
  const std::wstring temporary = PageStore::TemporaryFileName(fPagesFile);
  ASSERT_TRUE(::CreateDirectoryW(temporary.c_str(), nullptr));
  EXPECT_THROW(saver->SaveNow(), std::runtime_error);
  EXPECT_EQ(L"old", SavedPage(0));
  ::RemoveDirectoryW(temporary.c_str());
  saver->SaveNow();
  EXPECT_EQ(L"new", SavedPage(0)) << "what failed is written the next time";
}

} // namespace
