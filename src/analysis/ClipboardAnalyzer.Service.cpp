#include "analysis/ClipboardAnalyzer.Service.h"

#include "clipboard/ClipboardStateContainer.h"

#include <windows.h>

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

// The user's decimal separator; a full stop when the locale has none.
std::wstring UserDecimalSeparator() {
  wchar_t separator[8] = {};
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) <= 1)
    return L".";
  return separator;
}

// Three decimals, an exact half to the even neighbour (the default rounding
// mode), in extended precision; then at most 15 significant digits.
std::wstring FormatQuotient(long double aQuotient) {
  const long double rounded = std::nearbyint(aQuotient * 1000) * 0.001L;
  char buffer[64];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof(buffer), static_cast<double>(rounded),
                    std::chars_format::general, 15);
  if (error != std::errc())
    throw std::logic_error("Cannot format a size");
  std::wstring text;
  for (const char *c = buffer; c != end; ++c)
    if (*c == '.')
      text += UserDecimalSeparator();
    else
      text += static_cast<wchar_t>(*c);
  return text;
}

TAuto<TDescription> MakeDescription(TDescription aValues) {
  return TAutoPtr::Make(std::make_unique<TDescription>(std::move(aValues)));
}

TAuto<TDescription> FirstAnswer(const std::vector<TClipboardAnalyzer> &aAnalyzers,
                                const TAuto<TClipboardStateContainer> &aState) {
  for (const TClipboardAnalyzer &analyzer : aAnalyzers)
    if (TAuto<TDescription> result = analyzer(aState))
      return result;
  return {};
}

} // namespace

TAuto<TDescription> TDescription::CreateTextDescription(std::wstring aShortDescription,
                                                        std::wstring aLongDescription,
                                                        std::int64_t aSize,
                                                        std::optional<TBitmap> aIcon,
                                                        TAlphaColor aColor) {
  TDescription result;
  result.fShortDescription = std::move(aShortDescription);
  result.fLongDescription = std::move(aLongDescription);
  result.fSize = aSize;
  result.fIcon = std::move(aIcon);
  result.fColor = aColor;
  result.fContentType = TContentType::ctText;
  return MakeDescription(std::move(result));
}

TAuto<TDescription>
TDescription::CreateImageDescription(std::wstring aShortDescription, std::wstring aLongDescription,
                                     std::optional<TBitmap> aImage, std::int64_t aSize,
                                     std::optional<TBitmap> aIcon, TAlphaColor aColor) {
  TDescription result;
  result.fShortDescription = std::move(aShortDescription);
  result.fLongDescription = std::move(aLongDescription);
  result.fImage = std::move(aImage);
  result.fSize = aSize;
  result.fIcon = std::move(aIcon);
  result.fColor = aColor;
  result.fContentType = TContentType::ctImage;
  return MakeDescription(std::move(result));
}

TAuto<TDescription>
TDescription::CreateUnknownDescription(const TAuto<TClipboardStateContainer> &aState) {
  TDescription result;
  result.fShortDescription = L"Unknown format";
  result.fSize = CalculateSize(aState);
  result.fColor = DefaultBackgroundColor;
  return MakeDescription(std::move(result));
}

std::int64_t TDescription::CalculateSize(const TAuto<TClipboardStateContainer> &aState) {
  std::int64_t size = 0;
  for (const TClipboardFormatState &format : aState())
    size += static_cast<std::int64_t>(format.Data().size());
  return size;
}

std::wstring TDescription::FormatSize(std::int64_t aSize) {
  constexpr std::int64_t KB = 1024, MB = KB * 1024, GB = MB * 1024;
  if (aSize < KB)
    return std::to_wstring(aSize) + L" B";
  const long double size = static_cast<long double>(aSize);
  if (aSize < MB)
    return FormatQuotient(size / KB) + L" KB";
  if (aSize < GB)
    return FormatQuotient(size / KB / KB) + L" MB";
  return FormatQuotient(size / KB / KB / KB) + L" GB";
}

void TClipboardAnalyzers::RegisterCustomAnalyzer(TClipboardAnalyzer aAnalyzer) {
  fCustomAnalyzers.push_back(std::move(aAnalyzer));
}

void TClipboardAnalyzers::RegisterDefaultAnalyzer(TClipboardAnalyzer aAnalyzer) {
  fDefaultAnalyzers.push_back(std::move(aAnalyzer));
}

TAuto<TDescription>
TClipboardAnalyzers::DescriptionForState(const TAuto<TClipboardStateContainer> &aState) const {
  if (!aState)
    throw std::invalid_argument("DescriptionForState needs a snapshot");
  if (TAuto<TDescription> result = FirstAnswer(fCustomAnalyzers, aState))
    return result;
  if (fUniversalAnalyzer)
    if (TAuto<TDescription> result = fUniversalAnalyzer(aState))
      return result;
  if (TAuto<TDescription> result = FirstAnswer(fDefaultAnalyzers, aState))
    return result;
  return TDescription::CreateUnknownDescription(aState);
}
