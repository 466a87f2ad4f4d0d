#include "analysis/Format.Firefox.h"

// The formats Firefox writes, in its order; L"" is a predefined format.
TCustomAnalyzer::TAnalyzerData TFirefoxAnalyzer::GetAnalyzerData() const {
  return TAnalyzerData::Create(
      L"Web Browser Firefox", L"firefox.exe",
      {
          {L"DataObject", L"text/html", L"HTML Format", L"text/_moz_htmlcontext",
           L"text/_moz_htmlinfo", L"", L"", L"text/x-moz-url-priv", L"Ole Private Data", L"", L""},
          {L"DataObject", L"text/html", L"HTML Format", L"text/_moz_htmlinfo",
           L"text/_moz_htmlcontext", L"application/x-moz-nativeimage", L"", L"",
           L"Ole Private Data", L""},
          {L"DataObject", L"text/html", L"HTML Format", L"text/_moz_htmlinfo", L"", L"", L"", L"",
           L"", L"Ole Private Data", L""},
      },
      0xFFD34B25);
}

void RegisterFormatFirefox(TClipboardAnalyzers &aRegistry) {
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TFirefoxAnalyzer>()));
}
