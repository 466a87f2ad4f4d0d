#pragma once

#include "analysis/Format.Base.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Describes a list of files copied in a program (CF_HDROP): the number of
// items, their sorted names and the program's icon.
class ThDropAnalyzer : public TBaseAnalyzer {
public:
  struct TFileOperationInfo {
    std::vector<std::wstring> fItems;
    std::size_t Count() const noexcept { return fItems.size(); }
  };

  static constexpr std::size_t MaxFileListLength = 140;

  TAuto<TDescription> Analyze(const TAuto<TClipboardStateContainer> &aState) override;

  // The paths of a captured DROPFILES block. The block comes from another
  // program, so every read stays inside it: an offset outside the block, a
  // missing terminator or an odd length yield what the bytes hold.
  static TFileOperationInfo ReadFileOperation(std::span<const std::uint8_t> aData);
  static std::wstring FormatFileList(const std::vector<std::wstring> &aItems);
  static std::vector<std::wstring> ExtractFileNames(const std::vector<std::wstring> &aPaths);
};

void RegisterFormatHDrop(TClipboardAnalyzers &aRegistry);
