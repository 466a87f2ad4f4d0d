#include "update/UpdateVerdict.h"

#include "shared/Architecture.h"
#include "update/AutomaticUpdate.h"
#include "update/ImageClaims.h"
#include "update/UpdateVersion.h"

namespace {

bool NamesThisProduct(const TImageClaims &aClaims) {
  return aClaims.String(L"ProductName") == ProductName &&
         aClaims.String(L"InternalName") == ProductName;
}

// The strings and both fixed versions say one and the same version.
std::optional<std::wstring> ClaimedVersion(const TImageClaims &aClaims) {
  const std::wstring file = aClaims.String(L"FileVersion");
  const std::wstring product = aClaims.String(L"ProductVersion");
  const auto fixed = FixedVersionParts(file);
  if (CompareVersions(file, product) != 0 || !fixed || aClaims.FileVersion != *fixed ||
      aClaims.ProductVersion != *fixed)
    return std::nullopt;
  return file;
}

} // namespace

const wchar_t *VerdictName(TUpdateVerdict aVerdict) {
  switch (aVerdict) {
  case TUpdateVerdict::uvAccepted:
    return L"accepted";
  case TUpdateVerdict::uvBadSignature:
    return L"signature";
  case TUpdateVerdict::uvWrongKind:
    return L"kind";
  case TUpdateVerdict::uvOtherProduct:
    return L"product";
  case TUpdateVerdict::uvNotTheOffer:
    return L"offer";
  case TUpdateVerdict::uvNotNewer:
    return L"older";
  case TUpdateVerdict::uvUnsafeLocation:
    return L"location";
  }
  return L"unknown";
}

// Nothing of the bytes is parsed before the signature has verified.
TUpdateVerdict JudgeUpdate(const TUpdateCandidate &aCandidate, const TUpdateKey &aKey) {
  if (!IsSignedBy(aCandidate.Image, aCandidate.Signature, aKey))
    return TUpdateVerdict::uvBadSignature;
  if (!IsCompleteExecutable(aCandidate.Image, Architecture::OwnMachineType))
    return TUpdateVerdict::uvWrongKind;
  const auto claims = ReadImageClaims(aCandidate.Image);
  if (!claims || !NamesThisProduct(*claims))
    return TUpdateVerdict::uvOtherProduct;
  const auto version = ClaimedVersion(*claims);
  if (!version ||
      (!aCandidate.Offered.empty() && CompareVersions(*version, aCandidate.Offered) != 0))
    return TUpdateVerdict::uvNotTheOffer;
  if (CompareVersions(*version, aCandidate.Running).value_or(0) <= 0)
    return TUpdateVerdict::uvNotNewer;
  return TUpdateVerdict::uvAccepted;
}
