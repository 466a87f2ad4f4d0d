// Pictures copied as CF_BITMAP, from a few pixels to the largest the program
// keeps: every one is recorded whole and comes back with its pixels.
#include "PagekeepDriver.h"
#include "harness/TestPictures.h"

#include <chrono>
#include <cstring>
#include <string>

namespace {

using namespace PagekeepDriver;
using namespace std::chrono_literals;

// A program's clipboard owner: a window of this thread, which answers while
// the test waits (the harness pumps its messages).
TWindowHandle MakeOwner() {
  TWindowHandle owner(::CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        ::GetModuleHandleW(nullptr), nullptr));
  CheckWin32(static_cast<bool>(owner), "CreateWindowExW");
  return owner;
}

void CopyBitmap(TBitmapHandle aBitmap, HWND aOwner) {
  CheckWin32(WaitUntil([&] { return ::OpenClipboard(aOwner) != FALSE; }, 3s), "OpenClipboard");
  struct TCloser {
    ~TCloser() { ::CloseClipboard(); }
  } closer;
  CheckWin32(::EmptyClipboard(), "EmptyClipboard");
  CheckWin32(::SetClipboardData(CF_BITMAP, aBitmap.Get()) != nullptr, "SetClipboardData");
  aBitmap.Detach(); // the clipboard owns it now
}

std::optional<TPixels> ClipboardPicture() {
  TOpenClipboard clipboard;
  const auto bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
  if (!bitmap)
    return std::nullopt;
  return ReadPixels(bitmap);
}

// Size and every pixel; on a difference, where the first one is.
testing::AssertionResult IsPattern(const std::optional<TPixels> &aPicture, int aWidth, int aHeight,
                                   std::uint32_t aSeed) {
  if (!aPicture)
    return testing::AssertionFailure() << "no CF_BITMAP on the clipboard";
  if (aPicture->Width != aWidth || aPicture->Height != aHeight)
    return testing::AssertionFailure() << "a " << aPicture->Width << "x" << aPicture->Height
                                       << " picture, not " << aWidth << "x" << aHeight;
  const std::vector<std::uint32_t> expected = PatternPixels(aWidth, aHeight, aSeed);
  for (std::size_t i = 0; i < expected.size(); ++i)
    if (aPicture->Pixels[i] != expected[i])
      return testing::AssertionFailure()
             << "pixel (" << i % static_cast<std::size_t>(aWidth) << ", "
             << i / static_cast<std::size_t>(aWidth) << ") differs";
  return testing::AssertionSuccess();
}

// Presses Alt+Win+aKey and waits for the card it leads to, for as long as
// a large copy before it may take to be read (a page switch waits for it).
std::wstring PressAfterLargeCopy(TPagekeep &aApp, WORD aKey) {
  const unsigned before = aApp.AnnouncementNumber();
  PressKeys({VK_LWIN, VK_MENU, aKey});
  if (!WaitUntil([&] { return aApp.AnnouncementNumber() > before; }, 30s))
    return L"";
  return aApp.WaitForAnnouncement(before);
}

// Under Wine the owner of a copied bitmap makes the DIB formats another
// process reads from it, and answers nothing meanwhile: measured, a second or
// more for a 48 MB picture on a busy machine, which a page switch pressed
// meanwhile rightly takes for a program stuck in rendering. So where the
// copy has an owner, its capture is let finish first (the capture opens the
// clipboard soon after the copy and closes it when done); a switch that waits
// for a long read is the case without an owner, which nothing can take for
// a stuck one.
void WaitForTheCopyToBeRead(bool aWithOwner) {
  if (!aWithOwner)
    return;
  const auto opened = [] { return ::GetOpenClipboardWindow() != nullptr; };
  if (WaitUntil(opened, 2s, 1ms))
    WaitUntil([&] { return !opened(); }, 30s);
}

bool UnderWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Measured with Wine 8's 64-bit loader: another process gets a DIB section
// copied as CF_BITMAP as a handle that GetObjectW and GetDIBits refuse (and
// the CF_DIB Wine makes from it is empty), so no program can read it there.
// On Windows the bitmap handle is shared, and the rows run.
bool DibSectionsCrossProcesses() {
  return !UnderWine();
}

struct TPictureCase {
  const char *Name;
  TBitmapKind Kind;
  int Width, Height;
  bool WithOwner = true; // copied by a program with a window, as programs do
};

class LargePictures : public TStartedPagekeepTest,
                      public testing::WithParamInterface<TPictureCase> {};

// The way back to page 0 restores what was recorded. Without an owner the
// switch is pressed while the copy is read: it waits for the read (a read
// that takes a while is not a program stuck in rendering).
TEST_P(LargePictures, ACopiedBitmapIsRecordedWholeAndRestored) {
  const TPictureCase &picture = GetParam();
  if (picture.Kind == TBitmapKind::bkDibSection && !DibSectionsCrossProcesses())
    GTEST_SKIP() << "under Wine another process cannot read a DIB section copied as CF_BITMAP";
  const TWindowHandle owner = MakeOwner();
  CopyBitmap(MakePatternBitmap(picture.Kind, picture.Width, picture.Height, 7),
             picture.WithOwner ? owner.Get() : nullptr);
  WaitForTheCopyToBeRead(picture.WithOwner);
  EXPECT_EQ(L"Page 1", PressAfterLargeCopy(fApp(), VK_NUMPAD1));
  EXPECT_EQ(L"Page 0", PressAfterLargeCopy(fApp(), VK_NUMPAD0));
  EXPECT_TRUE(IsPattern(ClipboardPicture(), picture.Width, picture.Height, 7));
}

// From a pixel to a 48 MiB picture; the largest kept (8192 x 8192) and one
// past it are in test_clipboard, in one process, since under Wine a picture
// reaches another process only at some 50-100 MiB/s.
INSTANTIATE_TEST_SUITE_P(
    Sizes, LargePictures,
    testing::Values(
        TPictureCase{"Compatible1x1", TBitmapKind::bkScreenCompatible, 1, 1},
        TPictureCase{"Compatible500", TBitmapKind::bkScreenCompatible, 500, 500},
        TPictureCase{"Compatible2000", TBitmapKind::bkScreenCompatible, 2000, 2000},
        TPictureCase{"Compatible2000NoOwner", TBitmapKind::bkScreenCompatible, 2000, 2000, false},
        TPictureCase{"Compatible4000x3000", TBitmapKind::bkScreenCompatible, 4000, 3000},
        TPictureCase{"DibSection500", TBitmapKind::bkDibSection, 500, 500},
        TPictureCase{"DibSection2000", TBitmapKind::bkDibSection, 2000, 2000},
        TPictureCase{"DibSection1x8000", TBitmapKind::bkDibSection, 1, 8000}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

class LargePicturesAtOnce : public TStartedPagekeepTest {};

TEST_F(LargePicturesAtOnce, SeveralLargePicturesInSeveralPagesAreEachKeptWhole) {
  const TBitmapKind otherKind =
      DibSectionsCrossProcesses() ? TBitmapKind::bkDibSection : TBitmapKind::bkScreenCompatible;
  const TPictureCase pictures[] = {{"", TBitmapKind::bkScreenCompatible, 2000, 2000},
                                   {"", otherKind, 3000, 2000},
                                   {"", TBitmapKind::bkScreenCompatible, 1920, 1080},
                                   {"", otherKind, 2560, 1600}};
  const TWindowHandle owner = MakeOwner();
  for (std::uint32_t page = 0; page < std::size(pictures); ++page) {
    EXPECT_EQ(L"Page " + std::to_wstring(page),
              PressAfterLargeCopy(fApp(), static_cast<WORD>(VK_NUMPAD0 + page)));
    const TPictureCase &picture = pictures[page];
    CopyBitmap(MakePatternBitmap(picture.Kind, picture.Width, picture.Height, page), owner.Get());
    WaitForTheCopyToBeRead(true);
  }
  for (std::uint32_t page = 0; page < std::size(pictures); ++page) {
    const TPictureCase &picture = pictures[page];
    EXPECT_EQ(L"Page " + std::to_wstring(page),
              PressAfterLargeCopy(fApp(), static_cast<WORD>(VK_NUMPAD0 + page)));
    EXPECT_TRUE(IsPattern(ClipboardPicture(), picture.Width, picture.Height, page))
        << "page " << page;
  }
}

} // namespace
