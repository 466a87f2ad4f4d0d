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

std::wstring FolderOf(const std::wstring &aPath) {
  const std::size_t separator = aPath.find_last_of(L"\\:");
  return separator == std::wstring::npos ? std::wstring() : aPath.substr(0, separator + 1);
}

} // namespace

bool FileExists(const std::wstring &aFileName) {
  TFileHandle file(::CreateFileW(aFileName.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  return file && ::GetFileInformationByHandle(file.Get(), &information) &&
         !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A character of an ANSI code page takes at most this many bytes (UTF-8 can
// be the ANSI code page).
constexpr std::size_t MaxBytesPerAnsiChar = 4;

std::wstring DecodeAnsiText(std::span<const std::uint8_t> aData, std::size_t aMaxLength) {
  // One character more than asked for: a character cut by the byte limit is
  // always beyond the ones returned.
  if (aMaxLength < aData.size() / MaxBytesPerAnsiChar)
    aData = aData.first((aMaxLength + 1) * MaxBytesPerAnsiChar);
  const auto end = std::find(aData.begin(), aData.end(), std::uint8_t{0});
  const int length = static_cast<int>(end - aData.begin());
  if (length == 0)
    return {};
  const char *bytes = reinterpret_cast<const char *>(aData.data());
  std::wstring text(
      static_cast<std::size_t>(::MultiByteToWideChar(CP_ACP, 0, bytes, length, nullptr, 0)), L'\0');
  if (!text.empty())
    ::MultiByteToWideChar(CP_ACP, 0, bytes, length, text.data(), static_cast<int>(text.size()));
  if (text.size() > aMaxLength)
    text.resize(aMaxLength);
  return text;
}

std::wstring DecodeUnicodeText(std::span<const std::uint8_t> aData, std::size_t aMaxLength) {
  const std::size_t units = std::min(aData.size() / 2, aMaxLength);
  std::wstring text;
  text.reserve(std::min<std::size_t>(units, 4096));
  for (std::size_t i = 0; i < units; ++i) {
    const auto unit = static_cast<wchar_t>(aData[2 * i] | (aData[2 * i + 1] << 8));
    if (unit == L'\0')
      break;
    text += unit;
  }
  return text;
}

std::wstring CutTextPreview(std::wstring aText) {
  if (aText.size() <= MaxTextPreviewLength)
    return aText;
  aText.resize(MaxTextPreviewLength - TextEllipsis.size());
  const std::size_t lastBreak = aText.find_last_of(TextBreakChars);
  if (lastBreak != std::wstring::npos)
    aText.resize(lastBreak);
  return aText.append(TextEllipsis);
}

TClipboardAnalyzer TBaseAnalyzer::AsClipboardAnalyzer(std::shared_ptr<TBaseAnalyzer> aAnalyzer) {
  return [aAnalyzer](const TAuto<TClipboardStateContainer> &aState) {
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
                DefaultBackgroundColor);
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
  if (icon && aColor == DefaultBackgroundColor)
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
