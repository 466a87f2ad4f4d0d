#pragma once

#include "analysis/Format.Base.h"

#include <string>

// The version strings of a program file; a field is empty when the version
// information does not hold it.
struct TEXEVersionData {
  std::wstring CompanyName;
  std::wstring FileDescription;
  std::wstring FileVersion;
  std::wstring InternalName;
  std::wstring LegalCopyright;
  std::wstring LegalTrademarks;
  std::wstring OriginalFileName;
  std::wstring ProductName;
  std::wstring ProductVersion;
  std::wstring Comments;
  std::wstring PrivateBuild;
  std::wstring SpecialBuild;
};

// Names a snapshot after its source program's version information, with the
// program's icon and colour. Declines when the program has no name.
class TUniversalAnalyzer : public TBaseAnalyzer {
public:
  TAuto<TDescription> Analyze(const TAuto<TClipboardStateContainer> &aState) override;

  static TEXEVersionData ReadVersionData(const std::wstring &aFileName);
  // Windows' own programs by their file description, others by product
  // name, else by internal name; empty when none is known.
  static std::wstring GetProgramName(const std::wstring &aFileName);
};

void RegisterFormatUniversal(TClipboardAnalyzers &aRegistry);
