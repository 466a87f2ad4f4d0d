#pragma once

#include "analysis/ClipboardAnalyzer.Service.h"
#include "analysis/Format.Text.h"
#include "shared/Paths.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Standard clipboard format numbers the analyzers look for.
namespace ClipboardFormats {
constexpr unsigned Text = 1;
constexpr unsigned Bitmap = 2;
constexpr unsigned UnicodeText = 13;
constexpr unsigned EnhMetaFile = 14;
constexpr unsigned HDrop = 15;
} // namespace ClipboardFormats

// The common base of every analyzer: helpers that read a snapshot and a
// program file. Analyzers hold no state between calls.
class TBaseAnalyzer {
public:
  TBaseAnalyzer() = default;
  TBaseAnalyzer(const TBaseAnalyzer &) = delete;
  TBaseAnalyzer &operator=(const TBaseAnalyzer &) = delete;
  virtual ~TBaseAnalyzer() = default;

  // A description, or an empty handle when the snapshot is not recognised.
  virtual TAuto<TDescription> Analyze(const TAuto<TClipboardStateContainer> &aState) = 0;

  // The analyzer as the registry's callable; the callable shares ownership.
  static TClipboardAnalyzer AsClipboardAnalyzer(std::shared_ptr<TBaseAnalyzer> aAnalyzer);

  static bool HasImage(const TAuto<TClipboardStateContainer> &aState);
  static bool HasText(const TAuto<TClipboardStateContainer> &aState);
  static TContentType GetContentType(const TAuto<TClipboardStateContainer> &aState);
  static std::wstring GetTextPreview(const TAuto<TClipboardStateContainer> &aState);
  // The first enhanced metafile drawn at its size, else the first bitmap;
  // formats whose data was not captured are passed over. Throws when the data
  // cannot be decoded.
  static std::optional<TBitmap> GetPreviewImage(const TAuto<TClipboardStateContainer> &aState);
  // The file's large shell icon with its transparency; none for an empty
  // name, a missing file or a shell failure.
  static std::optional<TBitmap> GetFileIcon(const std::wstring &aFileName);
  static TAlphaColor GetDominantColor(const std::optional<TBitmap> &aBitmap, TAlphaColor aDefault);
};

// The base of the application-specific analyzers: a subclass supplies its
// record and the base recognises the snapshot by format names or window
// title and builds the description.
class TCustomAnalyzer : public TBaseAnalyzer {
public:
  // One sequence of format names; an empty name stands for any predefined
  // format at that position.
  using TPattern = std::vector<std::wstring>;

  // The record colour that asks for the program icon's dominant colour
  // instead of a fixed one. It is DefaultBackgroundColor itself, so a fixed
  // colour can never be that blue: analyzers without an icon, and icons
  // without a dominant colour, fall back to it anyway.
  static constexpr TAlphaColor ColorFromIcon = DefaultBackgroundColor;

  struct TAnalyzerData {
    std::wstring fShortDescription;
    std::wstring fFileName;
    TAlphaColor fBackgroundColor = ColorFromIcon;
    std::vector<TPattern> fPatterns;

    static TAnalyzerData Create(std::wstring aShortDescription, std::wstring aFileName,
                                std::vector<TPattern> aPatterns, TAlphaColor aBackgroundColor);
    static TAnalyzerData Create(std::wstring aShortDescription, std::wstring aFileName,
                                std::vector<TPattern> aPatterns);
  };

  TAuto<TDescription> Analyze(const TAuto<TClipboardStateContainer> &aState) override;
  virtual TAnalyzerData GetAnalyzerData() const = 0;
  // True for formats that are only partly supported: their cards show the
  // warning badge.
  virtual bool HasParticularSupport() const { return false; }
  // True when the snapshot's formats begin with these names (case ignored).
  virtual bool MatchesPattern(const TAuto<TClipboardStateContainer> &aState,
                              const TPattern &aNames) const;
  // aColor ColorFromIcon becomes the icon's dominant colour when there is
  // an icon; any other colour is kept.
  virtual TAuto<TDescription> BuildDescription(const TAuto<TClipboardStateContainer> &aState,
                                               const std::wstring &aShortDescription,
                                               const std::wstring &aIconFile,
                                               TAlphaColor aColor) const;
};
