#pragma once

#include "analysis/Format.Base.h"

// Content copied in the Firefox web browser.
class TFirefoxAnalyzer : public TCustomAnalyzer {
public:
  TAnalyzerData GetAnalyzerData() const override;
};

void RegisterFormatFirefox(TClipboardAnalyzers &aRegistry);
