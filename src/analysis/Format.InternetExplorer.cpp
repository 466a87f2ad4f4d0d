#include "analysis/Format.InternetExplorer.h"

// The formats Internet Explorer writes, in its order; L"" is a predefined
// format.
TCustomAnalyzer::TAnalyzerData TInternetExplorerAnalyzer::GetAnalyzerData() const {
  return TAnalyzerData::Create(
      L"Web Browser Internet Explorer", L"iexplore.exe",
      {
          {L"DataObject", L"FileContents", L"FileGroupDescriptorW", L"FileGroupDescriptor",
           L"UniformResourceLocatorW", L"", L"UniformResourceLocator", L"", L"Ole Private Data",
           L"", L""},
          {L"DataObject", L"", L"", L"HTML Format", L"Rich Text Format", L"msSourceUrl",
           L"Ole Private Data", L"", L""},
          {L"DataObject", L"UntrustedDragDrop", L"msSourceUrl", L"UniformResourceLocatorW", L"",
           L"HTML Format", L"", L"", L"Ole Private Data", L"", L"", L"", L""},
      },
      0xFF61D5F8);
}

void RegisterFormatInternetExplorer(TClipboardAnalyzers &aRegistry) {
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TInternetExplorerAnalyzer>()));
}
