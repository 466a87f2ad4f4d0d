#include "analysis/Format.Default.h"

#include "clipboard/ClipboardStateContainer.h"

#include <windows.h>

#include <array>
#include <shlobj.h>

namespace {

enum class TRowKind { rkText, rkImage, rkOther };

struct TFormatRow {
  std::array<unsigned, 4> fFormats;
  const wchar_t *fShortDescription;
  TRowKind fKind;
};

// Zero ends a row's list of format numbers; no row names format 0.
constexpr std::array<TFormatRow, 7> FormatRows{{
    {{CF_TEXT, CF_OEMTEXT, CF_UNICODETEXT}, L"Text", TRowKind::rkText},
    {{CF_BITMAP, CF_METAFILEPICT, CF_DIB, CF_ENHMETAFILE}, L"Image", TRowKind::rkImage},
    {{CF_SYLK}, L"Symbolic link", TRowKind::rkOther},
    {{CF_TIFF}, L"TIFF-image", TRowKind::rkOther},
    {{CF_PENDATA}, L"Pen data format", TRowKind::rkOther},
    {{CF_RIFF}, L"RIFF-audio", TRowKind::rkOther},
    {{CF_WAVE}, L"WAVE-audio", TRowKind::rkOther},
}};

constexpr TAlphaColor TextFallbackColor = 0xFF40ADC4;
constexpr TAlphaColor ImageFallbackColor = 0xFF7BB7D6;

const TFormatRow *RowOf(unsigned aFormat) {
  for (const TFormatRow &row : FormatRows)
    for (unsigned format : row.fFormats)
      if (format != 0 && format == aFormat)
        return &row;
  return nullptr;
}

struct TIconAndColor {
  std::optional<TBitmap> fIcon;
  TAlphaColor fColor = DefaultBackgroundColor;
};

// The source program's icon and its colour, else the fallback program's icon
// with the row's fixed colour.
TIconAndColor SelectIconAndColor(const TClipboardStateContainer &aState, TRowKind aKind) {
  if (auto icon = TBaseAnalyzer::GetFileIcon(aState.ActiveApplication().Path)) {
    const TAlphaColor color = TBaseAnalyzer::GetDominantColor(icon, DefaultBackgroundColor);
    return {std::move(icon), color};
  }
  const bool text = aKind == TRowKind::rkText;
  const std::wstring fallback =
      TDefaultAnalyzer::GetWindowsFolder() + (text ? L"notepad.exe" : L"system32\\mspaint.exe");
  if (auto icon = TBaseAnalyzer::GetFileIcon(fallback))
    return {std::move(icon), text ? TextFallbackColor : ImageFallbackColor};
  return {};
}

} // namespace

std::wstring TDefaultAnalyzer::GetWindowsFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_WINDOWS, nullptr, SHGFP_TYPE_CURRENT, path)))
    return {};
  std::wstring folder = path;
  if (!folder.empty() && folder.back() != L'\\')
    folder += L'\\';
  return folder;
}

TAuto<TDescription> TDefaultAnalyzer::Analyze(const TAuto<TClipboardStateContainer> &aState) {
  std::wstring shortDescription, longDescription;
  std::optional<TBitmap> preview;
  TIconAndColor iconAndColor;
  for (const TClipboardFormatState &format : aState()) {
    const TFormatRow *row = RowOf(format.Format());
    if (!row)
      continue;
    shortDescription = row->fShortDescription;
    if (row->fKind == TRowKind::rkText && HasText(aState))
      longDescription = GetTextPreview(aState);
    if (row->fKind == TRowKind::rkImage && HasImage(aState))
      preview = GetPreviewImage(aState);
    if (row->fKind != TRowKind::rkOther)
      iconAndColor = SelectIconAndColor(aState(), row->fKind);
    break;
  }
  const std::int64_t size = TDescription::CalculateSize(aState);
  if (preview)
    return TDescription::CreateImageDescription(shortDescription, longDescription,
                                                std::move(preview), size,
                                                std::move(iconAndColor.fIcon), iconAndColor.fColor);
  return TDescription::CreateTextDescription(shortDescription, longDescription, size,
                                             std::move(iconAndColor.fIcon), iconAndColor.fColor);
}

void RegisterFormatDefault(TClipboardAnalyzers &aRegistry) {
  aRegistry.RegisterDefaultAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TDefaultAnalyzer>()));
}
