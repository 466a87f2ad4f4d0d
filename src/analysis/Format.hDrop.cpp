#include "analysis/Format.hDrop.h"

#include "clipboard/ClipboardStateContainer.h"

#include <windows.h>

#include <algorithm>
#include <shlobj.h>

namespace {

constexpr std::size_t DropFilesHeaderSize = sizeof(DROPFILES);
static_assert(DropFilesHeaderSize == 20);

std::uint32_t ReadUInt32(std::span<const std::uint8_t> aData, std::size_t aOffset) {
  return static_cast<std::uint32_t>(aData[aOffset]) |
         static_cast<std::uint32_t>(aData[aOffset + 1]) << 8 |
         static_cast<std::uint32_t>(aData[aOffset + 2]) << 16 |
         static_cast<std::uint32_t>(aData[aOffset + 3]) << 24;
}

// Zero-terminated UTF-16 strings until an empty one or the end of the bytes;
// a last string without its terminator ends at the end of the block.
std::vector<std::wstring> ReadWideList(std::span<const std::uint8_t> aList) {
  std::vector<std::wstring> items;
  std::wstring current;
  for (std::size_t i = 0; i + 1 < aList.size(); i += 2) {
    const auto unit = static_cast<wchar_t>(aList[i] | (aList[i + 1] << 8));
    if (unit != L'\0') {
      current += unit;
      continue;
    }
    if (current.empty())
      return items;
    items.push_back(std::move(current));
    current.clear();
  }
  if (!current.empty())
    items.push_back(std::move(current));
  return items;
}

std::vector<std::wstring> ReadAnsiList(std::span<const std::uint8_t> aList) {
  std::vector<std::wstring> items;
  while (!aList.empty() && aList.front() != 0) {
    const auto end = std::find(aList.begin(), aList.end(), std::uint8_t{0});
    items.push_back(DecodeAnsiText(aList.first(static_cast<std::size_t>(end - aList.begin()))));
    aList =
        aList.subspan(std::min(aList.size(), static_cast<std::size_t>(end - aList.begin()) + 1));
  }
  return items;
}

} // namespace

ThDropAnalyzer::TFileOperationInfo
ThDropAnalyzer::ReadFileOperation(std::span<const std::uint8_t> aData) {
  if (aData.size() < DropFilesHeaderSize)
    return {};
  const std::uint32_t listOffset = ReadUInt32(aData, offsetof(DROPFILES, pFiles));
  const bool wide = ReadUInt32(aData, offsetof(DROPFILES, fWide)) != 0;
  if (listOffset >= aData.size())
    return {};
  const std::span<const std::uint8_t> list = aData.subspan(listOffset);
  return {wide ? ReadWideList(list) : ReadAnsiList(list)};
}

std::vector<std::wstring>
ThDropAnalyzer::ExtractFileNames(const std::vector<std::wstring> &aPaths) {
  std::vector<std::wstring> names;
  names.reserve(aPaths.size());
  for (const std::wstring &path : aPaths) {
    const std::size_t separator = path.find_last_of(L"\\:");
    names.push_back(separator == std::wstring::npos ? path : path.substr(separator + 1));
  }
  return names;
}

std::wstring ThDropAnalyzer::FormatFileList(const std::vector<std::wstring> &aItems) {
  std::vector<std::wstring> names = ExtractFileNames(aItems);
  std::sort(names.begin(), names.end()); // by UTF-16 code unit: upper case first
  std::wstring text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += names[i];
    if (text.size() < MaxFileListLength && i + 1 < names.size()) {
      text += L"\r\n";
      continue;
    }
    if (text.size() > MaxFileListLength)
      text += L"\r\n...";
    break;
  }
  return text;
}

TAuto<TDescription> ThDropAnalyzer::Analyze(const TAuto<TClipboardStateContainer> &aState) {
  const TClipboardStateContainer &state = aState();
  const TClipboardFormatState *drop = nullptr;
  for (const TClipboardFormatState &format : state)
    if (!drop && format.Format() == ClipboardFormats::HDrop)
      drop = &format;
  const std::wstring &source = state.ActiveApplication().Path;
  if (!drop || source.empty())
    return {};
  const TFileOperationInfo info = ReadFileOperation(drop->Data());
  std::optional<TBitmap> icon = GetFileIcon(source);
  const TAlphaColor color = GetDominantColor(icon, DefaultBackgroundColor);
  return TDescription::CreateTextDescription(
      L"File operation (" + std::to_wstring(info.Count()) + L" items)", FormatFileList(info.fItems),
      TDescription::CalculateSize(aState), std::move(icon), color);
}

void RegisterFormatHDrop(TClipboardAnalyzers &aRegistry) {
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<ThDropAnalyzer>()));
}
