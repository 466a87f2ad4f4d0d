// TAutomaticUpdate, install: the checked executable into the program's folder and the swap, run
// by the normal-rights process where it can write that folder and by the elevated copy elsewhere.
#include "update/AutomaticUpdate.h"

#include "shared/Paths.h"
#include "update/UpdateFile.h"
#include "update/UpdateFolders.h"

namespace {

constexpr const wchar_t *SignatureName = L"update.sig";

bool MoveDurably(const std::wstring &aFrom, const std::wstring &aTo) {
  return ::MoveFileExW(aFrom.c_str(), aTo.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE;
}

} // namespace

std::wstring TAutomaticUpdate::DownloadFolder() const {
  return FolderOf(fSettings.ExePath) + L"Update\\";
}

std::wstring TAutomaticUpdate::BackupPath() const {
  return fSettings.ExePath + L".old";
}

std::wstring TAutomaticUpdate::DownloadTarget() const {
  return DownloadFolder() + FileNameOf(fSettings.ExePath);
}

bool TAutomaticUpdate::CanSwapWithoutElevation() const {
  const std::wstring folder = FolderOf(fSettings.ExePath);
  return fSettings.FolderWritable ? fSettings.FolderWritable(folder)
                                  : UpdateFolders::IsFolderWritable(folder);
}

// The file sits in a folder its user can write, so what counts is what is
// read through a handle nobody can write to meanwhile; the bytes judged are
// the bytes copied.
bool TAutomaticUpdate::InstallFrom(const std::wstring &aFetchedPath) {
  const TFileHandle image = UpdateFolders::OpenRegularFile(aFetchedPath);
  const TFileHandle signature =
      UpdateFolders::OpenRegularFile(FolderOf(aFetchedPath) + SignatureName);
  if (!image || !signature)
    return false;
  const auto imageBytes = UpdateFolders::ReadWhole(image.Get(), fSettings.DownloadLimits.MaxBytes);
  const auto signatureBytes = UpdateFolders::ReadWhole(signature.Get(), UpdateSignatureSize);
  if (!imageBytes || !signatureBytes)
    return false;
  const TUpdateCandidate candidate{*imageBytes, *signatureBytes, L"", OwnVersion};
  if (JudgeUpdate(candidate, fSettings.Key) != TUpdateVerdict::uvAccepted)
    return false;
  return CopyAndSwap(*imageBytes);
}

// The program's own "Update\" folder is held while the copy is made in it,
// so it cannot become a junction to elsewhere in between.
bool TAutomaticUpdate::CopyAndSwap(const std::vector<std::uint8_t> &aImage) {
  bool swapped = false;
  try {
    const TFileHandle folder = UpdateFolders::HoldOwnFolder(DownloadFolder());
    if (!folder)
      return false;
    TUpdateFile file(DownloadTarget());
    file.Write(aImage.data(), aImage.size());
    file.Flush();
    swapped = SwapIn(file);
  } catch (const std::exception &) {
    RemoveDownload();
    throw;
  }
  // After a swap the backup is the program that runs this; after a failed
  // one it may be all that is left of it.
  RemoveDownload();
  return swapped;
}

// Both renames are checked: when the second fails the first is undone, so
// the program's own path always holds a runnable executable.
bool TAutomaticUpdate::SwapIn(TUpdateFile &aDownloaded) {
  const std::wstring &exe = fSettings.ExePath;
  const std::wstring backup = BackupPath();
  // A backup that survived the last load (its program was still running)
  // would block the first rename.
  ::DeleteFileW(backup.c_str());
  if (!RenameAllowed(exe, backup) || !MoveDurably(exe, backup))
    return false;
  if (RenameAllowed(DownloadTarget(), exe) && aDownloaded.RenameTo(exe))
    return true;
  if (!RenameAllowed(backup, exe) || !MoveDurably(backup, exe))
    ::CopyFileW(backup.c_str(), exe.c_str(), TRUE);
  return false;
}

bool TAutomaticUpdate::RenameAllowed(const std::wstring &aFrom, const std::wstring &aTo) const {
  return !fSettings.RenameAllowed || fSettings.RenameAllowed(aFrom, aTo);
}

// Only what the updater itself makes: its downloads, their folders once
// empty (a user's folder of the same name keeps everything else) and the
// backup. A folder that is a link to elsewhere is left alone. The backup
// may still run (the program that swapped itself out): the next load tries
// again.
void TAutomaticUpdate::RemoveLeftovers() {
  RemoveDownload();
  RemoveFetched();
  ::DeleteFileW(BackupPath().c_str());
}

void TAutomaticUpdate::RemoveDownload() {
  const std::wstring folder = WithoutTrailingSeparator(DownloadFolder());
  if (!UpdateFolders::IsFolderOfItsOwn(folder))
    return;
  ::DeleteFileW(DownloadTarget().c_str());
  ::RemoveDirectoryW(folder.c_str());
}

std::wstring TAutomaticUpdate::FetchedPath() const {
  return fSettings.UserFolder + FileNameOf(fSettings.ExePath);
}

void TAutomaticUpdate::RemoveFetched() {
  if (fSettings.UserFolder.empty())
    return;
  const std::wstring folder = WithoutTrailingSeparator(fSettings.UserFolder);
  if (!UpdateFolders::IsFolderOfItsOwn(folder))
    return;
  ::DeleteFileW(FetchedPath().c_str());
  ::DeleteFileW((fSettings.UserFolder + SignatureName).c_str());
  ::RemoveDirectoryW(folder.c_str());
}
