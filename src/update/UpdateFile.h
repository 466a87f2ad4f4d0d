#pragma once

// The downloaded executable on its way into place: created for this
// process alone, so that nobody can write to it between the download, the
// signature check and the rename.

#include "shared/Handles.h"
#include "update/HTTPDownloader.h"

#include <cstdint>
#include <string>
#include <vector>

class TUpdateFile : public TDownloadStream {
public:
  // Creates aPath anew (removing what bore the name) with no sharing at
  // all and without following a link. Throws when it cannot be created.
  explicit TUpdateFile(std::wstring aPath);
  TUpdateFile(const TUpdateFile &) = delete;
  TUpdateFile &operator=(const TUpdateFile &) = delete;
  // Deletes the file unless it was renamed into place or kept.
  ~TUpdateFile() override;

  void Write(const void *aData, std::size_t aCount) override;
  // Writes what the system still holds to the disk; throws on failure.
  void Flush();
  // The whole file as it is on disk, read through the same handle.
  std::vector<std::uint8_t> ReadAll();
  // Renames this very file (not whatever now bears its name) to aTarget,
  // which must not exist, and flushes it. False when that failed.
  bool RenameTo(const std::wstring &aTarget);
  // Flushes and closes the file and leaves it where it is.
  void Keep();

private:
  static HANDLE CreateNew(const std::wstring &aPath);

  std::wstring fPath;
  TFileHandle fFile;
  bool fKept = false;
};
