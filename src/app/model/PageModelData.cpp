#include "app/model/PageModel.h"
#include "shared/Paths.h"

#include <shlobj.h>

#include <cstring>

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
  const std::uint32_t bits = static_cast<std::uint32_t>(aValue);
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

bool HasFormats(const TClipboardState &aState) {
  return aState && aState().Count() > 0;
}

TClipboardState LoadState(TStream &aStream) {
  return TAutoPtr::Make(TClipboardStateContainer::LoadFromStream(aStream));
}

} // namespace

std::wstring TPageModel::GetSpecialFolderPath(int aCSIDL) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, aCSIDL, nullptr, SHGFP_TYPE_CURRENT, path)))
    return {};
  return path;
}

std::wstring TPageModel::ClipboardDataFileName() {
  return GetSpecialFolderPath(CSIDL_APPDATA) + L"\\Pagekeep\\ClipboardData.dat";
}

std::wstring TPageModel::HistoryDataFileName() {
  return GetSpecialFolderPath(CSIDL_APPDATA) + L"\\Pagekeep\\HistoryData.dat";
}

void TPageModel::SaveData() const {
  const std::wstring pagesFile = ClipboardDataFileName();
  if (FileExists(pagesFile))
    ::DeleteFileW(pagesFile.c_str());
  ForceFolder(FolderOf(pagesFile));
  {
    TFileStream stream(pagesFile, TFileStream::TMode::fmCreate);
    WriteInt32(stream, fActivePage);
    for (const TClipboardState &page : fPages)
      SaveState(stream, page);
  }
  const std::wstring historyFile = HistoryDataFileName();
  if (FileExists(historyFile))
    ::DeleteFileW(historyFile.c_str());
  TFileStream stream(historyFile, TFileStream::TMode::fmCreate);
  WriteInt32(stream, static_cast<std::int32_t>(fHistory.size()));
  for (const TClipboardState &entry : fHistory)
    SaveState(stream, entry);
}

void TPageModel::LoadData() {
  const std::wstring pagesFile = ClipboardDataFileName();
  if (!FileExists(pagesFile)) {
    CreatePages();
  } else {
    TFileStream stream(pagesFile, TFileStream::TMode::fmOpenRead);
    if (stream.Size() == 0) {
      CreatePages();
      return;
    }
    const std::int32_t activePage = ReadInt32(stream);
    // The model only knows pages 0..9; a file that says otherwise is
    // rejected before any page is replaced.
    if (activePage < 0 || activePage >= PageCount)
      throw EInvalidPropertyValue();
    fActivePage = activePage;
    for (TClipboardState &page : fPages)
      page = LoadState(stream);
    if (HasFormats(fPages[static_cast<std::size_t>(fActivePage)]))
      RestoreClipboardState(fPages[static_cast<std::size_t>(fActivePage)]);
  }
  const std::wstring historyFile = HistoryDataFileName();
  if (!FileExists(historyFile))
    return;
  TFileStream stream(historyFile, TFileStream::TMode::fmOpenRead);
  if (stream.Size() == 0)
    return;
  const std::int32_t count = ReadInt32(stream);
  for (std::int32_t i = 0; i < count; ++i)
    fHistory.push_back(LoadState(stream));
}
