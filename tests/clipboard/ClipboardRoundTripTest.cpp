#include "ClipboardTestUtils.h"
#include "clipboard/ClipboardStateContainer.h"

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace ClipboardTest;

namespace {

const TClipboardFormatState *Find(const TClipboardStateContainer &aState, UINT aFormat) {
  for (const TClipboardFormatState &format : aState)
    if (format.Format() == aFormat)
      return &format;
  return nullptr;
}

UINT TestFormat() {
  return ::RegisterClipboardFormatW(L"Pagekeep Test Binary");
}

// A 4x3 bitmap with a distinct colour per pixel, as the screen's DDB.
constexpr int BitmapWidth = 4, BitmapHeight = 3;
std::uint32_t PixelColour(int aX, int aY) {
  return 0x00102030u + static_cast<std::uint32_t>(aX * 0x200000 + aY * 0x3000 + aX * aY * 7);
}

std::vector<std::uint32_t> BitmapPixels(HBITMAP aBitmap) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = BitmapWidth;
  info.bmiHeader.biHeight = -BitmapHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(BitmapWidth * BitmapHeight);
  TWindowDC screen(nullptr);
  CheckWin32(::GetDIBits(screen.Get(), aBitmap, 0, BitmapHeight, pixels.data(), &info,
                         DIB_RGB_COLORS) == BitmapHeight,
             "GetDIBits");
  for (auto &pixel : pixels)
    pixel &= 0x00FFFFFFu;
  return pixels;
}

std::vector<std::uint32_t> ExpectedPixels() {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < BitmapHeight; ++y)
    for (int x = 0; x < BitmapWidth; ++x)
      pixels.push_back(PixelColour(x, y));
  return pixels;
}

void PutBitmap() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = BitmapWidth;
  info.bmiHeader.biHeight = -BitmapHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const auto pixels = ExpectedPixels();
  TWindowDC screen(nullptr);
  TBitmapHandle bitmap(::CreateDIBitmap(screen.Get(), &info.bmiHeader, CBM_INIT, pixels.data(),
                                        &info, DIB_RGB_COLORS));
  CheckWin32(static_cast<bool>(bitmap), "CreateDIBitmap");
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
  CheckWin32(::SetClipboardData(CF_BITMAP, bitmap.Get()) != nullptr, "SetClipboardData");
  bitmap.Detach();
}

TBytes MetaFileBits(HENHMETAFILE aMetaFile) {
  TBytes bits(::GetEnhMetaFileBits(aMetaFile, 0, nullptr));
  ::GetEnhMetaFileBits(aMetaFile, static_cast<UINT>(bits.size()), bits.data());
  return bits;
}

void PutMetaFile() {
  const HDC recorder = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
  CheckWin32(recorder != nullptr, "CreateEnhMetaFileW");
  ::Rectangle(recorder, 1, 2, 30, 40);
  ::MoveToEx(recorder, 0, 0, nullptr);
  ::LineTo(recorder, 25, 35);
  TEnhMetaFileHandle metaFile(::CloseEnhMetaFile(recorder));
  CheckWin32(static_cast<bool>(metaFile), "CloseEnhMetaFile");
  TClipboardSession session;
  CheckWin32(::EmptyClipboard() != FALSE, "EmptyClipboard");
  CheckWin32(::SetClipboardData(CF_ENHMETAFILE, metaFile.Get()) != nullptr, "SetClipboardData");
  metaFile.Detach();
}

const std::vector<std::wstring> DropPaths = {L"C:\\users\\Public\\a file.txt",
                                             L"C:\\temp\\\u00E9t\u00E9 \u0424.doc"};

TBytes DropFilesBlock() {
  std::wstring list;
  for (const auto &path : DropPaths)
    list += path + L'\0';
  list += L'\0';
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  const auto *head = reinterpret_cast<const std::uint8_t *>(&header);
  TBytes block(head, head + sizeof(header));
  block.resize(sizeof(header) + list.size() * sizeof(wchar_t));
  std::memcpy(block.data() + sizeof(header), list.data(), list.size() * sizeof(wchar_t));
  return block;
}

std::vector<std::wstring> ClipboardDropPaths() {
  TClipboardSession session;
  const HDROP drop = static_cast<HDROP>(::GetClipboardData(CF_HDROP));
  if (!drop)
    return {};
  std::vector<std::wstring> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    paths.push_back(path);
  }
  return paths;
}

TBytes TextBytes(const std::wstring &aText) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(aText.c_str());
  return TBytes(bytes, bytes + (aText.size() + 1) * sizeof(wchar_t));
}

TBytes Pattern(std::size_t aSize) {
  TBytes bytes(aSize);
  for (std::size_t i = 0; i < aSize; i += 4096)
    bytes[i] = static_cast<std::uint8_t>(i / 4096);
  bytes.back() = 0x5A;
  return bytes;
}

void ExpectOnlyLeftOut(const TClipboardStateContainer &aState, const wchar_t *aName) {
  ASSERT_EQ(1u, aState.LeftOut().size());
  EXPECT_EQ(aName, aState.LeftOut()[0].Name);
  EXPECT_EQ(TLeftOutReason::lrTooLarge, aState.LeftOut()[0].Reason);
}

struct TRoundTripCase {
  const char *Name;
  std::function<void()> Put;
  std::function<void(const TClipboardStateContainer &)> CheckCaptured;
  std::function<void()> CheckRestored;
};

class ClipboardRoundTrip : public testing::TestWithParam<TRoundTripCase> {};

TEST_P(ClipboardRoundTrip, CapturedAndRestored) {
  GetParam().Put();
  const TClipboardState state = CaptureClipboardState(false);
  EXPECT_TRUE(state().ActiveApplication().IsEmpty());
  GetParam().CheckCaptured(state());
  EmptyTheClipboard();
  RestoreClipboardState(state);
  EXPECT_EQ(nullptr, ::GetOpenClipboardWindow());
  GetParam().CheckRestored();
}

const std::wstring SampleText = L"Hello, Welt \u00FC\u20AC";
const TBytes BinaryWithZeros = {0, 1, 0, 0xFF, 0, 0, 7};
constexpr std::size_t Limit = MaxCapturedFormatSize;
constexpr UINT Synthesised[] = {CF_METAFILEPICT, CF_DIB, CF_DIBV5};

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipboardRoundTrip,
    testing::Values(TRoundTripCase{"UnicodeText", [] { PutText(SampleText); },
                                   [](const TClipboardStateContainer &aState) {
                                     const auto *text = Find(aState, CF_UNICODETEXT);
                                     ASSERT_NE(nullptr, text);
                                     EXPECT_EQ(TextBytes(SampleText), text->Data());
                                     EXPECT_EQ(L"", text->Name());
                                   },
                                   [] { EXPECT_EQ(SampleText, ReadText()); }},
                    TRoundTripCase{"RegisteredBinary",
                                   [] {
                                     PutBlocks({{TestFormat(), BinaryWithZeros}});
                                   },
                                   [](const TClipboardStateContainer &aState) {
                                     ASSERT_EQ(1, aState.Count());
                                     EXPECT_EQ(TestFormat(), aState[0].Format());
                                     EXPECT_EQ(L"Pagekeep Test Binary", aState[0].Name());
                                     EXPECT_EQ(BinaryWithZeros, aState[0].Data());
                                   },
                                   [] { EXPECT_EQ(BinaryWithZeros, ReadBlock(TestFormat())); }},
                    TRoundTripCase{"Bitmap", PutBitmap,
                                   [](const TClipboardStateContainer &aState) {
                                     const auto *bitmap = Find(aState, CF_BITMAP);
                                     ASSERT_NE(nullptr, bitmap);
                                     const TBytes &bmp = bitmap->Data();
                                     ASSERT_GT(bmp.size(), 54u);
                                     EXPECT_EQ('B', bmp[0]);
                                     EXPECT_EQ('M', bmp[1]);
                                     EXPECT_EQ(32, bmp[28]) << "bits per pixel";
                                   },
                                   [] {
                                     TClipboardSession session;
                                     const HBITMAP bitmap =
                                         static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
                                     ASSERT_NE(nullptr, bitmap);
                                     EXPECT_EQ(ExpectedPixels(), BitmapPixels(bitmap));
                                   }},
                    TRoundTripCase{"EnhancedMetafile", PutMetaFile,
                                   [](const TClipboardStateContainer &aState) {
                                     const auto *emf = Find(aState, CF_ENHMETAFILE);
                                     ASSERT_NE(nullptr, emf);
                                     ASSERT_GT(emf->Data().size(), 8u);
                                     EXPECT_EQ(1, emf->Data()[0]) << "EMR_HEADER";
                                   },
                                   [] {
                                     TClipboardSession session;
                                     const auto metaFile = static_cast<HENHMETAFILE>(
                                         ::GetClipboardData(CF_ENHMETAFILE));
                                     ASSERT_NE(nullptr, metaFile);
                                     ENHMETAHEADER header{};
                                     ASSERT_NE(0u, ::GetEnhMetaFileHeader(metaFile, sizeof(header),
                                                                          &header));
                                     EXPECT_GT(header.nRecords, 2u);
                                     EXPECT_FALSE(MetaFileBits(metaFile).empty());
                                   }},
                    TRoundTripCase{"FileDrop",
                                   [] {
                                     PutBlocks({{CF_HDROP, DropFilesBlock()}});
                                   },
                                   [](const TClipboardStateContainer &aState) {
                                     const auto *drop = Find(aState, CF_HDROP);
                                     ASSERT_NE(nullptr, drop);
                                     EXPECT_EQ(DropFilesBlock(), drop->Data());
                                   },
                                   [] { EXPECT_EQ(DropPaths, ClipboardDropPaths()); }},
                    // The system offers 3, 8 and 17 for these and makes them again from the
                    // bitmap and the metafile. Nothing makes CF_TIFF again: it is kept.
                    TRoundTripCase{"SynthesisedFormatsListedEmptyTiffKept",
                                   [] {
                                     PutBitmap();
                                     PutMetaFile();
                                     TClipboardSession session;
                                     const auto pixels = ExpectedPixels();
                                     // Add the bitmap again beside the metafile.
                                     BITMAPINFO bits{};
                                     bits.bmiHeader = {sizeof(BITMAPINFOHEADER),
                                                       BitmapWidth,
                                                       -BitmapHeight,
                                                       1,
                                                       32,
                                                       BI_RGB,
                                                       0,
                                                       0,
                                                       0,
                                                       0,
                                                       0};
                                     TWindowDC screen(nullptr);
                                     TBitmapHandle bitmap(
                                         ::CreateDIBitmap(screen.Get(), &bits.bmiHeader, CBM_INIT,
                                                          pixels.data(), &bits, DIB_RGB_COLORS));
                                     if (::SetClipboardData(CF_BITMAP, bitmap.Get()))
                                       bitmap.Detach();
                                     TGlobalHandle tiff = GlobalBlock({'I', 'I', 42, 0});
                                     if (::SetClipboardData(CF_TIFF, tiff.Get()))
                                       tiff.Detach();
                                   },
                                   [](const TClipboardStateContainer &aState) {
                                     for (UINT format : Synthesised) {
                                       const auto *item = Find(aState, format);
                                       ASSERT_NE(nullptr, item) << format;
                                       EXPECT_TRUE(item->Data().empty()) << format;
                                     }
                                     const auto *tiff = Find(aState, CF_TIFF);
                                     ASSERT_NE(nullptr, tiff);
                                     EXPECT_EQ((TBytes{'I', 'I', 42, 0}), tiff->Data());
                                   },
                                   [] {
                                     EXPECT_EQ((TBytes{'I', 'I', 42, 0}), ReadBlock(CF_TIFF));
                                   }},
                    TRoundTripCase{"BlockOfExactly100MiB",
                                   [] {
                                     PutBlocks({{TestFormat(), Pattern(Limit)}});
                                   },
                                   [](const TClipboardStateContainer &aState) {
                                     ASSERT_EQ(1, aState.Count());
                                     EXPECT_TRUE(aState[0].Data() == Pattern(Limit));
                                   },
                                   [] { EXPECT_TRUE(ReadBlock(TestFormat()) == Pattern(Limit)); }},
                    TRoundTripCase{"BlockAbove100MiBLeftEmpty",
                                   [] {
                                     PutBlocks({{TestFormat(), Pattern(Limit + 1)}});
                                   },
                                   [](const TClipboardStateContainer &aState) {
                                     ASSERT_EQ(1, aState.Count());
                                     EXPECT_EQ(TestFormat(), aState[0].Format());
                                     EXPECT_TRUE(aState[0].Data().empty());
                                     ExpectOnlyLeftOut(aState, L"Pagekeep Test Binary");
                                   },
                                   [] { EXPECT_TRUE(FormatsOnClipboard().empty()); }}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(ClipboardCapture, EmptyClipboardIsAnEmptyContainer) {
  EmptyTheClipboard();
  const TClipboardState state = CaptureClipboardState(true);
  EXPECT_EQ(0, state().Count());
  TMemoryStream stream;
  state().SaveToStream(stream);
  EXPECT_EQ((TBytes{2, 0}), stream.Bytes());
}

TEST(ClipboardRestore, LoadedTiffWithDataIsRestoredAsABlock) {
  auto container = std::make_unique<TClipboardStateContainer>();
  container->Add(std::make_unique<TClipboardFormatState>(CF_TIFF, L"", TBytes{'I', 'I', 42, 0}));
  container->Add(std::make_unique<TClipboardFormatState>(CF_DIB, L"", TBytes{1, 2, 3}));
  RestoreClipboardState(TAutoPtr::Make(std::move(container)));
  EXPECT_EQ((TBytes{'I', 'I', 42, 0}), ReadBlock(CF_TIFF));
  EXPECT_EQ(std::vector<UINT>{CF_TIFF}, FormatsOnClipboard());
}

// Allocators that fail the way a low-memory system does.
HGLOBAL WINAPI FailFiveByteBlocks(UINT aFlags, SIZE_T aBytes) {
  return aBytes == 5 ? nullptr : ::GlobalAlloc(aFlags, aBytes);
}
HGLOBAL WINAPI DiscardedFiveByteBlocks(UINT aFlags, SIZE_T aBytes) {
  // A zero-size moveable block is discarded: locking it gives null.
  return ::GlobalAlloc(aBytes == 5 ? GMEM_MOVEABLE : aFlags, aBytes == 5 ? 0 : aBytes);
}

struct TAllocatorCase {
  const char *Name;
  TGlobalAllocator Allocator;
};

class ClipboardRestoreWithFailingBlock : public testing::TestWithParam<TAllocatorCase> {
protected:
  void TearDown() override { SetGlobalAllocator(nullptr); }
};

TEST_P(ClipboardRestoreWithFailingBlock, SkipsThatFormatOnly) {
  auto container = std::make_unique<TClipboardStateContainer>();
  container->Add(std::make_unique<TClipboardFormatState>(TestFormat(), L"", TBytes{1, 2, 3, 4, 5}));
  container->Add(std::make_unique<TClipboardFormatState>(CF_UNICODETEXT, L"", TextBytes(L"ok")));
  SetGlobalAllocator(GetParam().Allocator);
  const auto skipped = RestoreClipboardState(TAutoPtr::Make(std::move(container)));
  SetGlobalAllocator(nullptr);
  EXPECT_EQ(nullptr, ::GetOpenClipboardWindow());
  ASSERT_EQ(1u, skipped.size());
  EXPECT_EQ(std::to_wstring(TestFormat()), skipped[0].Name);
  EXPECT_EQ(TLeftOutReason::lrNoMemory, skipped[0].Reason);
  const auto formats = FormatsOnClipboard();
  EXPECT_EQ(formats.end(), std::find(formats.begin(), formats.end(), TestFormat()));
  EXPECT_EQ(L"ok", ReadText());
}

INSTANTIATE_TEST_SUITE_P(Failures, ClipboardRestoreWithFailingBlock,
                         testing::Values(TAllocatorCase{"AllocationFails", FailFiveByteBlocks},
                                         TAllocatorCase{"LockFails", DiscardedFiveByteBlocks}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

} // namespace
