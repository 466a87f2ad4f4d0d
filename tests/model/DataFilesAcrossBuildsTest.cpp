// The data files are the same bytes from the 32-bit and the 64-bit build, so
// a file written by one loads in the other: both must write exactly these
// bytes for this content and read them back, whichever build runs the test.
#include "ModelRig.h"

#include "app/model/PageStore.h"

#include <string>

using namespace ModelTest;

namespace {

constexpr WORD PrivateFormat = 0xC0DE; // a registered format's id, as the file keeps it

TClipboardState Snapshot(std::vector<TClipboardFormatState> aFormats) {
  auto container = std::make_unique<TClipboardStateContainer>();
  for (TClipboardFormatState &format : aFormats)
    container->Add(std::make_unique<TClipboardFormatState>(std::move(format)));
  return TAutoPtr::Make(std::move(container));
}

TBytes Utf16(const std::wstring &aText) {
  TBytes bytes;
  for (wchar_t c : aText + L'\0') {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return bytes;
}

TSavedPages Content() {
  TSavedPages pages;
  for (TClipboardState &page : pages.Pages)
    page = Snapshot({});
  pages.ActivePage = 3;
  pages.Pages[3] = Snapshot({{CF_UNICODETEXT, L"", Utf16(L"Pagé")},
                             {PrivateFormat, L"Golden Private", {0x00, 0xFF, 0x7F, 0x80}}});
  pages.History.push_back(Snapshot({{CF_TEXT, L"", {'o', 'l', 'd', 0}}}));
  return pages;
}

TBytes Hex(const std::string &aHex) {
  TBytes bytes;
  for (std::size_t i = 0; i + 1 < aHex.size(); i += 3)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(aHex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// Written once and kept: any change of the format shows here on both builds.
// Pages 0-2 empty, page 3 with its two formats, pages 4-9 empty.
const TBytes GoldenPages =
    Hex("03 00 00 00 02 00 02 00 02 00 "
        "02 02 02 0D 12 00 00 00 00 02 0A 50 00 61 00 67 00 E9 00 00 00 "
        "04 DE C0 00 00 06 0E 47 6F 6C 64 65 6E 20 50 72 69 76 61 74 65 02 04 00 FF 7F 80 "
        "02 00 02 00 02 00 02 00 02 00 02 00 ");
const TBytes GoldenHistory = Hex("01 00 00 00 02 01 02 01 12 00 00 00 00 02 04 6F 6C 64 00 ");

TBytes Written(const std::function<void(TStream &)> &aWrite) {
  TMemoryStream stream;
  aWrite(stream);
  return stream.Bytes();
}

void ExpectSame(const TClipboardState &aExpected, const TClipboardState &aActual) {
  ASSERT_EQ(aExpected().Count(), aActual().Count());
  for (int i = 0; i < aExpected().Count(); ++i) {
    EXPECT_EQ(aExpected()[i].Format(), aActual()[i].Format());
    EXPECT_EQ(aExpected()[i].Name(), aActual()[i].Name());
    EXPECT_EQ(aExpected()[i].Data(), aActual()[i].Data());
  }
}

TEST(DataFilesAcrossBuilds, ThisBuildWritesTheSharedBytes) {
  const TSavedPages pages = Content();
  EXPECT_EQ(GoldenPages, Written([&](TStream &aStream) { PageStore::WritePages(aStream, pages); }));
  EXPECT_EQ(GoldenHistory,
            Written([&](TStream &aStream) { PageStore::WriteHistory(aStream, pages.History); }));
}

TEST(DataFilesAcrossBuilds, ThisBuildReadsTheSharedBytes) {
  Harness::TTemporaryFolder folder(L"golden");
  const std::wstring pagesFile = folder.Path() + L"ClipboardData.dat";
  const std::wstring historyFile = folder.Path() + L"HistoryData.dat";
  Harness::WriteFileBytes(pagesFile, GoldenPages);
  Harness::WriteFileBytes(historyFile, GoldenHistory);
  const PageStore::TLoadedPages loaded = PageStore::Load(pagesFile, historyFile);
  const TSavedPages expected = Content();
  ASSERT_TRUE(loaded.Pages && loaded.History);
  EXPECT_EQ(expected.ActivePage, loaded.ActivePage);
  for (int page = 0; page < TSavedPages::PageCount; ++page)
    ExpectSame(expected.Pages[static_cast<std::size_t>(page)],
               (*loaded.Pages)[static_cast<std::size_t>(page)]);
  ASSERT_EQ(1u, loaded.History->size());
  ExpectSame(expected.History[0], (*loaded.History)[0]);
}

} // namespace
