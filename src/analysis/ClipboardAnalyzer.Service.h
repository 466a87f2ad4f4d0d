#pragma once

#include "analysis/TBitmap.h"
#include "shared/AutoPtr.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TClipboardStateContainer;

enum class TContentType { ctUnknown = 0, ctText = 1, ctImage = 2 };

// What the notifier shows for one snapshot. Built by the factories only; the
// alert flag is the one field an analyzer may change afterwards.
class TDescription {
public:
  TDescription() = default;

  const std::wstring &ShortDescription() const noexcept { return fShortDescription; }
  const std::wstring &LongDescription() const noexcept { return fLongDescription; }
  const std::optional<TBitmap> &Image() const noexcept { return fImage; }
  const std::optional<TBitmap> &Icon() const noexcept { return fIcon; }
  std::int64_t Size() const noexcept { return fSize; }
  TAlphaColor Color() const noexcept { return fColor; }
  TContentType ContentType() const noexcept { return fContentType; }
  // The warning badge: the content's format is only partly supported, so
  // the card shows the badge.
  bool ParticularSupport() const noexcept { return fParticularSupport; }
  void SetParticularSupport(bool aValue) noexcept { fParticularSupport = aValue; }

  static TAuto<TDescription> CreateTextDescription(std::wstring aShortDescription,
                                                   std::wstring aLongDescription,
                                                   std::int64_t aSize, std::optional<TBitmap> aIcon,
                                                   TAlphaColor aColor);
  static TAuto<TDescription>
  CreateImageDescription(std::wstring aShortDescription, std::wstring aLongDescription,
                         std::optional<TBitmap> aImage, std::int64_t aSize,
                         std::optional<TBitmap> aIcon, TAlphaColor aColor);
  static TAuto<TDescription>
  CreateUnknownDescription(const TAuto<TClipboardStateContainer> &aState);

  // Sum of the captured bytes of every format; 0 without formats.
  static std::int64_t CalculateSize(const TAuto<TClipboardStateContainer> &aState);
  // "1023 B", "1.5 KB", "1 MB"... with the user's decimal separator.
  static std::wstring FormatSize(std::int64_t aSize);

private:
  std::wstring fShortDescription;
  std::wstring fLongDescription;
  std::optional<TBitmap> fImage;
  std::optional<TBitmap> fIcon;
  std::int64_t fSize = 0;
  TAlphaColor fColor = 0;
  TContentType fContentType = TContentType::ctUnknown;
  bool fParticularSupport = false;
};

// An analyzer: a description of the snapshot, or an empty handle when it does
// not recognise it. Analyzer objects are held by shared ownership inside the
// callable, so each goes when its last copy goes.
using TClipboardAnalyzer =
    std::function<TAuto<TDescription>(const TAuto<TClipboardStateContainer> &)>;

// Owns the analyzers and asks them in a fixed order: custom ones, then the
// universal one, then the default ones; "Unknown format" when none answers.
class TClipboardAnalyzers {
public:
  void RegisterCustomAnalyzer(TClipboardAnalyzer aAnalyzer);
  void RegisterDefaultAnalyzer(TClipboardAnalyzer aAnalyzer);
  const TClipboardAnalyzer &UniversalAnalyzer() const noexcept { return fUniversalAnalyzer; }
  void SetUniversalAnalyzer(TClipboardAnalyzer aAnalyzer) {
    fUniversalAnalyzer = std::move(aAnalyzer);
  }

  // Never empty. Errors raised by an analyzer (an undecodable image, say)
  // pass through to the caller.
  TAuto<TDescription> DescriptionForState(const TAuto<TClipboardStateContainer> &aState) const;

private:
  std::vector<TClipboardAnalyzer> fCustomAnalyzers;
  std::vector<TClipboardAnalyzer> fDefaultAnalyzers;
  TClipboardAnalyzer fUniversalAnalyzer;
};

// The process-wide registry. Built on first use, which lets every analyzer
// module register itself in the program's fixed order before anyone asks.
TClipboardAnalyzers &ClipboardAnalyzers();
