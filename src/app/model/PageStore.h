#pragma once

// The two data files of the pages model, written so that a crash never
// leaves a damaged file, and read all or nothing. Pure file work: no model,
// no clipboard; any thread.

#include "clipboard/ClipboardStateContainer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// What the files hold: the ten pages, the active page and the history,
// oldest first. Handles are shared, so taking one costs no copy.
struct TSavedPages {
  static constexpr int PageCount = 10;
  std::array<TClipboardState, PageCount> Pages;
  std::int32_t ActivePage = 0;
  std::vector<TClipboardState> History;
};

// A data file that is there but cannot be read; the reader's error is kept.
class EDamagedDataFile : public std::runtime_error {
public:
  EDamagedDataFile(std::wstring aFileName, const std::string &aReason)
      : std::runtime_error(aReason), fFileName(std::move(aFileName)) {}
  const std::wstring &FileName() const noexcept { return fFileName; }

private:
  std::wstring fFileName;
};

namespace PageStore {

// Writes a temporary file beside aFileName with aWrite, flushes it to the
// disk, then replaces aFileName with it in one step. A crash at any moment
// leaves aFileName either as it was or whole with the new content. The
// folder is created when missing. Errors propagate; the temporary file is
// removed on the way out.
void WriteFileSafely(const std::wstring &aFileName, const std::function<void(TStream &)> &aWrite);
std::wstring TemporaryFileName(const std::wstring &aFileName);

// The bytes of the two files.
void WritePages(TStream &aStream, const TSavedPages &aPages);
void WriteHistory(TStream &aStream, const std::vector<TClipboardState> &aHistory);
// Both files, each safely; the pages file first.
void Save(const TSavedPages &aPages, const std::wstring &aPagesFile,
          const std::wstring &aHistoryFile);

// What a load found: nothing when a file is missing or empty ("nothing
// saved"). A file that is there but damaged (truncated, a bad tag, a length
// past its end, an active page outside 0..9, data after its end, a folder
// in its place) raises EDamagedDataFile before anything is returned.
struct TLoadedPages {
  std::optional<std::array<TClipboardState, TSavedPages::PageCount>> Pages;
  std::int32_t ActivePage = 0;
  // Missing or empty pages file: the history file is not read (its content
  // is then unknown, not empty).
  bool PagesFileEmpty = false;
  std::optional<std::vector<TClipboardState>> History;
};
TLoadedPages Load(const std::wstring &aPagesFile, const std::wstring &aHistoryFile);

// Puts a damaged file aside as "<name>.bad" (or "<name>.<n>.bad" when that
// is taken) so that the next save does not overwrite what may still be
// rescued; returns the new name, or empty when it could not be moved.
std::wstring PutAside(const std::wstring &aFileName);

// Removes both files (and a temporary left by a crash); missing files are
// fine, any other failure throws.
void Delete(const std::wstring &aPagesFile, const std::wstring &aHistoryFile);

// The shell folder's current path; empty when the shell fails.
std::wstring GetSpecialFolderPath(int aCSIDL);
// The program's two data files, in the user's roaming application-data
// folder.
std::wstring ClipboardDataFileName();
std::wstring HistoryDataFileName();

// The program's files: Save, Load and Delete of the two above. A damaged
// file is put aside, with the other file of the pair, before
// EDamagedDataFile goes on.
void SaveDataFiles(const TSavedPages &aPages);
TLoadedPages LoadDataFiles();
void DeleteDataFiles();

} // namespace PageStore
