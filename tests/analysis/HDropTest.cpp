#include "analysis/Format.hDrop.h"

#include "AnalysisTestSupport.h"
#include "clipboard/ClipboardSession.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>

namespace {

using namespace AnalysisTest;
using TInfo = ThDropAnalyzer::TFileOperationInfo;

// A DROPFILES block as the shell writes it: header, paths, empty path.
std::vector<std::uint8_t> DropBlock(const std::vector<std::wstring> &aPaths, bool aWide = true) {
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = aWide;
  std::vector<std::uint8_t> block(sizeof(header));
  std::memcpy(block.data(), &header, sizeof(header));
  for (const std::wstring &path : aPaths) {
    if (aWide) {
      const auto bytes = UnicodeBytes(path);
      block.insert(block.end(), bytes.begin(), bytes.end());
    } else {
      for (wchar_t c : path)
        block.push_back(static_cast<std::uint8_t>(c));
      block.push_back(0);
    }
  }
  block.insert(block.end(), aWide ? 2 : 1, 0);
  return block;
}

std::vector<std::uint8_t> WithOffset(std::vector<std::uint8_t> aBlock, std::uint32_t aOffset) {
  std::memcpy(aBlock.data(), &aOffset, sizeof(aOffset));
  return aBlock;
}

std::vector<std::uint8_t> WithoutLastBytes(std::vector<std::uint8_t> aBlock, std::size_t aCount) {
  aBlock.resize(aBlock.size() - aCount);
  return aBlock;
}

std::vector<std::uint8_t> WithWideFlag(std::vector<std::uint8_t> aBlock, std::uint32_t aWide) {
  std::memcpy(aBlock.data() + offsetof(DROPFILES, fWide), &aWide, sizeof(aWide));
  return aBlock;
}

const std::vector<std::wstring> TwoPaths{L"C:\\Users\\Me\\caf\u00E9 menu.txt", L"D:\\b.txt"};

struct TDropCase {
  const char *fName;
  std::vector<std::uint8_t> fBlock;
  std::vector<std::wstring> fExpected;
};

class ReadFileOperationCases : public testing::TestWithParam<TDropCase> {};

// Every block ends right before an inaccessible page: whatever the header
// claims, reading past the captured bytes would fault.
TEST_P(ReadFileOperationCases, YieldsWhatTheBytesHoldAndReadsNoFurther) {
  const TGuardedBytes block(GetParam().fBlock);
  EXPECT_EQ(GetParam().fExpected, ThDropAnalyzer::ReadFileOperation(block.Span()).fItems);
}

INSTANTIATE_TEST_SUITE_P(
    HDrop, ReadFileOperationCases,
    testing::Values(
        TDropCase{"Wide", DropBlock(TwoPaths), TwoPaths},
        TDropCase{"Ansi",
                  DropBlock({L"C:\\a.txt", L"C:\\b c.txt"}, false),
                  {L"C:\\a.txt", L"C:\\b c.txt"}},
        TDropCase{"Empty", {}, {}},
        TDropCase{"ShorterThanItsHeader", WithoutLastBytes(DropBlock({}), 3), {}},
        TDropCase{"NoPaths", DropBlock({}), {}},
        TDropCase{"OffsetBeyondTheBlock", WithOffset(DropBlock(TwoPaths), 100000), {}},
        TDropCase{"OffsetAtTheEnd", WithOffset(DropBlock({L"x"}), 26), {}},
        TDropCase{"OffsetFarOutside", WithOffset(DropBlock(TwoPaths), 0xFFFFFFF0u), {}},
        TDropCase{"WithoutTheFinalTerminator", WithoutLastBytes(DropBlock(TwoPaths), 2), TwoPaths},
        TDropCase{"LastPathWithoutTerminator", WithoutLastBytes(DropBlock(TwoPaths), 4), TwoPaths},
        TDropCase{
            "OddLength", WithoutLastBytes(DropBlock(TwoPaths), 5), {TwoPaths[0], L"D:\\b.tx"}},
        TDropCase{"AnsiWithoutAnyTerminator",
                  WithoutLastBytes(DropBlock({L"C:\\a"}, false), 2),
                  {L"C:\\a"}},
        // Narrow paths read as wide pair their bytes into other characters.
        TDropCase{"WideFlagLiesAboutAnsiPaths",
                  WithWideFlag(DropBlock({L"ab", L"cd"}, false), 1),
                  {L"\u6261\u6300d"}},
        // Wide paths read as narrow end at the first zero byte of each.
        TDropCase{
            "NarrowFlagLiesAboutWidePaths", WithWideFlag(DropBlock({L"ab"}), 0), {L"a", L"b"}}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

struct TListCase {
  const char *fName;
  std::vector<std::wstring> fPaths;
  std::wstring fExpected;
};

class FormatFileListCases : public testing::TestWithParam<TListCase> {};

TEST_P(FormatFileListCases, SortsNamesAndStopsAt140) {
  EXPECT_EQ(GetParam().fExpected, ThDropAnalyzer::FormatFileList(GetParam().fPaths));
}

const std::wstring A68(68, L'A'), B70(70, L'B'), B71(71, L'B'), C5(5, L'C'), Long200(200, L'n');

INSTANTIATE_TEST_SUITE_P(
    HDrop, FormatFileListCases,
    testing::Values(
        TListCase{"Nothing", {}, L""},
        TListCase{"SortedByCodeUnit",
                  {L"C:\\x\\b.txt", L"C:\\x\\C.txt", L"C:\\x\\a.txt"},
                  L"C.txt\r\na.txt\r\nb.txt"},
        TListCase{"NamesAfterColonOrBackslash",
                  {L"C:relative.txt", L"plain", L"\\\\server\\share\\z"},
                  L"plain\r\nrelative.txt\r\nz"},
        TListCase{"Exactly140EndsWithoutEllipsis", {A68, B70, C5}, A68 + L"\r\n" + B70},
        TListCase{"Over140EndsWithEllipsis", {A68, B71, C5}, A68 + L"\r\n" + B71 + L"\r\n..."},
        TListCase{"Over140WithNothingLeftOut", {A68, B71}, A68 + L"\r\n" + B71 + L"\r\n..."},
        TListCase{"OneLongNameIsWhole", {L"C:\\" + Long200}, Long200 + L"\r\n..."},
        TListCase{"ShortListIsWhole", {L"x\\b", L"x\\a"}, L"a\r\nb"}),
    [](const auto &aInfo) { return TestName(aInfo.param.fName); });

TEST(HDrop, DescribesTheDropWithItsSourceProgramOnly) {
  const std::wstring source = FixturePath(L"fixture_named");
  ThDropAnalyzer analyzer;
  auto three = MakeSnapshot(
      {{CF_HDROP, L"", DropBlock({L"C:\\b.txt", L"C:\\C.txt", L"C:\\a.txt"})}}, source);
  auto description = analyzer.Analyze(three);
  ASSERT_TRUE(description);
  EXPECT_EQ(L"File operation (3 items)", description().ShortDescription());
  EXPECT_EQ(L"C.txt\r\na.txt\r\nb.txt", description().LongDescription());
  EXPECT_EQ(TContentType::ctText, description().ContentType());
  EXPECT_TRUE(description().Icon());
  EXPECT_NE(DefaultBackgroundColor, description().Color());
  EXPECT_FALSE(description().ParticularSupport());

  auto one = analyzer.Analyze(MakeSnapshot({{CF_HDROP, L"", DropBlock({L"C:\\a.txt"})}}, source));
  EXPECT_EQ(L"File operation (1 items)", one().ShortDescription());
  auto broken = analyzer.Analyze(MakeSnapshot({{CF_HDROP, L"", {1, 2, 3}}}, source));
  EXPECT_EQ(L"File operation (0 items)", broken().ShortDescription());

  EXPECT_FALSE(analyzer.Analyze(MakeSnapshot({{CF_HDROP, L"", DropBlock({L"C:\\a"})}})));
  EXPECT_FALSE(analyzer.Analyze(MakeSnapshot({{CF_UNICODETEXT, L"", UnicodeBytes(L"a")}}, source)));
}

// The registry asks the drop analyzer before the universal one; without a
// source program both decline and the default analyzer passes CF_HDROP over.
TEST(HDrop, RegistryOrderForDrops) {
  const auto block = DropBlock({L"C:\\a.txt"});
  auto named = ClipboardAnalyzers().DescriptionForState(
      MakeSnapshot({{CF_HDROP, L"", block}}, FixturePath(L"fixture_named")));
  EXPECT_EQ(L"File operation (1 items)", named().ShortDescription());
  auto anonymous = ClipboardAnalyzers().DescriptionForState(
      MakeSnapshot({{CF_HDROP, L"", block}, {CF_UNICODETEXT, L"", UnicodeBytes(L"C:\\a.txt")}}));
  EXPECT_EQ(L"Text", anonymous().ShortDescription());
}

TEST(HDrop, ReadsADropTakenFromTheRealClipboard) {
  const std::vector<std::wstring> paths{L"C:\\windows\\win.ini",
                                        L"C:\\Temp\\n\u00E4me with spaces.txt"};
  const auto block = DropBlock(paths);
  {
    TClipboardSession session;
    ASSERT_TRUE(::EmptyClipboard());
    TGlobalHandle memory(::GlobalAlloc(GMEM_MOVEABLE, block.size()));
    ASSERT_TRUE(memory);
    {
      TGlobalLock lock(memory.Get());
      std::memcpy(lock.Data(), block.data(), block.size());
    }
    ASSERT_TRUE(::SetClipboardData(CF_HDROP, memory.Get()));
    memory.Detach(); // the clipboard owns it now
  }
  TClipboardState captured = CaptureClipboardState(false);
  const TClipboardFormatState *drop = nullptr;
  for (const TClipboardFormatState &format : captured())
    if (format.Format() == CF_HDROP)
      drop = &format;
  ASSERT_NE(nullptr, drop);
  EXPECT_EQ(paths, ThDropAnalyzer::ReadFileOperation(drop->Data()).fItems);
  auto description = ThDropAnalyzer().Analyze(
      MakeSnapshot({{CF_HDROP, L"", drop->Data()}}, FixturePath(L"fixture_named")));
  EXPECT_EQ(L"File operation (2 items)", description().ShortDescription());
  EXPECT_EQ(L"n\u00E4me with spaces.txt\r\nwin.ini", description().LongDescription());
}

} // namespace
