#pragma once

#include "analysis/Format.Base.h"

// Content copied in the LibreOffice suite. Every description they make
// carries the alert flag.
class TLibreOfficeAnalyzer : public TCustomAnalyzer {
public:
  bool HasParticularSupport() const override { return true; }
};

class TLibreOfficeWriterAnalyzer : public TLibreOfficeAnalyzer {
public:
  TAnalyzerData GetAnalyzerData() const override;
};

class TLibreOfficeCalcAnalyzer : public TLibreOfficeAnalyzer {
public:
  TAnalyzerData GetAnalyzerData() const override;
};

class TLibreOfficeImpressAnalyzer : public TLibreOfficeAnalyzer {
public:
  TAnalyzerData GetAnalyzerData() const override;
};

class TLibreOfficeBaseAnalyzer : public TLibreOfficeAnalyzer {
public:
  TAnalyzerData GetAnalyzerData() const override;
};

class TLibreOfficeDrawAnalyzer : public TLibreOfficeAnalyzer {
public:
  TAnalyzerData GetAnalyzerData() const override;
};

// Any other window of the suite; asked last, since its name is part of every
// other one.
class TLibreOfficeCommonAnalyzer : public TLibreOfficeAnalyzer {
public:
  TAnalyzerData GetAnalyzerData() const override;
};

// Registers the six, from Writer to Common.
void RegisterFormatLibreOffice(TClipboardAnalyzers &aRegistry);
