#include "clipboard/TaggedStream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

TBytes Bytes(std::initializer_list<int> aValues) {
  TBytes bytes;
  for (int value : aValues)
    bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

struct TStringCase {
  const char *Name;
  std::wstring Text;
  std::uint8_t Tag;
};

class TaggedString : public testing::TestWithParam<TStringCase> {};

TEST_P(TaggedString, IsWrittenInItsFormAndReadBack) {
  TBytes out;
  AppendTaggedString(out, GetParam().Text);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(GetParam().Tag, out.front());
  TMemoryStream stream(out);
  TTaggedReader reader(stream);
  EXPECT_EQ(GetParam().Text, reader.ReadString());
  reader.Finish();
  EXPECT_EQ(stream.Size(), stream.Position());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TaggedString,
    testing::Values(TStringCase{"Empty", L"", vaWString},
                    TStringCase{"Ascii", L"HTML Format", vaString},
                    TStringCase{"LongAscii", std::wstring(300, L'x'), vaLString},
                    TStringCase{"Latin", L"Caf\u00e9 cr\u00e8me br\u00fbl\u00e9e", vaUTF8String},
                    TStringCase{"Cjk", L"\u65e5\u672c\u8a9e", vaWString},
                    TStringCase{"LoneSurrogate", std::wstring(L"ab") + wchar_t(0xD800), vaWString}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

TEST(TaggedReader, IntegersOfEveryWidthAreReadBack) {
  for (std::int64_t value :
       {0LL, 127LL, -128LL, 128LL, -32768LL, 49152LL, 2147483647LL, -2147483648LL}) {
    TBytes out;
    AppendTaggedInteger(out, value);
    TMemoryStream stream(out);
    TTaggedReader reader(stream);
    EXPECT_EQ(value, reader.ReadInteger()) << value;
  }
}

// A length beyond the input fails before anything of that size is made;
// every cut of a valid input fails with one of the two errors.
TEST(TaggedReader, ShortOrHostileInputFailsCleanly) {
  for (const TBytes &input :
       {Bytes({0x14, 0xFF, 0xFF, 0xFF, 0x7F, 0x41}),
        Bytes({0x12, 0x00, 0x00, 0x00, 0x40, 0x41, 0x00}), Bytes({0x0C, 0xFF, 0xFF, 0xFF, 0xFF}),
        Bytes({0x06, 0x05, 0x41}), Bytes({0x07}), Bytes({})}) {
    TMemoryStream stream(input);
    TTaggedReader reader(stream);
    EXPECT_ANY_THROW(reader.ReadString());
  }
  TBytes valid;
  AppendTaggedString(valid, L"Caf\u00e9 au lait");
  for (std::size_t cut = 0; cut < valid.size(); ++cut) {
    TMemoryStream stream(TBytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(cut)));
    TTaggedReader reader(stream);
    EXPECT_THROW(reader.ReadString(), EStreamReadError) << cut;
  }
}

TEST(TaggedReader, RandomBytesNeverCrash) {
  std::mt19937 random(15);
  for (int round = 0; round < 2000; ++round) {
    TBytes input(random() % 24);
    for (auto &byte : input)
      byte = static_cast<std::uint8_t>(random() % 4 == 0 ? 0x12 + random() % 3 : random());
    TMemoryStream stream(input);
    TTaggedReader reader(stream);
    try {
      reader.ReadString();
      reader.ReadInteger();
    } catch (const EStreamReadError &) {
    } catch (const EInvalidPropertyValue &) {
    }
  }
}

TEST(MemoryStream, SeeksReadsAndWritesWithinItsBytes) {
  TMemoryStream stream;
  stream.Write("abcdef", 6);
  EXPECT_EQ(6, stream.Size());
  EXPECT_EQ(2, stream.Seek(-4, TSeekOrigin::soEnd));
  char buffer[8] = {};
  EXPECT_EQ(4u, stream.Read(buffer, sizeof(buffer)));
  EXPECT_STREQ("cdef", buffer);
  EXPECT_EQ(0u, stream.Read(buffer, 1)) << "at the end";
  stream.SetPosition(1);
  EXPECT_THROW(stream.ReadBuffer(buffer, 6), EStreamReadError);
}

TEST(TaggedWriter, BuffersSmallValuesAndPassesLargeOnes) {
  TMemoryStream stream;
  {
    TTaggedWriter writer(stream);
    writer.WriteInteger(1);
    writer.WriteString(L"x");
    const TBytes large(5000, 7);
    writer.WriteBytes(large.data(), large.size());
    writer.WriteInteger(70000);
    writer.Flush();
  }
  stream.SetPosition(0);
  TTaggedReader reader(stream);
  EXPECT_EQ(1, reader.ReadInteger());
  EXPECT_EQ(L"x", reader.ReadString());
  TBytes large(5000);
  reader.ReadBytes(large.data(), large.size());
  EXPECT_EQ(TBytes(5000, 7), large);
  EXPECT_EQ(70000, reader.ReadInteger());
}

} // namespace
