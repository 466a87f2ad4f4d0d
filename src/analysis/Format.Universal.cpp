#include "analysis/Format.Universal.h"

#include "clipboard/ClipboardStateContainer.h"

#include <windows.h>

#include <array>
#include <cwchar>
#include <vector>

namespace {

constexpr std::wstring_view OperatingSystemMarker = L"Microsoft\u00AE Windows\u00AE";

struct TVersionKey {
  const wchar_t *fName;
  std::wstring TEXEVersionData::*fField;
};

constexpr std::array<TVersionKey, 12> VersionKeys{{
    {L"\\CompanyName", &TEXEVersionData::CompanyName},
    {L"\\FileDescription", &TEXEVersionData::FileDescription},
    {L"\\FileVersion", &TEXEVersionData::FileVersion},
    {L"\\InternalName", &TEXEVersionData::InternalName},
    {L"\\LegalCopyright", &TEXEVersionData::LegalCopyright},
    {L"\\LegalTrademarks", &TEXEVersionData::LegalTrademarks},
    {L"\\OriginalFileName", &TEXEVersionData::OriginalFileName},
    {L"\\ProductName", &TEXEVersionData::ProductName},
    {L"\\ProductVersion", &TEXEVersionData::ProductVersion},
    {L"\\Comments", &TEXEVersionData::Comments},
    {L"\\PrivateBuild", &TEXEVersionData::PrivateBuild},
    {L"\\SpecialBuild", &TEXEVersionData::SpecialBuild},
}};

// The value the query points to, read no further than the block it lies in.
std::wstring QueryString(const std::vector<std::uint8_t> &aBlock, const std::wstring &aPath) {
  void *value = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(aBlock.data(), aPath.c_str(), &value, &length) || !value)
    return {};
  const auto *text = static_cast<const wchar_t *>(value);
  const auto *blockEnd = reinterpret_cast<const wchar_t *>(aBlock.data() + aBlock.size());
  if (text < reinterpret_cast<const wchar_t *>(aBlock.data()) || text >= blockEnd)
    return {};
  const std::size_t limit = static_cast<std::size_t>(blockEnd - text);
  return std::wstring(text, wcsnlen(text, limit));
}

} // namespace

TEXEVersionData TUniversalAnalyzer::ReadVersionData(const std::wstring &aFileName) {
  TEXEVersionData data;
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(aFileName.c_str(), &handle);
  if (size == 0)
    return data;
  std::vector<std::uint8_t> block(size);
  if (!::GetFileVersionInfoW(aFileName.c_str(), 0, size, block.data()))
    return data;
  void *translations = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation\\", &translations, &length) ||
      !translations || length < 2 * sizeof(WORD))
    return data;
  const auto *first = static_cast<const WORD *>(translations);
  wchar_t translation[16] = {};
  std::swprintf(translation, 16, L"%.4X%.4X", first[0], first[1]);
  for (const TVersionKey &key : VersionKeys)
    data.*key.fField =
        QueryString(block, L"\\StringFileInfo\\" + std::wstring(translation) + key.fName);
  return data;
}

std::wstring TUniversalAnalyzer::GetProgramName(const std::wstring &aFileName) {
  if (aFileName.empty() || !FileExists(aFileName))
    return {};
  const TEXEVersionData data = ReadVersionData(aFileName);
  if (data.ProductName.find(OperatingSystemMarker) != std::wstring::npos)
    return data.FileDescription;
  if (!data.ProductName.empty())
    return data.ProductName;
  return data.InternalName;
}

TAuto<TDescription> TUniversalAnalyzer::Analyze(const TAuto<TClipboardStateContainer> &aState) {
  const std::wstring &source = aState().ActiveApplication().Path;
  std::wstring name = GetProgramName(source);
  if (name.empty())
    return {};
  std::optional<TBitmap> icon = GetFileIcon(source);
  const TAlphaColor color = GetDominantColor(icon, DefaultBackgroundColor);
  std::wstring text = GetTextPreview(aState);
  switch (GetContentType(aState)) {
  case TContentType::ctText:
    return TDescription::CreateTextDescription(std::move(name), std::move(text),
                                               TDescription::CalculateSize(aState), std::move(icon),
                                               color);
  case TContentType::ctImage:
    return TDescription::CreateImageDescription(
        std::move(name), std::move(text), GetPreviewImage(aState),
        TDescription::CalculateSize(aState), std::move(icon), color);
  case TContentType::ctUnknown:
    break;
  }
  return TDescription::CreateUnknownDescription(aState);
}

void RegisterFormatUniversal(TClipboardAnalyzers &aRegistry) {
  aRegistry.SetUniversalAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TUniversalAnalyzer>()));
}
