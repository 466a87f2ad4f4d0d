#include "shared/Paths.h"
#include "shared/Handles.h"

#include <gtest/gtest.h>

#include <string>

struct TPathCase {
  const char *Name;
  const wchar_t *Path;
  const wchar_t *Folder;
  const wchar_t *FileName;
};

class PathParts : public ::testing::TestWithParam<TPathCase> {};

TEST_P(PathParts, SplitIntoFolderAndFileName) {
  EXPECT_EQ(GetParam().Folder, FolderOf(GetParam().Path));
  EXPECT_EQ(GetParam().FileName, FileNameOf(GetParam().Path));
}

INSTANTIATE_TEST_SUITE_P(Paths, PathParts,
                         ::testing::Values(TPathCase{"Backslash", L"C:\\a\\b.exe", L"C:\\a\\",
                                                     L"b.exe"},
                                           TPathCase{"Slash", L"C:/a/b.exe", L"C:/a/", L"b.exe"},
                                           TPathCase{"DriveRelative", L"C:b.exe", L"C:", L"b.exe"},
                                           TPathCase{"BareName", L"b.exe", L"", L"b.exe"},
                                           TPathCase{"FolderOnly", L"C:\\a\\", L"C:\\a\\", L""}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(Paths, ModulePathIsThisExecutable) {
  const std::wstring path = ModulePath();
  EXPECT_EQ(L"test_shared.exe", FileNameOf(path));
  EXPECT_TRUE(FileExists(path));
}

TEST(Paths, FileExistsOnlyForFiles) {
  wchar_t folder[MAX_PATH]{};
  ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, folder));
  const std::wstring file = std::wstring(folder) + L"pagekeep-paths-test.txt";
  TFileHandle created(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(created);
  created.Reset();
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(folder)) << "a folder";
  ASSERT_TRUE(::DeleteFileW(file.c_str()));
  EXPECT_FALSE(FileExists(file)) << "gone";
  EXPECT_FALSE(FileExists(L""));
}

TEST(Paths, WithoutTrailingSeparatorDropsEverySeparatorAtTheEnd) {
  EXPECT_EQ(L"C:\\a", WithoutTrailingSeparator(L"C:\\a\\"));
  EXPECT_EQ(L"C:\\a", WithoutTrailingSeparator(L"C:\\a\\/\\"));
  EXPECT_EQ(L"C:\\a", WithoutTrailingSeparator(L"C:\\a"));
  EXPECT_EQ(L"", WithoutTrailingSeparator(L"\\"));
  EXPECT_EQ(L"", WithoutTrailingSeparator(L""));
}
