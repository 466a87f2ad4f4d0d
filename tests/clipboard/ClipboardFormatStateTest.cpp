#include "ClipboardTestUtils.h"
#include "clipboard/ClipboardStateContainer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <stdexcept>

using namespace ClipboardTest;

namespace {

TEST(ClipboardFormatState, FormatNameIsEmptyForPredefinedFormats) {
  EXPECT_EQ(L"", TClipboardFormatState::FormatName(CF_UNICODETEXT));
  EXPECT_EQ(L"", TClipboardFormatState::FormatName(CF_BITMAP));
  const UINT id = ::RegisterClipboardFormatW(L"Pagekeep Named Format");
  EXPECT_EQ(L"Pagekeep Named Format", TClipboardFormatState::FormatName(static_cast<WORD>(id)));
}

TEST(ClipboardFormatState, ToStringHasTwoLines) {
  EXPECT_EQ(L"Format: 13\r\nSize: 0", TClipboardFormatState(13, L"", {}).ToString());
  EXPECT_EQ(L"Format: 49300 (HTML Format)\r\nSize: 3",
            TClipboardFormatState(49300, L"HTML Format", {1, 2, 3}).ToString());
}

struct TNameCase {
  UINT Format;
  const wchar_t *Name;
};

class StandardFormatNames : public testing::TestWithParam<TNameCase> {};

TEST_P(StandardFormatNames, MapsIdToConstantName) {
  EXPECT_EQ(GetParam().Name, StandardFormatName(GetParam().Format));
}

INSTANTIATE_TEST_SUITE_P(
    Ids, StandardFormatNames,
    testing::Values(TNameCase{0, L""}, TNameCase{1, L"CF_TEXT"}, TNameCase{2, L"CF_BITMAP"},
                    TNameCase{3, L"CF_METAFILEPICT"}, TNameCase{4, L"CF_SYLK"},
                    TNameCase{5, L"CF_DIF"}, TNameCase{6, L"CF_TIFF"}, TNameCase{7, L"CF_OEMTEXT"},
                    TNameCase{8, L"CF_DIB"}, TNameCase{9, L"CF_PALETTE"},
                    TNameCase{10, L"CF_PENDATA"}, TNameCase{11, L"CF_RIFF"},
                    TNameCase{12, L"CF_WAVE"}, TNameCase{13, L"CF_UNICODETEXT"},
                    TNameCase{14, L"CF_ENHMETAFILE"}, TNameCase{15, L"CF_HDROP"},
                    TNameCase{16, L"CF_LOCALE"}, TNameCase{17, L"CF_DIBV5"},
                    TNameCase{18, L"CF_MAX_XP"}, TNameCase{19, L""}, TNameCase{49152, L""}),
    [](const auto &aInfo) { return "Id" + std::to_string(aInfo.param.Format); });

TEST(ClipboardFormatList, ListsEveryFormatWithItsName) {
  EmptyTheClipboard();
  EXPECT_EQ(L"", ClipboardFormatList());
  const UINT id = ::RegisterClipboardFormatW(L"Pagekeep Listed Format");
  PutBlocks({{CF_UNICODETEXT, {'a', 0, 0, 0}}, {id, {1}}});
  const std::wstring list = ClipboardFormatList();
  EXPECT_NE(std::wstring::npos, list.find(L"13 (CF_UNICODETEXT)\r\n")) << list;
  EXPECT_NE(std::wstring::npos, list.find(std::to_wstring(id) + L" (Pagekeep Listed Format)\r\n"))
      << list;
}

TEST(ClipboardSession, OpensNestAndOnlyTheOutermostCloseCloses) {
  TClipboard &clipboard = Clipboard();
  clipboard.Open();
  const HWND owner = ::GetOpenClipboardWindow();
  EXPECT_NE(nullptr, owner);
  clipboard.Open();
  EXPECT_EQ(2, clipboard.OpenCount());
  clipboard.Close();
  EXPECT_EQ(owner, ::GetOpenClipboardWindow());
  clipboard.Close();
  EXPECT_EQ(nullptr, ::GetOpenClipboardWindow());
  EXPECT_FALSE(clipboard.IsOpen());
}

TEST(ClipboardSession, BusyClipboardRaisesTheOpenErrorAndChangesNothing) {
  PutText(L"before");
  const TClipboardState other = TAutoPtr::Make(std::make_unique<TClipboardStateContainer>());
  {
    TClipboardHolder holder;
    ASSERT_TRUE(holder.Opened());
    try {
      Clipboard().Open();
      Clipboard().Close();
      GTEST_SKIP() << "this system lets a second thread open a clipboard held by another";
    } catch (const EClipboardOpenError &e) {
      EXPECT_EQ(0, std::string(e.what()).rfind("Cannot open clipboard: ", 0)) << e.what();
    }
    EXPECT_THROW(RestoreClipboardState(other), EClipboardOpenError);
    EXPECT_EQ(0, CaptureClipboardState(false)().Count());
    EXPECT_FALSE(Clipboard().IsOpen());
  }
  EXPECT_EQ(L"before", ReadText());
}

TEST(ClipboardSession, TryingABusyClipboardOpensAndClosesNothing) {
  TClipboardHolder holder;
  ASSERT_TRUE(holder.Opened()) << "the holder thread never got the clipboard";
  {
    TClipboardSession session(std::try_to_lock, std::chrono::milliseconds(0));
    EXPECT_FALSE(session.Opened());
    EXPECT_FALSE(Clipboard().IsOpen());
  }
  EXPECT_EQ(0, Clipboard().OpenCount());
}

TEST(ClipboardSession, ClosesItsOwnOpenOnEveryWayOut) {
  {
    TClipboardSession outer;
    const HWND owner = ::GetOpenClipboardWindow();
    {
      TClipboardSession inner(std::try_to_lock);
      EXPECT_TRUE(inner.Opened());
      EXPECT_EQ(2, Clipboard().OpenCount());
    }
    EXPECT_EQ(owner, ::GetOpenClipboardWindow()) << "the inner session closed the outer's";
    EXPECT_THROW(
        {
          TClipboardSession failing;
          throw std::runtime_error("fails while open");
        },
        std::runtime_error);
    EXPECT_EQ(1, Clipboard().OpenCount());
  }
  EXPECT_EQ(nullptr, ::GetOpenClipboardWindow());
  EXPECT_FALSE(Clipboard().IsOpen());
}

} // namespace

namespace {

// A palette is a GDI object, no global memory block; its capture stays
// empty instead of reading through the handle.
TEST(ClipboardFormatState, HandleThatIsNoGlobalBlockIsCapturedEmpty) {
  const UINT format = CF_PALETTE;
  {
    TClipboardSession session;
    ASSERT_TRUE(::EmptyClipboard());
    LOGPALETTE entries{0x300, 1, {{1, 2, 3, 0}}};
    TGdiObjectHandle palette(::CreatePalette(&entries));
    ASSERT_TRUE(palette);
    if (::SetClipboardData(format, palette.Get()))
      palette.Detach();
  }
  TClipboardSession session;
  const HANDLE handle = ::GetClipboardData(format);
  if (!handle)
    GTEST_SKIP() << "this system keeps no palette on the clipboard";
  if (::GlobalFlags(handle) != GMEM_INVALID_HANDLE)
    GTEST_SKIP() << "this system reports global-memory flags " << ::GlobalFlags(handle)
                 << " for a GDI handle, not GMEM_INVALID_HANDLE";
  const TClipboardFormatState state(static_cast<WORD>(format));
  EXPECT_EQ(format, state.Format());
  EXPECT_TRUE(state.Data().empty());
}

} // namespace
