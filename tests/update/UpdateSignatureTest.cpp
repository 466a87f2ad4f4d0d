#include "update/UpdateSignature.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes FromHex(const std::string &aHex) {
  TBytes bytes;
  for (size_t i = 0; i + 1 < aHex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(aHex.substr(i, 2), nullptr, 16)));
  return bytes;
}

TUpdateKey KeyFromHex(const std::string &aHex) {
  const TBytes bytes = FromHex(aHex);
  TUpdateKey key{};
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return key;
}

TBytes Text(const std::string &aText) {
  return TBytes(aText.begin(), aText.end());
}

// A key pair of the tests' own, made once with tools/sign/pagekeep-sign's
// algorithm; the message and its signature are fixed here.
const TUpdateKey VectorKey =
    KeyFromHex("eac4d8e30ad9f6412d8db7cbae6a011c4396b3faf59e07c7bd03402d456745e7"
               "fa43e2c976270c4f5e5de72dd705592af38de8f30be051120b5016b24737a508");
const TBytes VectorMessage = Text("Pagekeep update vector\n");
const TBytes VectorSignature =
    FromHex("68771bd877ffac9c3b9a89d5944d2fabd33ba6bcf59431a60377a7a95059b551"
            "aaaadb5d789b0ebb49c997f8a1ee897debfbcc31775bf69220113ed909ed0681");

TBytes Flipped(TBytes aBytes, size_t aAt) {
  aBytes.at(aAt) ^= 0x01;
  return aBytes;
}

TUpdateKey FlippedKey(TUpdateKey aKey) {
  aKey[10] ^= 0x01;
  return aKey;
}

struct TVectorCase {
  const char *Name;
  TBytes Message;
  TBytes Signature;
  TUpdateKey Key;
  bool Valid;
};

class UpdateSignatureVectors : public testing::TestWithParam<TVectorCase> {};

TEST_P(UpdateSignatureVectors, OnlyTheExactBytesSignedByTheKeyPass) {
  const auto &c = GetParam();
  EXPECT_EQ(c.Valid, IsSignedBy(c.Message, c.Signature, c.Key));
}

TBytes Zeros(size_t aCount) {
  return TBytes(aCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, UpdateSignatureVectors,
    testing::Values(
        TVectorCase{"Good", VectorMessage, VectorSignature, VectorKey, true},
        TVectorCase{"MessageChanged", Flipped(VectorMessage, 0), VectorSignature, VectorKey, false},
        TVectorCase{"MessageLonger", Text("Pagekeep update vector\n\n"), VectorSignature, VectorKey,
                    false},
        TVectorCase{"EmptyMessage", TBytes{}, VectorSignature, VectorKey, false},
        TVectorCase{"RFlipped", VectorMessage, Flipped(VectorSignature, 5), VectorKey, false},
        TVectorCase{"SFlipped", VectorMessage, Flipped(VectorSignature, 40), VectorKey, false},
        TVectorCase{"ZeroSignature", VectorMessage, Zeros(64), VectorKey, false},
        TVectorCase{"ShortSignature", VectorMessage,
                    TBytes(VectorSignature.begin(), VectorSignature.end() - 1), VectorKey, false},
        TVectorCase{"NoSignature", VectorMessage, TBytes{}, VectorKey, false},
        TVectorCase{"LongerSignature", VectorMessage,
                    [] {
                      TBytes longer = VectorSignature;
                      longer.push_back(0);
                      return longer;
                    }(),
                    VectorKey, false},
        TVectorCase{"OtherKey", VectorMessage, VectorSignature, BuildUpdateKey(), false},
        TVectorCase{"KeyNotOnTheCurve", VectorMessage, VectorSignature, FlippedKey(VectorKey),
                    false}),
    [](const auto &aInfo) { return std::string(aInfo.param.Name); });

} // namespace
