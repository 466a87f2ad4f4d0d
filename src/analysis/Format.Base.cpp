#include "analysis/Format.Base.h"

#include "analysis/Bitmap.Convert.h"
#include "analysis/Shared.Utils.h"
#include "clipboard/ClipboardStateContainer.h"
#include "shared/Com.h"

#include <windows.h>

#include <algorithm>
#include <shellapi.h>

namespace {

const TClipboardFormatState *FirstFormat(const TClipboardStateContainer &aState,
                                         std::initializer_list<unsigned> aFormats) {
  for (const TClipboardFormatState &format : aState)
    if (std::find(aFormats.begin(), aFormats.end(), format.Format()) != aFormats.end())
      return &format;
  return nullptr;
}

// The first format of this number whose data was captured.
const TClipboardFormatState *FirstCaptured(const TClipboardStateContainer &aState,
                                           unsigned aFormat) {
  for (const TClipboardFormatState &format : aState)
    if (format.Format() == aFormat && !format.Data().empty())
      return &format;
  return nullptr;
}

std::span<const std::byte> BytesOf(const TClipboardFormatState &aFormat) {
  return std::as_bytes(std::span(aFormat.Data()));
}

// The file's own first icon at the system's large size, when it has icons.
TIconHandle EmbeddedIcon(const std::wstring &aFileName) {
  HICON large = nullptr;
  const UINT extracted = ::ExtractIconExW(aFileName.c_str(), 0, &large, nullptr, 1);
  TIconHandle icon(large);
  if (extracted == 0 || extracted == UINT_MAX)
    icon.Reset();
  return icon;
}

TIconHandle ShellIcon(const std::wstring &aFileName) {
  TComScope com;
  SHFILEINFOW information{};
  if (!::SHGetFileInfoW(aFileName.c_str(), 0, &information, sizeof(information), SHGFI_ICON))
    return {};
  return TIconHandle(information.hIcon);
}

bool SameNameIgnoringCase(const std::wstring &aLeft, const std::wstring &aRight) {
  if (aLeft.empty() || aRight.empty())
    return aLeft.empty() && aRight.empty();
  return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, aLeft.data(),
                          static_cast<int>(aLeft.size()), aRight.data(),
                          static_cast<int>(aRight.size())) == CSTR_EQUAL;
}

} // namespace

TClipboardAnalyzer TBaseAnalyzer::AsClipboardAnalyzer(std::shared_ptr<TBaseAnalyzer> aAnalyzer) {
  return [aAnalyzer = std::move(aAnalyzer)](const TAuto<TClipboardStateContainer> &aState) {
    return aAnalyzer->Analyze(aState);
  };
}

bool TBaseAnalyzer::HasImage(const TAuto<TClipboardStateContainer> &aState) {
  return aState && FirstFormat(aState(), {ClipboardFormats::Bitmap, ClipboardFormats::EnhMetaFile});
}

bool TBaseAnalyzer::HasText(const TAuto<TClipboardStateContainer> &aState) {
  return aState && FirstFormat(aState(), {ClipboardFormats::Text, ClipboardFormats::UnicodeText});
}

TContentType TBaseAnalyzer::GetContentType(const TAuto<TClipboardStateContainer> &aState) {
  if (!aState)
    return TContentType::ctUnknown;
  const TClipboardFormatState *first =
      FirstFormat(aState(), {ClipboardFormats::Text, ClipboardFormats::UnicodeText,
                             ClipboardFormats::Bitmap, ClipboardFormats::EnhMetaFile});
  if (!first)
    return TContentType::ctUnknown;
  const unsigned format = first->Format();
  return format == ClipboardFormats::Text || format == ClipboardFormats::UnicodeText
             ? TContentType::ctText
             : TContentType::ctImage;
}

std::wstring TBaseAnalyzer::GetTextPreview(const TAuto<TClipboardStateContainer> &aState) {
  if (!aState)
    return {};
  const TClipboardFormatState *text =
      FirstFormat(aState(), {ClipboardFormats::Text, ClipboardFormats::UnicodeText});
  if (!text)
    return {};
  // A page may hold hundreds of megabytes of text; the preview needs only
  // enough of it to tell whether it has to be cut.
  const std::size_t needed = MaxTextPreviewLength + 1;
  return CutTextPreview(text->Format() == ClipboardFormats::Text
                            ? DecodeAnsiText(text->Data(), needed)
                            : DecodeUnicodeText(text->Data(), needed));
}

std::optional<TBitmap>
TBaseAnalyzer::GetPreviewImage(const TAuto<TClipboardStateContainer> &aState) {
  if (!aState)
    return std::nullopt;
  if (const TClipboardFormatState *metafile =
          FirstCaptured(aState(), ClipboardFormats::EnhMetaFile))
    return RenderEnhMetaFile(BytesOf(*metafile));
  if (const TClipboardFormatState *bitmap = FirstCaptured(aState(), ClipboardFormats::Bitmap))
    return DecodeBmp(BytesOf(*bitmap));
  return std::nullopt;
}

// The shell shows an exe's own first icon, or the generic program icon when it
// has none. Wine's shell gives the generic icon for every exe, so the file's
// own icon is taken first (the same icon the shell picks on Windows) and the
// shell is asked only for files without icons of their own.
std::optional<TBitmap> TBaseAnalyzer::GetFileIcon(const std::wstring &aFileName) {
  if (aFileName.empty() || !FileExists(aFileName))
    return std::nullopt;
  TIconHandle icon = EmbeddedIcon(aFileName);
  if (!icon)
    icon = ShellIcon(aFileName);
  if (!icon)
    return std::nullopt;
  return BitmapFromIcon(icon.Get());
}

TAlphaColor TBaseAnalyzer::GetDominantColor(const std::optional<TBitmap> &aBitmap,
                                            TAlphaColor aDefault) {
  return DominantColor(aBitmap, aDefault);
}

TCustomAnalyzer::TAnalyzerData
TCustomAnalyzer::TAnalyzerData::Create(std::wstring aShortDescription, std::wstring aFileName,
                                       std::vector<TPattern> aPatterns,
                                       TAlphaColor aBackgroundColor) {
  return {std::move(aShortDescription), std::move(aFileName), aBackgroundColor,
          std::move(aPatterns)};
}

TCustomAnalyzer::TAnalyzerData
TCustomAnalyzer::TAnalyzerData::Create(std::wstring aShortDescription, std::wstring aFileName,
                                       std::vector<TPattern> aPatterns) {
  return Create(std::move(aShortDescription), std::move(aFileName), std::move(aPatterns),
                ColorFromIcon);
}

TAuto<TDescription> TCustomAnalyzer::Analyze(const TAuto<TClipboardStateContainer> &aState) {
  const TAnalyzerData data = GetAnalyzerData();
  const bool byPattern =
      std::any_of(data.fPatterns.begin(), data.fPatterns.end(),
                  [&](const TPattern &aPattern) { return MatchesPattern(aState, aPattern); });
  const TActiveApplication &source = aState().ActiveApplication();
  const bool byCaption = !data.fShortDescription.empty() &&
                         source.Caption.find(data.fShortDescription) != std::wstring::npos;
  if (!byPattern && !byCaption)
    return {};
  const std::wstring iconFile =
      source.Path.empty() ? std::wstring() : FolderOf(source.Path) + data.fFileName;
  return BuildDescription(aState, data.fShortDescription, iconFile, data.fBackgroundColor);
}

bool TCustomAnalyzer::MatchesPattern(const TAuto<TClipboardStateContainer> &aState,
                                     const TPattern &aNames) const {
  const TClipboardStateContainer &state = aState();
  if (aNames.size() > static_cast<std::size_t>(state.Count()))
    return false;
  for (std::size_t i = 0; i < aNames.size(); ++i)
    if (!SameNameIgnoringCase(state[static_cast<int>(i)].Name(), aNames[i]))
      return false;
  return true;
}

TAuto<TDescription> TCustomAnalyzer::BuildDescription(const TAuto<TClipboardStateContainer> &aState,
                                                      const std::wstring &aShortDescription,
                                                      const std::wstring &aIconFile,
                                                      TAlphaColor aColor) const {
  std::optional<TBitmap> icon = GetFileIcon(aIconFile);
  if (icon && aColor == ColorFromIcon)
    aColor = GetDominantColor(icon, DefaultBackgroundColor);
  std::wstring text = GetTextPreview(aState);
  const bool flag = HasParticularSupport();
  TAuto<TDescription> result;
  switch (GetContentType(aState)) {
  case TContentType::ctUnknown:
    result = TDescription::CreateUnknownDescription(aState);
    break;
  case TContentType::ctText:
    result = TDescription::CreateTextDescription(aShortDescription, std::move(text),
                                                 TDescription::CalculateSize(aState),
                                                 std::move(icon), aColor);
    break;
  case TContentType::ctImage:
    result = TDescription::CreateImageDescription(
        aShortDescription, std::move(text), GetPreviewImage(aState),
        TDescription::CalculateSize(aState), std::move(icon), aColor);
    break;
  }
  result().SetParticularSupport(flag);
  return result;
}
