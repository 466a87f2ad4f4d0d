#include "ModelRig.h"

#include "clipboard/TaggedStream.h"

#include <shlobj.h>

#include <functional>

using namespace ModelTest;

namespace {

TBytes ReadFileBytes(const std::wstring &aFileName) {
  TFileStream stream(aFileName, TFileStream::TMode::fmOpenRead);
  TBytes bytes(static_cast<std::size_t>(stream.Size()));
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}

void WriteFileBytes(const std::wstring &aFileName, const TBytes &aBytes) {
  ::SHCreateDirectoryExW(
      nullptr, (PageStore::GetSpecialFolderPath(CSIDL_APPDATA) + L"\\Pagekeep").c_str(), nullptr);
  TFileStream stream(aFileName, TFileStream::TMode::fmCreate);
  stream.Write(aBytes.data(), aBytes.size());
}

TBytes Hex(const std::string &aHex) {
  TBytes bytes;
  for (std::size_t i = 0; i + 1 < aHex.size(); i += 3)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(aHex.substr(i, 2), nullptr, 16)));
  return bytes;
}

TBytes Repeat(const TBytes &aPart, int aTimes) {
  TBytes all;
  for (int i = 0; i < aTimes; ++i)
    all.insert(all.end(), aPart.begin(), aPart.end());
  return all;
}

TBytes Join(std::initializer_list<TBytes> aParts) {
  TBytes all;
  for (const TBytes &part : aParts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

class DataFiles : public testing::Test {
protected:
  void SetUp() override { DeleteFiles(); }
  void TearDown() override { DeleteFiles(); }
  static void DeleteFiles() {
    for (const std::wstring &file :
         {PageStore::ClipboardDataFileName(), PageStore::HistoryDataFileName()}) {
      ::DeleteFileW(file.c_str());
      ::DeleteFileW((file + L".bad").c_str());
    }
  }
  static bool Deletable(const std::wstring &aFileName) {
    return ::DeleteFileW(aFileName.c_str()) != FALSE;
  }

  TModelRig fRig;
};

TEST_F(DataFiles, NamesAreInTheRoamingAppDataFolder) {
  const std::wstring folder = PageStore::GetSpecialFolderPath(CSIDL_APPDATA);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder + L"\\Pagekeep\\ClipboardData.dat", PageStore::ClipboardDataFileName());
  EXPECT_EQ(folder + L"\\Pagekeep\\HistoryData.dat", PageStore::HistoryDataFileName());
  EXPECT_EQ(L"", PageStore::GetSpecialFolderPath(0x7FFF)) << "unknown folder id";
}

TEST_F(DataFiles, EmptyModelGivesTheGoldenFiles) {
  fRig.Model.SaveData();
  EXPECT_EQ(Join({Hex("00 00 00 00"), Repeat(Hex("02 00"), 10)}),
            ReadFileBytes(PageStore::ClipboardDataFileName()));
  EXPECT_EQ(Hex("00 00 00 00"), ReadFileBytes(PageStore::HistoryDataFileName()));
}

void ExpectSameSnapshot(const TClipboardState &aExpected, const TClipboardState &aActual) {
  ASSERT_EQ(aExpected().Count(), aActual().Count());
  for (int i = 0; i < aExpected().Count(); ++i) {
    EXPECT_EQ(aExpected()[i].Format(), aActual()[i].Format());
    EXPECT_EQ(aExpected()[i].Name(), aActual()[i].Name());
    EXPECT_EQ(aExpected()[i].Data(), aActual()[i].Data());
  }
  EXPECT_TRUE(aActual().ActiveApplication().IsEmpty());
}

TEST_F(DataFiles, SaveThenLoadReproducesPagesActivePageAndHistory) {
  const UINT binary = ::RegisterClipboardFormatW(L"Pagekeep Saved Binary");
  fRig.Copy(L"page zero");
  fRig.ChangeAndSettle([&] { fRig.Model.SetActivePage(2); });
  fRig.CopyBlocks({{binary, {0, 1, 0, 2}}});
  fRig.Copy(L"page two");
  fRig.Model.SaveData();
  // Both rigs listen from here on, so keep what was saved.
  std::vector<TClipboardState> saved;
  for (int page = 0; page < TPageModel::PageCount; ++page)
    saved.push_back(fRig.Model.Page(page));
  const TClipboardState savedHistory = fRig.Model.History().at(0);

  TModelRig other;
  other.Copy(L"already in history");
  other.Copy(L"current");
  ASSERT_EQ(1u, other.Model.History().size());
  other.Model.LoadData();
  EXPECT_EQ(2, other.Model.ActivePage());
  for (int page = 0; page < TPageModel::PageCount; ++page)
    ExpectSameSnapshot(saved[static_cast<std::size_t>(page)], other.Model.Page(page));
  EXPECT_EQ(L"page two", TModelRig::ClipboardText()) << "the active page is put on the clipboard";
  ASSERT_EQ(2u, other.Model.History().size());
  EXPECT_EQ(L"already in history", TModelRig::Text(other.Model.History()[0]));
  ExpectSameSnapshot(savedHistory, other.Model.History()[1]);
  // That restore is not flagged as our own, so it is recorded like a copy.
  const TClipboardState loadedPage = other.Model.Page(2);
  other.ChangeAndSettle([] {});
  ASSERT_EQ(3u, other.Model.History().size());
  EXPECT_TRUE(other.Model.History()[2] == loadedPage);
  EXPECT_EQ(L"page two", TModelRig::Text(other.Model.Page(2)));
}

TEST_F(DataFiles, MissingOrEmptyFiles) {
  fRig.Copy(L"A");
  fRig.Copy(L"B");
  // A missing pages file gives ten empty pages; the history file is still read.
  WriteFileBytes(PageStore::HistoryDataFileName(), Join({Hex("01 00 00 00"), Hex("02 00")}));
  fRig.Model.LoadData();
  EXPECT_EQ(0, fRig.Model.Page(0)().Count());
  EXPECT_EQ(2u, fRig.Model.History().size());
  // An empty pages file: ten empty pages, the history file is not read.
  fRig.Copy(L"C");
  WriteFileBytes(PageStore::ClipboardDataFileName(), {});
  fRig.Model.LoadData();
  EXPECT_EQ(0, fRig.Model.Page(0)().Count());
  EXPECT_EQ(2u, fRig.Model.History().size());
  // Missing or empty history: the history stays as it was.
  WriteFileBytes(PageStore::ClipboardDataFileName(),
                 Join({Hex("00 00 00 00"), Repeat(Hex("02 00"), 10)}));
  WriteFileBytes(PageStore::HistoryDataFileName(), {});
  fRig.Model.LoadData();
  ::DeleteFileW(PageStore::HistoryDataFileName().c_str());
  fRig.Model.LoadData();
  EXPECT_EQ(2u, fRig.Model.History().size());
}

enum class TWhich { Pages, History };

struct TBadFileCase {
  const char *Name;
  TWhich File;
  TBytes Bytes;
  const char *Message;
  bool Folder = false;
};

class DataFilesRejectBadInput : public DataFiles, public testing::WithParamInterface<TBadFileCase> {
protected:
  void TearDown() override {
    const std::wstring aside = DamagedFile() + L".bad";
    if (!::DeleteFileW(aside.c_str()))
      ::RemoveDirectoryW(aside.c_str());
    ::RemoveDirectoryW(DamagedFile().c_str());
    DataFiles::TearDown();
  }
  std::wstring DamagedFile() const {
    return GetParam().File == TWhich::Pages ? PageStore::ClipboardDataFileName()
                                            : PageStore::HistoryDataFileName();
  }
};

// All or nothing: both files are read to their end before anything changes,
// and the damaged one is put aside, unlocked, for the next save not to
// overwrite it.
TEST_P(DataFilesRejectBadInput, ChangesNothingAndPutsTheFileAside) {
  fRig.Copy(L"kept");
  fRig.Copy(L"kept too");
  const TClipboardState page = fRig.Model.Page(0);
  const std::vector<TClipboardState> history = fRig.Model.History();
  const std::wstring file = DamagedFile();
  if (GetParam().File == TWhich::History)
    WriteFileBytes(PageStore::ClipboardDataFileName(),
                   Join({Hex("03 00 00 00"), Repeat(Hex("02 00"), 10)}));
  if (GetParam().Folder)
    ASSERT_TRUE(::SHCreateDirectoryExW(nullptr, file.c_str(), nullptr) == ERROR_SUCCESS);
  else
    WriteFileBytes(file, GetParam().Bytes);
  const std::vector<std::pair<std::string, std::function<void()>>> loads{
      {"LoadData", [&] { fRig.Model.LoadData(); }},
      {"RestoreSavedPages", [&] { fRig.Model.RestoreSavedPages(); }}};
  for (std::size_t i = 0; i < loads.size(); ++i) {
    SCOPED_TRACE(loads[i].first);
    // The first load put the file aside; the second meets the same damage.
    if (i > 0) {
      ASSERT_TRUE(::MoveFileW((file + L".bad").c_str(), file.c_str()));
    }
    try {
      loads[i].second();
      FAIL() << "loaded";
    } catch (const EDamagedDataFile &e) {
      EXPECT_STREQ(GetParam().Message, e.what());
      EXPECT_TRUE(file == e.FileName());
    }
    EXPECT_TRUE(fRig.Model.Page(0) == page);
    EXPECT_EQ(0, fRig.Model.ActivePage());
    EXPECT_TRUE(fRig.Model.History() == history);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(file.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW((file + L".bad").c_str()));
    if (GetParam().File == TWhich::History) {
      // The whole pages file goes aside with it, not to be overwritten.
      const std::wstring pages = PageStore::ClipboardDataFileName();
      EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(pages.c_str()));
      EXPECT_TRUE(::MoveFileW((pages + L".bad").c_str(), pages.c_str()));
    }
  }
  if (!GetParam().Folder) {
    EXPECT_TRUE(Deletable(file + L".bad")) << "the file was left open";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataFilesRejectBadInput,
    testing::Values(
        TBadFileCase{"ActivePageTen", TWhich::Pages,
                     Join({Hex("0A 00 00 00"), Repeat(Hex("02 00"), 10)}),
                     "Invalid property value"},
        TBadFileCase{"ActivePageNegative", TWhich::Pages,
                     Join({Hex("FF FF FF FF"), Repeat(Hex("02 00"), 10)}),
                     "Invalid property value"},
        TBadFileCase{"ShortHeader", TWhich::Pages, Hex("00 00"), "Stream read error"},
        TBadFileCase{"TruncatedPages", TWhich::Pages,
                     Join({Hex("00 00 00 00"), Repeat(Hex("02 00"), 4)}), "Stream read error"},
        TBadFileCase{"UnknownTag", TWhich::Pages, Join({Hex("00 00 00 00"), Hex("09 00")}),
                     "Invalid property value"},
        TBadFileCase{"DataAfterTheEnd", TWhich::Pages,
                     Join({Hex("00 00 00 00"), Repeat(Hex("02 00"), 10), Hex("00")}),
                     "Invalid property value"},
        TBadFileCase{"FolderInItsPlace", TWhich::Pages, {}, "Not a file", true},
        TBadFileCase{"HistoryClaims2GiB", TWhich::History,
                     Join({Hex("01 00 00 00"), Hex("02 01 02 0D 12 00 00 00 00 04 FF FF FF 7F"),
                           Repeat(Hex("41"), 12)}),
                     "Stream read error"},
        TBadFileCase{"HistoryCountBeyondFile", TWhich::History,
                     Join({Hex("05 00 00 00"), Hex("02 00")}), "Stream read error"}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// The old files are replaced in one step, never deleted first: a save that
// fails part way leaves them whole.
TEST_F(DataFiles, FailedSaveLeavesTheOldFilesWhole) {
  fRig.Copy(L"old");
  fRig.Model.SaveData();
  const TBytes oldPages = ReadFileBytes(PageStore::ClipboardDataFileName());
  fRig.Copy(L"new");
  const std::wstring temporary = PageStore::ClipboardDataFileName() + L".tmp";
  ASSERT_TRUE(::CreateDirectoryW(temporary.c_str(), nullptr));
  EXPECT_THROW(fRig.Model.SaveData(), std::runtime_error);
  EXPECT_TRUE(::RemoveDirectoryW(temporary.c_str()));
  EXPECT_EQ(oldPages, ReadFileBytes(PageStore::ClipboardDataFileName()));
  fRig.Model.SaveData();
  EXPECT_NE(oldPages, ReadFileBytes(PageStore::ClipboardDataFileName()));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(temporary.c_str()))
      << "no temporary file is left";
}

// Start-up's load: the history is replaced, and the active page goes back
// on the clipboard as the program's own change, only onto an empty one.
TEST_F(DataFiles, RestoreSavedPagesPutsTheActivePageBackOnlyOntoAnEmptyClipboard) {
  fRig.Copy(L"first");
  fRig.ChangeAndSettle([&] { fRig.Model.SetActivePage(4); });
  fRig.Copy(L"page four");
  fRig.Copy(L"page four again");
  fRig.Model.SaveData();

  TModelRig other;
  other.Copy(L"on the clipboard");
  ASSERT_TRUE(other.Model.RestoreSavedPages());
  EXPECT_EQ(4, other.Model.ActivePage());
  EXPECT_EQ(L"on the clipboard", TModelRig::ClipboardText()) << "a full clipboard is left alone";
  EXPECT_EQ((std::vector<std::wstring>{L"page four"}), other.HistoryTexts());

  TModelRig third;
  third.ChangeAndSettle([] {
    TClipboardSession session;
    ::EmptyClipboard();
  });
  ASSERT_TRUE(third.Model.RestoreSavedPages());
  EXPECT_EQ(L"page four again", TModelRig::ClipboardText());
  EXPECT_EQ(L"page four again", TModelRig::Text(third.Model.Page(4)));
  EXPECT_TRUE(third.Model.HistoryIgnoreChange()) << "the restore is the program's own change";
}

TEST_F(DataFiles, RestoreSavedPagesWithoutFilesChangesNothing) {
  fRig.Copy(L"kept");
  const TClipboardState page = fRig.Model.Page(0);
  EXPECT_FALSE(fRig.Model.RestoreSavedPages());
  WriteFileBytes(PageStore::ClipboardDataFileName(), {});
  EXPECT_FALSE(fRig.Model.RestoreSavedPages()) << "an empty file: nothing was saved";
  EXPECT_TRUE(fRig.Model.Page(0) == page);
}

TEST_F(DataFiles, SaveFailureOfThePagesFileStopsBeforeTheHistory) {
  // A folder where the pages file should be makes creating it fail.
  const std::wstring pages = PageStore::ClipboardDataFileName();
  ::SHCreateDirectoryExW(nullptr, pages.c_str(), nullptr);
  EXPECT_THROW(fRig.Model.SaveData(), std::runtime_error);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES,
            ::GetFileAttributesW(PageStore::HistoryDataFileName().c_str()));
  EXPECT_TRUE(::RemoveDirectoryW(pages.c_str()));
}

} // namespace
