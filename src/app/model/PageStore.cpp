#include "app/model/PageStore.h"

#include "shared/Paths.h"

#include <shlobj.h>

#include <algorithm>

namespace {

void ForceFolder(const std::wstring &aFolder) {
  if (aFolder.empty())
    return;
  const int result = ::SHCreateDirectoryExW(nullptr, aFolder.c_str(), nullptr);
  if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS)
    throw std::runtime_error("Cannot create folder: " +
                             SystemErrorMessage(static_cast<DWORD>(result)));
}

void WriteInt32(TStream &aStream, std::int32_t aValue) {
  const auto bits = static_cast<std::uint32_t>(aValue);
  const std::uint8_t bytes[4] = {
      static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
      static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
  aStream.Write(bytes, sizeof(bytes));
}

std::int32_t ReadInt32(TStream &aStream) {
  std::uint8_t bytes[4] = {};
  aStream.ReadBuffer(bytes, sizeof(bytes));
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
      (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24));
}

void SaveState(TStream &aStream, const TClipboardState &aState) {
  if (aState)
    aState().SaveToStream(aStream);
  else
    TClipboardStateContainer().SaveToStream(aStream);
}

TClipboardState LoadState(TStream &aStream) {
  return TAutoPtr::Make(TClipboardStateContainer::LoadFromStream(aStream));
}

// A file that ends before its declared content does is caught by the
// reader; one with bytes after it is damaged just as well.
void ExpectEnd(TStream &aStream) {
  if (aStream.Position() != aStream.Size())
    throw EInvalidPropertyValue();
}

enum class TFileKind { fkMissing, fkFile, fkOther };

TFileKind KindOf(const std::wstring &aFileName) {
  const DWORD attributes = ::GetFileAttributesW(aFileName.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return TFileKind::fkMissing;
    return TFileKind::fkOther;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? TFileKind::fkOther : TFileKind::fkFile;
}

// Opens a data file for reading: nothing for a missing file; a folder (or
// anything else that is not a readable file) counts as damaged.
std::optional<TFileStream> OpenDataFile(const std::wstring &aFileName) {
  switch (KindOf(aFileName)) {
  case TFileKind::fkMissing:
    return std::nullopt;
  case TFileKind::fkOther:
    throw EDamagedDataFile(aFileName, "Not a file");
  case TFileKind::fkFile:
    break;
  }
  try {
    return std::optional<TFileStream>(std::in_place, aFileName, TFileStream::TMode::fmOpenRead);
  } catch (const std::runtime_error &e) {
    throw EDamagedDataFile(aFileName, e.what());
  }
}

template <class F> auto ReadOrDamaged(const std::wstring &aFileName, F aRead) {
  try {
    return aRead();
  } catch (const EStreamReadError &e) {
    throw EDamagedDataFile(aFileName, e.what());
  } catch (const EInvalidPropertyValue &e) {
    throw EDamagedDataFile(aFileName, e.what());
  }
}

// The temporary file of a save: written once from its start, then flushed
// to the disk before it replaces the target.
class TTemporaryFile final : public TStream {
public:
  explicit TTemporaryFile(const std::wstring &aFileName)
      : fFile(::CreateFileW(aFileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
    CheckWin32(static_cast<bool>(fFile), "CreateFileW");
  }
  std::size_t Read(void *, std::size_t) override { throw EStreamReadError(); }
  void Write(const void *aBuffer, std::size_t aCount) override {
    const auto *source = static_cast<const std::uint8_t *>(aBuffer);
    while (aCount > 0) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(aCount, 16u << 20));
      DWORD written = 0;
      if (!::WriteFile(fFile.Get(), source, chunk, &written, nullptr) || written == 0)
        throw EStreamWriteError();
      source += written;
      aCount -= written;
      fSize += written;
    }
  }
  std::int64_t Seek(std::int64_t aOffset, TSeekOrigin aOrigin) override {
    if (aOffset != 0 || aOrigin == TSeekOrigin::soBeginning)
      throw std::logic_error("A temporary data file is written from its start only");
    return fSize;
  }
  std::int64_t Size() override { return fSize; }
  void Flush() { CheckWin32(::FlushFileBuffers(fFile.Get()) != FALSE, "FlushFileBuffers"); }

private:
  TFileHandle fFile;
  std::int64_t fSize = 0;
};

void RemoveFile(const std::wstring &aFileName) {
  if (!::DeleteFileW(aFileName.c_str())) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      throw std::runtime_error(LastErrorText("DeleteFileW", error));
  }
}

} // namespace

namespace PageStore {

std::wstring TemporaryFileName(const std::wstring &aFileName) {
  return aFileName + L".tmp";
}

void WriteFileSafely(const std::wstring &aFileName, const std::function<void(TStream &)> &aWrite) {
  ForceFolder(WithoutTrailingSeparator(FolderOf(aFileName)));
  const std::wstring temporary = TemporaryFileName(aFileName);
  try {
    {
      TTemporaryFile stream(temporary);
      aWrite(stream);
      stream.Flush();
    }
    // The data was flushed first, so the name never points at bytes that
    // are not on the disk; write-through returns once the rename is too.
    CheckWin32(::MoveFileExW(temporary.c_str(), aFileName.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE,
               "MoveFileExW");
  } catch (...) {
    ::DeleteFileW(temporary.c_str());
    throw;
  }
}

void WritePages(TStream &aStream, const TSavedPages &aPages) {
  WriteInt32(aStream, aPages.ActivePage);
  for (const TClipboardState &page : aPages.Pages)
    SaveState(aStream, page);
}

void WriteHistory(TStream &aStream, const std::vector<TClipboardState> &aHistory) {
  WriteInt32(aStream, static_cast<std::int32_t>(aHistory.size()));
  for (const TClipboardState &entry : aHistory)
    SaveState(aStream, entry);
}

void Save(const TSavedPages &aPages, const std::wstring &aPagesFile,
          const std::wstring &aHistoryFile) {
  WriteFileSafely(aPagesFile, [&](TStream &aStream) { WritePages(aStream, aPages); });
  WriteFileSafely(aHistoryFile, [&](TStream &aStream) { WriteHistory(aStream, aPages.History); });
}

TLoadedPages Load(const std::wstring &aPagesFile, const std::wstring &aHistoryFile) {
  TLoadedPages loaded;
  if (auto pages = OpenDataFile(aPagesFile)) {
    if (pages->Size() == 0) {
      loaded.PagesFileEmpty = true;
      return loaded;
    }
    ReadOrDamaged(aPagesFile, [&] {
      loaded.ActivePage = ReadInt32(*pages);
      if (loaded.ActivePage < 0 || loaded.ActivePage >= TSavedPages::PageCount)
        throw EInvalidPropertyValue();
      auto &states = loaded.Pages.emplace();
      for (TClipboardState &page : states)
        page = LoadState(*pages);
      ExpectEnd(*pages);
    });
  }
  if (auto history = OpenDataFile(aHistoryFile); history && history->Size() > 0) {
    ReadOrDamaged(aHistoryFile, [&] {
      const std::int32_t count = ReadInt32(*history);
      auto &entries = loaded.History.emplace();
      for (std::int32_t i = 0; i < count; ++i)
        entries.push_back(LoadState(*history));
      ExpectEnd(*history);
    });
  }
  return loaded;
}

std::wstring PutAside(const std::wstring &aFileName) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    std::wstring target =
        aFileName + (attempt == 0 ? L"" : L"." + std::to_wstring(attempt)) + L".bad";
    if (KindOf(target) == TFileKind::fkOther)
      continue;
    if (::MoveFileExW(aFileName.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return target;
  }
  return {};
}

void Delete(const std::wstring &aPagesFile, const std::wstring &aHistoryFile) {
  for (const std::wstring &file : {aPagesFile, aHistoryFile}) {
    RemoveFile(TemporaryFileName(file));
    RemoveFile(file);
  }
}

} // namespace PageStore
