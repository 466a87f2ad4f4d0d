#include "update/UpdateSignature.h"

#include "shared/Handles.h"
#include "shared/Trace.h"
#include "update/UpdatePublicKey.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

struct TAlgorithmCloser {
  void operator()(BCRYPT_ALG_HANDLE aHandle) const noexcept {
    ::BCryptCloseAlgorithmProvider(aHandle, 0);
  }
};
struct TKeyCloser {
  void operator()(BCRYPT_KEY_HANDLE aHandle) const noexcept { ::BCryptDestroyKey(aHandle); }
};
struct THashCloser {
  void operator()(BCRYPT_HASH_HANDLE aHandle) const noexcept { ::BCryptDestroyHash(aHandle); }
};
using TAlgorithmHandle = TUniqueHandle<TNullHandleTraits<BCRYPT_ALG_HANDLE, TAlgorithmCloser>>;
using TKeyHandle = TUniqueHandle<TNullHandleTraits<BCRYPT_KEY_HANDLE, TKeyCloser>>;
using THashHandle = TUniqueHandle<TNullHandleTraits<BCRYPT_HASH_HANDLE, THashCloser>>;

constexpr NTSTATUS StatusSuccess = 0;
constexpr NTSTATUS StatusInvalidSignature = static_cast<NTSTATUS>(0xC000A000);
constexpr ULONG DigestSize = 32;

// A failure of CNG itself, as opposed to a signature that does not verify.
class ECngFailure : public std::runtime_error {
public:
  ECngFailure(const char *aWhat, NTSTATUS aStatus) : std::runtime_error(Describe(aWhat, aStatus)) {}

private:
  static std::string Describe(const char *aWhat, NTSTATUS aStatus) {
    char text[120];
    std::snprintf(text, sizeof text, "update signature check failed in %s (0x%08lX)", aWhat,
                  static_cast<unsigned long>(aStatus));
    return text;
  }
};

void Check(NTSTATUS aStatus, const char *aWhat) {
  if (aStatus != StatusSuccess)
    throw ECngFailure(aWhat, aStatus);
}

TAlgorithmHandle OpenAlgorithm(const wchar_t *aName) {
  TAlgorithmHandle algorithm;
  Check(::BCryptOpenAlgorithmProvider(algorithm.Put(), aName, nullptr, 0),
        "BCryptOpenAlgorithmProvider");
  return algorithm;
}

std::array<std::uint8_t, DigestSize> Sha256(const std::vector<std::uint8_t> &aData) {
  TAlgorithmHandle algorithm = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
  THashHandle hash;
  Check(::BCryptCreateHash(algorithm.Get(), hash.Put(), nullptr, 0, nullptr, 0, 0),
        "BCryptCreateHash");
  // BCryptHashData takes at most 4 GiB at once; updates are far smaller.
  Check(::BCryptHashData(hash.Get(), const_cast<PUCHAR>(aData.data()),
                         static_cast<ULONG>(aData.size()), 0),
        "BCryptHashData");
  std::array<std::uint8_t, DigestSize> digest;
  Check(::BCryptFinishHash(hash.Get(), digest.data(), DigestSize, 0), "BCryptFinishHash");
  return digest;
}

TKeyHandle ImportPublicKey(BCRYPT_ALG_HANDLE aAlgorithm, const TUpdateKey &aKey) {
  std::uint8_t blob[sizeof(BCRYPT_ECCKEY_BLOB) + sizeof aKey];
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, DigestSize};
  std::memcpy(blob, &header, sizeof header);
  std::memcpy(blob + sizeof header, aKey.data(), aKey.size());
  TKeyHandle key;
  Check(::BCryptImportKeyPair(aAlgorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, key.Put(), blob,
                              sizeof blob, 0),
        "BCryptImportKeyPair");
  return key;
}

} // namespace

const TUpdateKey &BuildUpdateKey() noexcept {
  static const TUpdateKey key = UpdatePublicKey;
  return key;
}

bool IsSignedBy(const std::vector<std::uint8_t> &aData, const std::vector<std::uint8_t> &aSignature,
                const TUpdateKey &aKey) noexcept {
  if (aSignature.size() != UpdateSignatureSize)
    return false;
  try {
    auto digest = Sha256(aData);
    TAlgorithmHandle algorithm = OpenAlgorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    TKeyHandle key = ImportPublicKey(algorithm.Get(), aKey);
    const NTSTATUS status =
        ::BCryptVerifySignature(key.Get(), nullptr, digest.data(), DigestSize,
                                const_cast<PUCHAR>(aSignature.data()), UpdateSignatureSize, 0);
    if (status == StatusSuccess)
      return true;
    if (status != StatusInvalidSignature)
      throw ECngFailure("BCryptVerifySignature", status);
    return false;
  } catch (const std::exception &) {
    // An update that cannot be checked is refused; the trace says why.
    TraceDroppedError();
    return false;
  }
}
