#pragma once

#include "analysis/Format.Base.h"

// Content copied in the Internet Explorer web browser.
class TInternetExplorerAnalyzer : public TCustomAnalyzer {
public:
  TAnalyzerData GetAnalyzerData() const override;
};

void RegisterFormatInternetExplorer(TClipboardAnalyzers &aRegistry);
