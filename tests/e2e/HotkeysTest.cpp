#include "PagekeepDriver.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace PagekeepDriver;

class HotkeysTest : public TStartedPagekeepTest {};

TEST_F(HotkeysTest, KeypadAndFKeySelectAPageAndPutItsContentBack) {
  Copy(L"zero");
  EXPECT_EQ(L"Page 3", fApp().Press(VK_NUMPAD3));
  EXPECT_FALSE(ClipboardText().has_value()) << "page 3 is empty";
  Copy(L"three");
  EXPECT_EQ(L"Page 0", fApp().Press(VK_F3));
  EXPECT_EQ(L"zero", ClipboardOrNone());
  EXPECT_EQ(L"Page 3", fApp().Press(VK_F6));
  EXPECT_EQ(L"three", ClipboardOrNone());
  EXPECT_TRUE(fApp().Checked(PageCommand(3)));
}

TEST_F(HotkeysTest, RightFromNineGivesZeroAndLeftFromZeroGivesNine) {
  Copy(L"zero");
  fApp().Press(VK_NUMPAD9);
  Copy(L"nine");
  EXPECT_EQ(L"Page 0", fApp().Press(VK_RIGHT));
  EXPECT_EQ(L"zero", ClipboardOrNone());
  EXPECT_TRUE(fApp().Checked(PageCommand(0)));
  EXPECT_EQ(L"Page 9", fApp().Press(VK_LEFT));
  EXPECT_EQ(L"nine", ClipboardOrNone());
  EXPECT_TRUE(fApp().Checked(PageCommand(9)));
  EXPECT_FALSE(fApp().Checked(PageCommand(0)));
}

TEST_F(HotkeysTest, UpAndDownStepThroughTheHistory) {
  Copy(L"first");  // "before start" goes to the history
  Copy(L"second"); // then "first"
  EXPECT_EQ(L"History -1", fApp().Press(VK_UP));
  EXPECT_EQ(L"first", ClipboardOrNone());
  EXPECT_EQ(L"History -2", fApp().Press(VK_UP));
  EXPECT_EQ(L"before start", ClipboardOrNone());
  EXPECT_EQ(L"", fApp().PressExpectingNothing(VK_UP)) << "past the oldest entry nothing happens";
  EXPECT_EQ(L"before start", ClipboardOrNone());
  EXPECT_EQ(L"History -1", fApp().Press(VK_DOWN));
  EXPECT_EQ(L"Page 0", fApp().Press(VK_DOWN));
  EXPECT_EQ(L"second", ClipboardOrNone());
  EXPECT_EQ(L"", fApp().PressExpectingNothing(VK_DOWN)) << "showing the page already";
}

TEST_F(HotkeysTest, InfoAnnouncesWithoutChangingTheClipboard) {
  Copy(L"zero");
  fApp().Press(VK_UP);
  const DWORD sequence = ::GetClipboardSequenceNumber();
  EXPECT_EQ(L"History -1", fApp().Press('I'));
  EXPECT_EQ(sequence, ::GetClipboardSequenceNumber());
  fApp().Press(VK_NUMPAD0);
  const DWORD pageSequence = ::GetClipboardSequenceNumber();
  EXPECT_EQ(L"Page 0", fApp().Press('I'));
  EXPECT_EQ(pageSequence, ::GetClipboardSequenceNumber());
}

TEST_F(HotkeysTest, PrivateModeTwiceReturnsToNormalAndCopiesBetweenAreNotRecorded) {
  Copy(L"kept");
  EXPECT_EQ(L"Private mode", fApp().Press('E'));
  EXPECT_TRUE(fApp().Checked(tcPrivateMode));
  Copy(L"private");
  EXPECT_EQ(L"Normal mode", fApp().Press('E'));
  EXPECT_FALSE(fApp().Checked(tcPrivateMode));
  EXPECT_FALSE(ClipboardText().has_value()) << "normal mode starts with an empty clipboard";
  // The emptied clipboard was recorded; the history's newest entry is what
  // page 0 held before: "kept", not the private copy.
  EXPECT_EQ(L"History -1", fApp().Press(VK_UP));
  EXPECT_EQ(L"kept", ClipboardOrNone());
}

TEST_F(HotkeysTest, AllFormatsOfACopyComeBackByteForByte) {
  const UINT html = RegisterFormat(L"HTML Format");
  const UINT binary = RegisterFormat(L"Pagekeep.Test.Binary");
  const std::wstring text = L"round trip \u00e9\u4e2d";
  const auto *textBytes = reinterpret_cast<const std::uint8_t *>(text.c_str());
  const std::string htmlBlock =
      "Version:0.9\r\nStartHTML:00000097\r\nEndHTML:00000170\r\n"
      "StartFragment:00000131\r\nEndFragment:00000134\r\n"
      "<html><body><!--StartFragment-->abc<!--EndFragment--></body></html>";
  TBytes binaryData;
  for (int i = 0; i < 4096; ++i)
    binaryData.push_back(static_cast<std::uint8_t>((i * 7) ^ (i >> 3)));
  const std::vector<TClipFormat> copy{
      {CF_UNICODETEXT, TBytes(textBytes, textBytes + (text.size() + 1) * sizeof(wchar_t))},
      {html, TBytes(htmlBlock.begin(), htmlBlock.end())},
      {binary, binaryData}};
  fApp().Press(VK_NUMPAD4);
  CopyFormats(copy);
  EXPECT_EQ(L"Page 5", fApp().Press(VK_NUMPAD5));
  EXPECT_TRUE(ReadClipboard().empty()) << "page 5 is empty";
  EXPECT_EQ(L"Page 4", fApp().Press(VK_NUMPAD4));
  for (const TClipFormat &format : copy) {
    const auto back = ClipboardFormatData(format.Format);
    ASSERT_TRUE(back.has_value()) << "format " << format.Format << " is missing";
    ASSERT_GE(back->size(), format.Data.size());
    EXPECT_EQ(format.Data, TBytes(back->begin(),
                                  back->begin() + static_cast<std::ptrdiff_t>(format.Data.size())))
        << "format " << format.Format;
  }
}

} // namespace
