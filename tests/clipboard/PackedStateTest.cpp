#include "ClipboardTestUtils.h"
#include "TestBytes.h"
#include "clipboard/ClipboardStateContainer.h"
#include "clipboard/ClipboardStream.Packed.h"
#include "harness/SampleContent.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ClipboardTest;
using TestBytes::Saved;
using TestBytes::TFormatSample;

namespace {

UINT PrivateFormat() {
  return ::RegisterClipboardFormatW(L"Pagekeep Test Private");
}

TBytes TextBlock(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t));
}

TClipboardState Snapshot(const std::vector<TFormatSample> &aFormats) {
  auto container = std::make_unique<TClipboardStateContainer>(
      TActiveApplication::Make(L"C:\\windows\\notepad.exe", L"notes - Notepad"));
  for (const TFormatSample &format : aFormats)
    container->Add(
        std::make_unique<TClipboardFormatState>(format.Format, format.Name, format.Data));
  container->AddLeftOut({L"CF_HDROP", TLeftOutReason::lrRenderTimedOut});
  return TAutoPtr::Make(std::move(container));
}

struct TPackCase {
  const char *Name;
  std::function<std::vector<TFormatSample>()> Formats;
  bool Packs;
};

const TPackCase PackCases[] = {
    {"VariedText",
     [] {
       return std::vector<TFormatSample>{
           {CF_UNICODETEXT, L"", TextBlock(Harness::VariedText(300000, 1))},
           {CF_LOCALE, L"", TBytes{0x09, 0x04, 0x00, 0x00}}};
     },
     true},
    {"DesktopPicture",
     [] {
       return std::vector<TFormatSample>{{CF_DIB, L"", Harness::DesktopPictureDib(640, 480, 2)}};
     },
     true},
    // The random private format and the empty one ride along with the text.
    {"TextWithRandomAndEmptyFormats",
     [] {
       return std::vector<TFormatSample>{
           {CF_UNICODETEXT, L"", TextBlock(Harness::VariedText(400000, 3))},
           {static_cast<WORD>(PrivateFormat()), L"Pagekeep Test Private",
            Harness::RandomBytes(65536, 4)},
           {static_cast<WORD>(PrivateFormat()), L"Pagekeep Test Private", TBytes{}}};
     },
     true},
    {"RandomBytesDoNotCompress",
     [] {
       return std::vector<TFormatSample>{{static_cast<WORD>(PrivateFormat()),
                                          L"Pagekeep Test Private",
                                          Harness::RandomBytes(262144, 5)}};
     },
     false},
    {"BelowTheSmallestPacked",
     [] {
       return std::vector<TFormatSample>{{CF_UNICODETEXT, L"", TextBlock(L"short")}};
     },
     false},
    {"EmptySnapshot", [] { return std::vector<TFormatSample>{}; }, false},
};

void ExpectSameFormats(const TClipboardStateContainer &aExpected,
                       const TClipboardStateContainer &aActual) {
  ASSERT_EQ(aExpected.Count(), aActual.Count());
  for (int i = 0; i < aExpected.Count(); ++i) {
    EXPECT_EQ(aExpected[i].Format(), aActual[i].Format()) << i;
    EXPECT_EQ(aExpected[i].Name(), aActual[i].Name()) << i;
    EXPECT_TRUE(aExpected[i].Data() == aActual[i].Data()) << i;
  }
  EXPECT_EQ(aExpected.ActiveApplication(), aActual.ActiveApplication());
  ASSERT_EQ(aExpected.LeftOut().size(), aActual.LeftOut().size());
  EXPECT_EQ(aExpected.LeftOut()[0].Name, aActual.LeftOut()[0].Name);
}

class PackedState : public testing::TestWithParam<TPackCase> {};

TEST_P(PackedState, PacksOnlyWhatShrinksAndGivesItBackByteExact) {
  const TClipboardState original = Snapshot(GetParam().Formats());
  const TClipboardState packed = TClipboardStateContainer::Pack(original);
  ASSERT_EQ(GetParam().Packs, static_cast<bool>(packed));
  if (!packed)
    return;
  EXPECT_TRUE(packed().IsPacked());
  EXPECT_FALSE(packed().HoldsUnpackedFormats());
  EXPECT_EQ(original().ContentId(), packed().ContentId());
  EXPECT_TRUE(Saved(original()) == Saved(packed())) << "the stream encoding, written as it was";
  EXPECT_FALSE(packed().HoldsUnpackedFormats()) << "writing it unpacks nothing";

  const TClipboardState unpacked = TClipboardStateContainer::Unpack(packed);
  EXPECT_FALSE(unpacked().IsPacked());
  EXPECT_EQ(original().ContentId(), unpacked().ContentId());
  ExpectSameFormats(original(), unpacked());

  // Read in place (as a card reads it), then packed again without them.
  ExpectSameFormats(original(), packed());
  EXPECT_TRUE(packed().HoldsUnpackedFormats());
  const TClipboardState repacked = TClipboardStateContainer::Repack(packed);
  EXPECT_FALSE(repacked == packed);
  EXPECT_FALSE(repacked().HoldsUnpackedFormats());
  EXPECT_TRUE(Saved(original()) == Saved(repacked()));

  // On the real clipboard as its original would be, put there from the
  // packed bytes.
  EXPECT_TRUE(RestoreClipboardState(repacked).empty());
  EXPECT_FALSE(repacked().HoldsUnpackedFormats()) << "put back without unpacking it";
  for (const TClipboardFormatState &format : original()) {
    if (format.Data().empty() || !TClipboardFormatState::IsKeptAsBlock(format.Format()))
      continue;
    const std::optional<TBytes> read = ReadBlock(format.Format());
    ASSERT_TRUE(read.has_value()) << format.Format();
    ASSERT_GE(read->size(), format.Data().size());
    EXPECT_TRUE(std::equal(format.Data().begin(), format.Data().end(), read->begin()))
        << format.Format();
  }
}

INSTANTIATE_TEST_SUITE_P(Snapshots, PackedState, testing::ValuesIn(PackCases),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

} // namespace

namespace {

TPackedContent Deflated(const TBytes &aBytes) {
  TDeflateStream deflater;
  deflater.Write(aBytes.data(), aBytes.size());
  TPackedContent content;
  content.StreamSize = deflater.Written();
  content.Deflated = deflater.Finish();
  return content;
}

// Damaged packed bytes are a read error, never a short or a wrong snapshot.
TEST(PackedContent, DamagedBytesAreAReadError) {
  const TBytes text = TextBlock(Harness::VariedText(100000, 6));
  const TPackedContent good = Deflated(text);
  TMemoryStream whole;
  InflatePackedContent(good, whole);
  EXPECT_TRUE(whole.Bytes() == text);
  TInflateStream reader(good);
  TBytes read(good.StreamSize + 1);
  ASSERT_EQ(good.StreamSize, reader.Read(read.data(), read.size()));
  read.pop_back();
  EXPECT_TRUE(read == text);

  const std::vector<std::pair<const char *, std::function<void(TPackedContent &)>>> damages = {
      {"cut short",
       [](TPackedContent &aContent) { aContent.Deflated.resize(aContent.Deflated.size() / 2); }},
      {"one byte less", [](TPackedContent &aContent) { aContent.Deflated.pop_back(); }},
      {"bytes after the end", [](TPackedContent &aContent) { aContent.Deflated.push_back(0); }},
      {"a byte changed",
       [](TPackedContent &aContent) { aContent.Deflated[aContent.Deflated.size() / 3] ^= 0x5A; }},
      {"longer than stated", [](TPackedContent &aContent) { aContent.StreamSize -= 1; }},
      {"shorter than stated", [](TPackedContent &aContent) { aContent.StreamSize += 1; }},
      {"nothing", [](TPackedContent &aContent) { aContent.Deflated.clear(); }}};
  for (const auto &[name, damage] : damages) {
    TPackedContent content = good;
    damage(content);
    TMemoryStream stream;
    EXPECT_THROW(InflatePackedContent(content, stream), EStreamReadError) << name;
    TInflateStream damaged(content);
    TBytes all(good.StreamSize + 1);
    EXPECT_THROW(damaged.Read(all.data(), all.size()), EStreamReadError) << name;
  }
}

} // namespace

namespace {

constexpr std::size_t RefusedSize = 65536;

HGLOBAL WINAPI RefusingOneSize(UINT aFlags, SIZE_T aBytes) {
  return aBytes == RefusedSize ? nullptr : ::GlobalAlloc(aFlags, aBytes);
}

// A format the system has no memory for is left out of a packed snapshot's
// restore, and the formats behind it in the packed bytes still come back
// whole (its bytes are passed over, not taken for the next record).
TEST(PackedStateRestore, AFormatWithoutMemoryIsLeftOutAndTheRestComeBack) {
  const TBytes text = TextBlock(Harness::VariedText(200000, 7));
  const TClipboardState packed = TClipboardStateContainer::Pack(
      Snapshot({{static_cast<WORD>(PrivateFormat()), L"Pagekeep Test Private",
                 Harness::RandomBytes(RefusedSize, 8)},
                {CF_UNICODETEXT, L"", text}}));
  ASSERT_TRUE(packed);
  SetGlobalAllocator(RefusingOneSize);
  const std::vector<TLeftOutFormat> skipped = RestoreClipboardState(packed);
  SetGlobalAllocator(nullptr);
  ASSERT_EQ(1u, skipped.size());
  EXPECT_EQ(L"Pagekeep Test Private", skipped[0].Name);
  EXPECT_EQ(TLeftOutReason::lrNoMemory, skipped[0].Reason);
  EXPECT_FALSE(ReadBlock(PrivateFormat()).has_value());
  const std::optional<TBytes> read = ReadBlock(CF_UNICODETEXT);
  ASSERT_TRUE(read.has_value());
  ASSERT_GE(read->size(), text.size());
  EXPECT_TRUE(std::equal(text.begin(), text.end(), read->begin()));
}

} // namespace
