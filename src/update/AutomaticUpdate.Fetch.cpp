// TAutomaticUpdate, fetch: the download into the user's own folder with its checks, and the
// memory of refused versions, all in the normal-rights process before anything is asked.
#include "update/AutomaticUpdate.h"

#include "shared/Registry.h"
#include "shared/Trace.h"
#include "update/UpdateFile.h"
#include "update/UpdateFolders.h"

namespace {

constexpr const wchar_t *RefusedVersionValue = L"update.refused";
constexpr const wchar_t *RefusedTimeValue = L"update.refused.time";
constexpr const wchar_t *RefusedReasonValue = L"update.refused.reason";

std::uint64_t Now() {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  return (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

} // namespace

std::optional<TUpdateVerdict> TAutomaticUpdate::Fetch(const std::wstring &aOffered,
                                                      const TProgressEvent &aCallback) {
  std::optional<TUpdateVerdict> verdict;
  try {
    verdict = DownloadInto(aOffered, aCallback);
  } catch (const std::exception &) {
    RemoveFetched();
    throw;
  }
  if (verdict != TUpdateVerdict::uvAccepted)
    RemoveFetched();
  if (verdict && verdict != TUpdateVerdict::uvAccepted)
    RememberRefusal(aOffered, VerdictName(*verdict));
  return verdict;
}

// The signature comes first: without one there is nothing worth fetching.
// Both files are written where nobody else may write to them until they
// are judged and kept.
std::optional<TUpdateVerdict> TAutomaticUpdate::DownloadInto(const std::wstring &aOffered,
                                                             const TProgressEvent &aCallback) {
  TDownloadMemoryStream signature;
  if (!THTTPDownloader::Download(fSettings.BaseURL + L"update.sig", signature, nullptr,
                                 SignatureLimits) ||
      signature.Bytes().size() != UpdateSignatureSize)
    return std::nullopt;
  if (fSettings.UserFolder.empty())
    return TUpdateVerdict::uvUnsafeLocation;
  const TFileHandle folder = UpdateFolders::HoldOwnFolder(fSettings.UserFolder);
  if (!folder)
    return TUpdateVerdict::uvUnsafeLocation;
  TUpdateFile file(FetchedPath());
  if (!THTTPDownloader::Download(fSettings.BaseURL + L"update.data", file, aCallback,
                                 fSettings.DownloadLimits))
    return std::nullopt;
  file.Flush();
  const std::vector<std::uint8_t> image = file.ReadAll();
  const TUpdateVerdict verdict =
      JudgeUpdate({image, signature.Bytes(), aOffered, OwnVersion}, fSettings.Key);
  if (verdict != TUpdateVerdict::uvAccepted)
    return verdict;
  TUpdateFile signatureFile(fSettings.UserFolder + L"update.sig");
  signatureFile.Write(signature.Bytes().data(), signature.Bytes().size());
  signatureFile.Keep();
  file.Keep();
  return verdict;
}

bool TAutomaticUpdate::Update(const TProgressEvent &aCallback) {
  const auto offered = OfferedUpdate();
  if (!offered || Fetch(*offered, aCallback) != TUpdateVerdict::uvAccepted)
    return false;
  bool installed = false;
  try {
    installed = InstallFrom(FetchedPath());
  } catch (const std::exception &) {
    RemoveFetched();
    throw;
  }
  RemoveFetched();
  return installed;
}

void TAutomaticUpdate::RememberRefusal(const std::wstring &aVersion, const std::wstring &aReason) {
  const TRegistryKey key = Registry::OpenCurrentUserKey(fSettings.RegistryKey, true);
  if (!key)
    return; // nothing to remember in: the next start asks the server again
  Registry::WriteString(key.Get(), RefusedVersionValue, aVersion);
  Registry::WriteQword(key.Get(), RefusedTimeValue, Now());
  Registry::WriteString(key.Get(), RefusedReasonValue, aReason);
}

// A time ahead of now (a clock put back) counts from now, so a refusal is
// never kept for longer than a day of the clock as it now stands.
bool TAutomaticUpdate::RecentlyRefused(const std::wstring &aVersion) {
  const TRegistryKey key = Registry::OpenCurrentUserKey(fSettings.RegistryKey, false);
  if (!key)
    return false;
  try {
    if (Registry::ReadString(key.Get(), RefusedVersionValue) != aVersion)
      return false;
  } catch (const ERegistryTypeError &) {
    // A memory of another type is none of ours: the offer is fetched again,
    // and a refusal then writes it anew.
    TraceDroppedError();
    return false;
  }
  const auto when = Registry::ReadQword(key.Get(), RefusedTimeValue);
  const std::uint64_t now = Now();
  return when && (*when > now ? *when - now : now - *when) < RefusalMemory;
}
