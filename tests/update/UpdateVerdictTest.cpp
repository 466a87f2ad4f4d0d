#include "update/UpdateVerdict.h"
#include "update/AutomaticUpdate.h"
#include "update/ImageClaims.h"
#include "update/UpdateVersion.h"

#include "UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace UpdateTest;

struct TCompareCase {
  const char *Name;
  const wchar_t *Left;
  const wchar_t *Right;
  std::optional<int> Order;
};

class VersionOrder : public testing::TestWithParam<TCompareCase> {};

TEST_P(VersionOrder, ComparesPartByPartAsNumbers) {
  EXPECT_EQ(GetParam().Order, CompareVersions(GetParam().Left, GetParam().Right));
  // The same pair the other way round gives the opposite order.
  const auto reversed = CompareVersions(GetParam().Right, GetParam().Left);
  EXPECT_EQ(GetParam().Order ? std::optional<int>(-*GetParam().Order) : std::nullopt, reversed);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, VersionOrder,
    testing::Values(
        TCompareCase{"Equal", L"1.0", L"1.0", 0}, TCompareCase{"Older", L"1.0", L"1.1", -1},
        TCompareCase{"Newer", L"2.0", L"1.9", 1}, TCompareCase{"TenAfterNine", L"1.10", L"1.9", 1},
        TCompareCase{"LeadingZerosDoNotCount", L"1.01", L"1.1", 0},
        TCompareCase{"ZeroWithZeros", L"1.000", L"1.0", 0},
        TCompareCase{"MissingPartsAreZero", L"1.0", L"1.0.0.0", 0},
        TCompareCase{"FourthPartCounts", L"1.0.0.1", L"1.0", 1},
        TCompareCase{"LongerThanAnyInteger", L"1.99999999999999999999", L"1.99999999999999999998",
                     1},
        TCompareCase{"Letters", L"1.0a", L"1.0", std::nullopt},
        TCompareCase{"TwoDots", L"1..0", L"1.0", std::nullopt},
        TCompareCase{"TrailingDot", L"1.0.", L"1.0", std::nullopt},
        TCompareCase{"Empty", L"", L"1.0", std::nullopt},
        TCompareCase{"Negative", L"-1.0", L"1.0", std::nullopt},
        TCompareCase{"Spaces", L" 1.0", L"1.0", std::nullopt},
        TCompareCase{"TooLong", L"1.000000000000000000000000000000000", L"1.0", std::nullopt}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

struct TFixedCase {
  const char *Name;
  const wchar_t *Version;
  std::optional<std::array<std::uint16_t, 4>> Parts;
};

class FixedVersion : public testing::TestWithParam<TFixedCase> {};

TEST_P(FixedVersion, FitsTheFourPartsOfAVersionResourceOrNothing) {
  EXPECT_EQ(GetParam().Parts, FixedVersionParts(GetParam().Version));
}

using TParts = std::array<std::uint16_t, 4>;

INSTANTIATE_TEST_SUITE_P(Versions, FixedVersion,
                         testing::Values(TFixedCase{"TwoParts", L"1.10", TParts{1, 10, 0, 0}},
                                         TFixedCase{"FourParts", L"2.0.3.1", TParts{2, 0, 3, 1}},
                                         TFixedCase{"LargestPart", L"65535.0",
                                                    TParts{65535, 0, 0, 0}},
                                         TFixedCase{"PartTooLarge", L"65536.0", std::nullopt},
                                         TFixedCase{"FiveParts", L"1.0.0.0.1", std::nullopt},
                                         TFixedCase{"Junk", L"1.x", std::nullopt}),
                         [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(ImageClaims, TheBuildsProgramNamesItselfAndItsVersion) {
  const auto claims = ReadImageClaims(ReadFileBytes(BuiltProgram(L"Pagekeep.exe")));
  ASSERT_TRUE(claims.has_value());
  EXPECT_EQ(L"Pagekeep", claims->String(L"ProductName"));
  EXPECT_EQ(L"Pagekeep", claims->String(L"InternalName"));
  EXPECT_EQ(TAutomaticUpdate::OwnVersion, claims->String(L"FileVersion"));
  EXPECT_EQ(TAutomaticUpdate::OwnVersion, claims->String(L"ProductVersion"));
  EXPECT_EQ(FixedVersionParts(TAutomaticUpdate::OwnVersion), claims->FileVersion);
  EXPECT_EQ(FixedVersionParts(TAutomaticUpdate::OwnVersion), claims->ProductVersion);
}

// Cut anywhere, the reader finds no claims or claims of what is left, and
// never reads past the end (the sanitizer-free Windows build would crash).
TEST(ImageClaims, AnImageCutShortGivesNoClaimsAndNoFault) {
  const TBytes whole = ReadFileBytes(BuiltProgram(L"Pagekeep.exe"));
  for (size_t length = 0; length < whole.size(); length += 1 + length / 7) {
    const TBytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    const auto claims = ReadImageClaims(cut);
    if (claims) {
      EXPECT_EQ(L"Pagekeep", claims->String(L"ProductName")) << "cut at " << length;
    }
  }
  EXPECT_FALSE(ReadImageClaims(TBytes(4096, 0xFF)).has_value());
}

// The signed builds of the update tests, judged as the first process judges
// what it fetched: only the offered newer build of this program passes.
struct TVerdictCase {
  const char *Name;
  const wchar_t *Image;     // in the fixtures; "*" this build's program, "server" the server's
  const wchar_t *Signature; // in the fixtures
  bool OfferOther;          // the server offered another version than the image's
  TUpdateVerdict Verdict;
};

class Verdict : public testing::TestWithParam<TVerdictCase> {};

TBytes ImageOf(const std::wstring &aName) {
  if (aName == L"*")
    return ReadFileBytes(BuiltProgram(L"Pagekeep.exe"));
  if (aName == L"server")
    return ReadFileBytes(BuiltProgram(L"pagekeep-update-server.exe"));
  return ReadFileBytes(Fixture(aName));
}

TEST_P(Verdict, OnlyTheOfferedNewerBuildOfThisProgramIsAccepted) {
  const TBytes image = ImageOf(GetParam().Image);
  const TBytes signature = ReadFileBytes(Fixture(GetParam().Signature));
  const std::wstring offered = GetParam().OfferOther ? L"99.0" : NewerVersion();
  const TUpdateCandidate candidate{image, signature, offered, TAutomaticUpdate::OwnVersion};
  EXPECT_EQ(GetParam().Verdict, JudgeUpdate(candidate, BuildUpdateKey()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, Verdict,
    testing::Values(TVerdictCase{"NewerBuild", L"update.data", L"update.sig", false,
                                 TUpdateVerdict::uvAccepted},
                    TVerdictCase{"AnotherFilesSignature", L"update.data", L"older.exe.sig", false,
                                 TUpdateVerdict::uvBadSignature},
                    TVerdictCase{"OlderBuild", L"older.exe", L"older.exe.sig", false,
                                 TUpdateVerdict::uvNotTheOffer},
                    TVerdictCase{"RunningBuild", L"*", L"other.sig", false,
                                 TUpdateVerdict::uvNotTheOffer},
                    TVerdictCase{"NewerBuildNotTheOffer", L"update.data", L"update.sig", true,
                                 TUpdateVerdict::uvNotTheOffer},
                    TVerdictCase{"OtherMachineType", L"other-machine.exe", L"other-machine.exe.sig",
                                 false, TUpdateVerdict::uvWrongKind},
                    TVerdictCase{"OtherSignedProgram", L"server", L"server.sig", false,
                                 TUpdateVerdict::uvOtherProduct}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

// The elevated copy checks again with no offer: what counts then is that
// the image is newer than the program that installs it.
TEST(Verdict, WithoutAnOfferAnOlderOrTheSameBuildIsNotNewer) {
  const TBytes older = ReadFileBytes(Fixture(L"older.exe"));
  const TBytes olderSignature = ReadFileBytes(Fixture(L"older.exe.sig"));
  EXPECT_EQ(
      TUpdateVerdict::uvNotNewer,
      JudgeUpdate({older, olderSignature, L"", TAutomaticUpdate::OwnVersion}, BuildUpdateKey()));
  const TBytes own = ReadFileBytes(BuiltProgram(L"Pagekeep.exe"));
  const TBytes ownSignature = ReadFileBytes(Fixture(L"other.sig"));
  EXPECT_EQ(TUpdateVerdict::uvNotNewer,
            JudgeUpdate({own, ownSignature, L"", TAutomaticUpdate::OwnVersion}, BuildUpdateKey()));
  const TBytes newer = NewerBuild();
  const TBytes newerSignature = ReadFileBytes(Fixture(L"update.sig"));
  EXPECT_EQ(
      TUpdateVerdict::uvAccepted,
      JudgeUpdate({newer, newerSignature, L"", TAutomaticUpdate::OwnVersion}, BuildUpdateKey()));
}

} // namespace
