#include "TestBytes.h"
#include "clipboard/TaggedStream.h"

#include <gtest/gtest.h>

using namespace TestBytes;

namespace {

struct TIntegerCase {
  const char *Name;
  std::int64_t Value;
  const char *Hex;
};

class TaggedInteger : public testing::TestWithParam<TIntegerCase> {};

TEST_P(TaggedInteger, IsWrittenInTheSmallestFormAndReadBack) {
  ::TBytes out;
  AppendTaggedInteger(out, GetParam().Value);
  EXPECT_EQ(Hex(GetParam().Hex), out);
  if (GetParam().Value >= INT32_MIN && GetParam().Value <= INT32_MAX) {
    TMemoryStream stream(out);
    TTaggedReader reader(stream);
    EXPECT_EQ(GetParam().Value, reader.ReadInteger());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TaggedInteger,
    testing::Values(TIntegerCase{"Zero", 0, "02 00"}, TIntegerCase{"Int8Max", 127, "02 7F"},
                    TIntegerCase{"Int8Min", -128, "02 80"},
                    TIntegerCase{"Int16Low", 128, "03 80 00"},
                    TIntegerCase{"Int16Neg", -129, "03 7F FF"},
                    TIntegerCase{"Int16Max", 32767, "03 FF 7F"},
                    TIntegerCase{"Int16Min", -32768, "03 00 80"},
                    TIntegerCase{"RegisteredId", 49152, "04 00 C0 00 00"},
                    TIntegerCase{"Int32Max", 2147483647, "04 FF FF FF 7F"},
                    TIntegerCase{"Int32Min", -2147483648LL, "04 00 00 00 80"},
                    TIntegerCase{"Int64", 2147483648LL, "13 00 00 00 80 00 00 00 00"}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

struct TStringCase {
  const char *Name;
  std::wstring Text;
  ::TBytes Expected;
};

class TaggedString : public testing::TestWithParam<TStringCase> {};

TEST_P(TaggedString, IsWrittenInTheExpectedFormAndReadBack) {
  ::TBytes out;
  AppendTaggedString(out, GetParam().Text);
  EXPECT_EQ(GetParam().Expected, out);
  TMemoryStream stream(out);
  TTaggedReader reader(stream);
  EXPECT_EQ(GetParam().Text, reader.ReadString());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TaggedString,
    testing::Values(TStringCase{"Empty", L"", Hex("12 00 00 00 00")},
                    TStringCase{"ShortAscii", L"HTML Format",
                                Concat({Hex("06 0B"), Ascii("HTML Format")})},
                    TStringCase{"Ascii255", std::wstring(255, L'a'),
                                Concat({Hex("06 FF"), Ascii(std::string(255, 'a'))})},
                    TStringCase{"Ascii256", std::wstring(256, L'a'),
                                Concat({Hex("0C 00 01 00 00"), Ascii(std::string(256, 'a'))})},
                    // Cyrillic takes two bytes per letter in UTF-8 and in UTF-16.
                    TStringCase{"Cyrillic", L"\u0424\u043E\u0440\u043C\u0430\u0442",
                                Hex("12 06 00 00 00 24 04 3E 04 40 04 3C 04 30 04 42 04")},
                    // Mostly ASCII with one accent: UTF-8 is shorter, so tag 20.
                    TStringCase{"Utf8Shorter", L"Caf\u00E9 data",
                                Hex("14 0A 00 00 00 43 61 66 C3 A9 20 64 61 74 61")},
                    TStringCase{"LoneSurrogateStaysUtf16", L"abcdef\xD800",
                                Hex("12 07 00 00 00 61 00 62 00 63 00 64 00 65 00 66 00 00 D8")}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(TaggedString, LongAnsiFormIsRead) {
  TMemoryStream stream(Concat({Hex("0C 03 00 00 00"), Ascii("abc")}));
  TTaggedReader reader(stream);
  EXPECT_EQ(L"abc", reader.ReadString());
}

TEST(StreamFormat, GoldenContainers) {
  EXPECT_EQ(Hex("02 01 02 0D 12 00 00 00 00 02 06 68 00 69 00 00 00"),
            Saved(*MakeContainer({{13, L"", Hex("68 00 69 00 00 00")}})));
  EXPECT_EQ(Hex("02 00"), Saved(*MakeContainer({})));
  const ::TBytes registered = Saved(*MakeContainer({{49152, L"Rich Format", Hex("01 02 03")}}));
  const ::TBytes start = Concat({Hex("02 01 04 00 C0 00 00 06 0B"), Ascii("Rich Format")});
  ASSERT_GE(registered.size(), start.size());
  const auto split = registered.begin() + static_cast<std::ptrdiff_t>(start.size());
  EXPECT_EQ(start, ::TBytes(registered.begin(), split));
  EXPECT_EQ(Hex("02 03 01 02 03"), ::TBytes(split, registered.end()));
}

TEST(StreamFormat, FormatWithoutDataIsSavedWithSizeZero) {
  EXPECT_EQ(Hex("02 01 02 03 12 00 00 00 00 02 00"), Saved(*MakeContainer({{3, L"", {}}})));
}

// The capture helper writes a format's record as its head followed by the
// data taken straight from the clipboard's block; that must be the very
// record the stream format writes, for every form of name and size.
TEST(StreamFormat, RecordHeadFollowedByTheDataIsTheFormatsRecord) {
  const std::vector<TFormatSample> cases = {
      {13, L"", Hex("68 00 69 00 00 00")},
      {3, L"", {}},
      {49152, L"Rich Format", Hex("01 02 03")},
      {49153, std::wstring(300, L'n'), ::TBytes(40, 7)},
      {49154, L"\u0424\u043e\u0440\u043c\u0430\u0442", ::TBytes(200, 9)},
      {49155, L"Caf\u00e9 format", ::TBytes(70000, 1)}};
  for (const TFormatSample &row : cases) {
    const auto container = MakeContainer({row});
    TMemoryStream record;
    TClipboardStateContainer::SaveFormatToStream((*container)[0], record);
    const ::TBytes head =
        TClipboardStateContainer::FormatRecordHead(row.Format, row.Name, row.Data.size());
    EXPECT_EQ(Concat({head, row.Data}), record.Bytes()) << row.Format;
  }
}

void ExpectSameFormats(const TClipboardStateContainer &aExpected,
                       const TClipboardStateContainer &aActual) {
  ASSERT_EQ(aExpected.Count(), aActual.Count());
  for (int i = 0; i < aExpected.Count(); ++i) {
    EXPECT_EQ(aExpected[i].Format(), aActual[i].Format());
    EXPECT_EQ(aExpected[i].Name(), aActual[i].Name());
    EXPECT_EQ(aExpected[i].Data(), aActual[i].Data());
  }
}

TEST(StreamFormat, TenContainersBackToBackReadBackInOrder) {
  std::vector<std::unique_ptr<TClipboardStateContainer>> written;
  TMemoryStream stream;
  for (int i = 0; i < 10; ++i) {
    std::vector<TFormatSample> formats;
    for (int f = 0; f < i; ++f)
      formats.push_back({static_cast<WORD>(f % 2 ? 13 : 49152 + f),
                         f % 2 ? L"" : L"Format " + std::to_wstring(f),
                         ::TBytes(static_cast<std::size_t>(f * 37), static_cast<std::uint8_t>(i))});
    written.push_back(MakeContainer(formats));
    written.back()->SaveToStream(stream);
  }
  stream.SetPosition(0);
  for (int i = 0; i < 10; ++i) {
    auto loaded = TClipboardStateContainer::LoadFromStream(stream);
    ExpectSameFormats(*written[static_cast<std::size_t>(i)], *loaded);
    EXPECT_TRUE(loaded->ActiveApplication().IsEmpty());
  }
  EXPECT_EQ(stream.Size(), stream.Position());
}

TEST(StreamFormat, LoaderLeavesStreamOnTheFirstByteAfterTheContainer) {
  TMemoryStream stream(Concat({Hex("AA BB"), Saved(*MakeContainer({{13, L"", Hex("41 00")}})),
                               Ascii(std::string(100, 'z'))}));
  stream.SetPosition(2);
  auto loaded = TClipboardStateContainer::LoadFromStream(stream);
  EXPECT_EQ(1, loaded->Count());
  EXPECT_EQ(2 + 13, stream.Position());
}

TEST(StreamFormat, LoadsThroughAFile) {
  wchar_t folder[MAX_PATH] = {};
  ASSERT_NE(0u, ::GetTempPathW(MAX_PATH, folder));
  const std::wstring file = std::wstring(folder) + L"pagekeep-stream-test.dat";
  auto container = MakeContainer({{49153, L"Blob", ::TBytes(100000, 7)}, {13, L"", Hex("41 00")}});
  {
    TFileStream out(file, TFileStream::TMode::fmCreate);
    container->SaveToStream(out);
    container->SaveToStream(out);
  }
  {
    TFileStream in(file, TFileStream::TMode::fmOpenRead);
    ExpectSameFormats(*container, *TClipboardStateContainer::LoadFromStream(in));
    ExpectSameFormats(*container, *TClipboardStateContainer::LoadFromStream(in));
    EXPECT_EQ(in.Size(), in.Position());
  }
  EXPECT_TRUE(::DeleteFileW(file.c_str()));
}

enum class TError { ReadError, InvalidValue };

struct TBadInputCase {
  const char *Name;
  ::TBytes Input;
  TError Expected;
};

class LoaderRejects : public testing::TestWithParam<TBadInputCase> {};

TEST_P(LoaderRejects, WithOneOfTheTwoLoaderErrors) {
  TMemoryStream stream(GetParam().Input);
  try {
    TClipboardStateContainer::LoadFromStream(stream);
    FAIL() << "loaded";
  } catch (const EStreamReadError &e) {
    EXPECT_EQ(TError::ReadError, GetParam().Expected);
    EXPECT_STREQ("Stream read error", e.what());
  } catch (const EInvalidPropertyValue &e) {
    EXPECT_EQ(TError::InvalidValue, GetParam().Expected);
    EXPECT_STREQ("Invalid property value", e.what());
  }
}

const ::TBytes EmptyName = Hex("12 00 00 00 00");

INSTANTIATE_TEST_SUITE_P(
    Inputs, LoaderRejects,
    testing::Values(
        TBadInputCase{"EmptyStream", {}, TError::ReadError},
        TBadInputCase{"CountTruncated", Hex("04 01 00"), TError::ReadError},
        TBadInputCase{"Int64Count", Hex("13 01 00 00 00 00 00 00 00"), TError::InvalidValue},
        TBadInputCase{"UnknownIntegerTag", Hex("07 01"), TError::InvalidValue},
        TBadInputCase{"MissingFormat", Hex("02 01"), TError::ReadError},
        TBadInputCase{"NegativeId", Concat({Hex("02 01 02 FF"), EmptyName, Hex("02 00")}),
                      TError::InvalidValue},
        TBadInputCase{"IdAbove65535",
                      Concat({Hex("02 01 04 00 00 01 00"), EmptyName, Hex("02 00")}),
                      TError::InvalidValue},
        TBadInputCase{"UnknownStringTag", Hex("02 01 02 0D 07 00"), TError::InvalidValue},
        TBadInputCase{"StringTooLong", Hex("02 01 02 0D 14 FF FF FF 7F 41"), TError::ReadError},
        TBadInputCase{"WideStringTooLong", Hex("02 01 02 0D 12 00 00 00 40 41 00"),
                      TError::ReadError},
        TBadInputCase{"NegativeStringLength", Hex("02 01 02 0D 0C FF FF FF FF 41"),
                      TError::ReadError},
        TBadInputCase{"NegativeSize", Concat({Hex("02 01 02 0D"), EmptyName, Hex("02 FF")}),
                      TError::InvalidValue},
        TBadInputCase{"SizeBeyondStream",
                      Concat({Hex("02 01 02 0D"), EmptyName, Hex("02 05 01 02 03 04")}),
                      TError::ReadError},
        // 30 bytes that claim a 2 GiB block fail at once, allocating nothing.
        TBadInputCase{
            "HugeSizeInTinyFile",
            Concat({Hex("02 01 02 0D"), EmptyName, Hex("04 FF FF FF 7F"), ::TBytes(16, 0x41)}),
            TError::ReadError},
        TBadInputCase{"Int64Size",
                      Concat({Hex("02 01 02 0D"), EmptyName, Hex("13 00 00 00 80 00 00 00 00")}),
                      TError::InvalidValue},
        TBadInputCase{"SecondFormatMissing",
                      Concat({Hex("02 02 02 0D"), EmptyName, Hex("02 01 41")}), TError::ReadError}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(StreamFormat, ZeroOrNegativeCountIsAnEmptyContainer) {
  for (const char *hex : {"02 00", "02 FF", "04 00 00 00 80"}) {
    TMemoryStream stream(Hex(hex));
    EXPECT_EQ(0, TClipboardStateContainer::LoadFromStream(stream)->Count()) << hex;
    EXPECT_EQ(stream.Size(), stream.Position()) << hex;
  }
}

// Random and mutated inputs either load or fail with one of the two errors;
// nothing crashes, hangs or allocates more than the input holds.
TEST(StreamFormat, FuzzedInputsLoadOrFailCleanly) {
  std::vector<::TBytes> seeds = {
      Saved(*MakeContainer({{13, L"", Hex("68 00 69 00 00 00")}})),
      Saved(*MakeContainer({})),
      Saved(*MakeContainer({{49152, L"Rich Format", Hex("01 02 03")}, {3, L"", {}}})),
      Saved(*MakeContainer({{49160, std::wstring(300, L'x'), ::TBytes(40, 1)},
                            {49161, L"\u0424\u043E\u0440", ::TBytes(3, 2)},
                            {49162, L"Caf\u00E9", {}}})),
  };
  std::uint32_t state = 20261210;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  int loaded = 0, failed = 0;
  for (int i = 0; i < 100000; ++i) {
    ::TBytes input;
    if (i % 10 == 0) {
      input.resize(next() % 64);
      for (auto &b : input)
        b = static_cast<std::uint8_t>(next());
    } else {
      input = seeds[next() % seeds.size()];
      const int mutations = 1 + static_cast<int>(next() % 4);
      for (int m = 0; m < mutations && !input.empty(); ++m) {
        const std::size_t at = next() % input.size();
        switch (next() % 4) {
        case 0:
          input[at] = static_cast<std::uint8_t>(next());
          break;
        case 1:
          input.resize(at);
          break;
        case 2:
          input[at] ^= static_cast<std::uint8_t>(1u << (next() % 8));
          break;
        default:
          input.insert(input.begin() + static_cast<std::ptrdiff_t>(at),
                       static_cast<std::uint8_t>(next()));
        }
      }
    }
    TMemoryStream stream(input);
    try {
      auto container = TClipboardStateContainer::LoadFromStream(stream);
      std::size_t held = 0;
      for (const TClipboardFormatState &format : *container)
        held += format.Data().size();
      ASSERT_LE(held, input.size());
      ASSERT_LE(stream.Position(), stream.Size());
      ++loaded;
    } catch (const EStreamReadError &) {
      ++failed;
    } catch (const EInvalidPropertyValue &) {
      ++failed;
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(failed, 0);
}

} // namespace
