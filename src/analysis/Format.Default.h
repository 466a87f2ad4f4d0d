#pragma once

#include "analysis/Format.Base.h"

// Names a snapshot by its standard formats (text, image and a few rarer
// kinds). Asked last; answers every snapshot.
class TDefaultAnalyzer : public TBaseAnalyzer {
public:
  TAuto<TDescription> Analyze(const TAuto<TClipboardStateContainer> &aState) override;

  // The Windows directory with a trailing backslash; empty on failure.
  static std::wstring GetWindowsFolder();
};

void RegisterFormatDefault(TClipboardAnalyzers &aRegistry);
