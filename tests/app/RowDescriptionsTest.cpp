// The pages window's rows: described once per content on the worker, kept
// while held, and never leaving a packed page unpacked.
#include "app/RowDescriptions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

TClipboardState TextState(const std::string &aText) {
  auto container = std::make_unique<TClipboardStateContainer>();
  std::vector<std::uint8_t> bytes(aText.begin(), aText.end());
  bytes.push_back(0);
  container->Add(std::make_unique<TClipboardFormatState>(CF_TEXT, L"", std::move(bytes)));
  return TAutoPtr::Make(std::move(container));
}

// Counts its calls; the row's text says which call made it.
struct TCountingDescribe {
  std::shared_ptr<std::atomic<int>> Calls = std::make_shared<std::atomic<int>>(0);
  bool Fail = false;

  TAuto<TDescription> operator()(const TClipboardState &aState) const {
    const int call = ++*Calls;
    if (Fail)
      throw std::runtime_error("no analyzer today");
    // Reading a format is what unpacks a packed snapshot in place.
    const std::size_t size = aState()[0].Data().size();
    return TDescription::CreateTextDescription(L"Text", L"call " + std::to_wstring(call),
                                               static_cast<std::int64_t>(size), std::nullopt,
                                               DefaultBackgroundColor);
  }
};

void WaitForMade(const TRowDescriptions &aRows, std::size_t aCount) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (aRows.Made() < aCount && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_GE(aRows.Made(), aCount);
}

TEST(RowDescriptions, AreMadeOnceInTheBackgroundAndKeptWhileHeld) {
  TCountingDescribe describe;
  TRowDescriptions rows(describe);
  const TClipboardState first = TextState("first");
  const TClipboardState second = TextState("second");
  rows.Keep({first, second, TClipboardState()});
  EXPECT_EQ(0u, rows.Made()) << "the worker waits for a quiet moment after new content";
  WaitForMade(rows, 2);
  EXPECT_EQ(2, describe.Calls->load());
  rows.Keep({second, first});
  EXPECT_NE(L"", rows.Find(first)->Content);
  EXPECT_NE(L"", rows.Find(second)->Content);
  EXPECT_EQ(2, describe.Calls->load()) << "kept descriptions are not made again";

  rows.Keep({second});
  EXPECT_EQ(L"call 3", rows.Find(first)->Content) << "content no longer held is forgotten";
}

// While a copy is read, nothing is described; once it is over, the rows are.
TEST(RowDescriptions, WaitWhileACopyIsRead) {
  TCountingDescribe describe;
  TRowDescriptions rows(describe);
  rows.Hold(true);
  rows.Keep({TextState("state")});
  std::this_thread::sleep_for(TRowDescriptions::QuietTime * 2);
  EXPECT_EQ(0u, rows.Made());
  rows.Hold(false);
  WaitForMade(rows, 1);
}

TEST(RowDescriptions, AreMadeOnTheCallersThreadWhenTheWorkerFailed) {
  TCountingDescribe describe;
  describe.Fail = true;
  TRowDescriptions rows(describe);
  const TClipboardState state = TextState("state");
  rows.Keep({state});
  WaitForMade(rows, 1);
  EXPECT_THROW(rows.Find(state), std::runtime_error);
  EXPECT_EQ(2, describe.Calls->load());
}

// The window reads a packed page through a copy: the page stays packed.
TEST(RowDescriptions, LeaveAPackedPagePacked) {
  TCountingDescribe describe;
  TRowDescriptions rows(describe);
  const TClipboardState packed = TClipboardStateContainer::Pack(TextState(std::string(65536, 'a')));
  ASSERT_TRUE(packed && packed().IsPacked());
  EXPECT_EQ(L"call 1", rows.Find(packed)->Content);
  EXPECT_FALSE(packed().HoldsUnpackedFormats());
}

TEST(RowDescriptions, ShowTheFirstLinesAndAPicturesThumbnail) {
  const TAuto<TDescription> text = TDescription::CreateTextDescription(
      L"Notepad", L"one\r\ntwo\r\nthree\r\nfour", 20, std::nullopt, DefaultBackgroundColor);
  const TRowDescription textRow = MakeRowDescription(text());
  EXPECT_EQ(L"Notepad", textRow.From);
  EXPECT_EQ(L"one \u00B7 two \u00B7 three", textRow.Content);
  EXPECT_FALSE(textRow.Thumbnail);

  const TAuto<TDescription> picture =
      TDescription::CreateImageDescription(L"Paint", L"", TBitmap(1920, 1080, 0xFF336699), 8294400,
                                           std::nullopt, DefaultBackgroundColor);
  const TRowDescription pictureRow = MakeRowDescription(picture());
  EXPECT_EQ(L"Picture", pictureRow.Content);
  ASSERT_TRUE(pictureRow.Thumbnail);
  EXPECT_EQ(TRowDescriptions::ThumbnailSide, pictureRow.Thumbnail->Width());
  EXPECT_EQ(0xFF336699u, pictureRow.Thumbnail->Pixel(32, 32));
}

} // namespace
