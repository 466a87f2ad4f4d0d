#include "analysis/Format.LibreOffice.h"

// The formats each program of the suite writes, in its order; L"" is a
// predefined format.

TCustomAnalyzer::TAnalyzerData TLibreOfficeWriterAnalyzer::GetAnalyzerData() const {
  return TAnalyzerData::Create(L"LibreOffice Writer", L"swriter.exe",
                               {
                                   {L"DataObject", L"Star Embed Source (XML)", L"Rich Text Format",
                                    L"HTML (HyperText Markup Language)", L"HTML Format", L"", L"",
                                    L"Link", L"Ole Private Data", L"", L""},
                                   {L"DataObject", L"SVXB (StarView Bitmap/Animation)",
                                    L"GDIMetaFile", L"", L"", L"PNG", L"Windows Bitmap"},
                               },
                               0xFF03669E);
}

TCustomAnalyzer::TAnalyzerData TLibreOfficeCalcAnalyzer::GetAnalyzerData() const {
  return TAnalyzerData::Create(
      L"LibreOffice Calc", L"scalc.exe",
      {
          {L"DataObject", L"Star Embed Source (XML)", L"Star Embed Descriptor (XML)",
           L"GDIMetaFile", L"", L"", L"PNG", L"Windows Bitmap", L"HTML (HyperText Markup Language)",
           L"HTML Format", L"", L"Link", L"", L"", L""},
          {L"DataObject", L"Star Embed Source (XML)", L"Star Object Descriptor (XML)",
           L"GDIMetaFile", L"", L"", L"PNG", L"", L"Windows Bitmap",
           L"HTML (HyperText Markup Language)", L"HTML Format", L"", L"Link", L"", L"", L""},
      },
      0xFF18A003);
}

TCustomAnalyzer::TAnalyzerData TLibreOfficeImpressAnalyzer::GetAnalyzerData() const {
  return TAnalyzerData::Create(L"LibreOffice Impress", L"simpress.exe",
                               {
                                   {L"DataObject", L"Star Embed Descriptor (XML)",
                                    L"Star Embed Source (XML)", L"Drawing Format", L"GDIMetaFile",
                                    L"", L"", L"PNG", L"", L"Windows Bitmap", L"Ole Private Data"},
                               },
                               0xFF9E3C03);
}

TCustomAnalyzer::TAnalyzerData TLibreOfficeBaseAnalyzer::GetAnalyzerData() const {
  return TAnalyzerData::Create(
      L"LibreOffice Base", L"sbase.exe",
      {
          {L"DataObject", L"Rich Text Format", L"HTML (HyperText Markup Language)", L"HTML Format",
           L"Data source Table", L"SBA-DATAFORMAT", L"Ole Private Data"},
      },
      0xFF8A039E);
}

TCustomAnalyzer::TAnalyzerData TLibreOfficeDrawAnalyzer::GetAnalyzerData() const {
  return TAnalyzerData::Create(
      L"LibreOffice Draw", L"sdraw.exe",
      {
          {L"DataObject", L"Star Object Descriptor (XML)", L"Star Embed Source (XML)",
           L"Drawing Format", L"GDIMetaFile", L"", L"", L"PNG", L"", L"Windows Bitmap",
           L"Ole Private Data", L"", L""},
      },
      0xFFC59900);
}

TCustomAnalyzer::TAnalyzerData TLibreOfficeCommonAnalyzer::GetAnalyzerData() const {
  return TAnalyzerData::Create(L"LibreOffice", L"soffice.exe",
                               {
                                   {L"DataObject", L"EditEngineFormat", L"", L"",
                                    L"Rich Text Format", L"Ole Private Data", L"", L""},
                               },
                               0xFF626262);
}

void RegisterFormatLibreOffice(TClipboardAnalyzers &aRegistry) {
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TLibreOfficeWriterAnalyzer>()));
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TLibreOfficeCalcAnalyzer>()));
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TLibreOfficeImpressAnalyzer>()));
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TLibreOfficeBaseAnalyzer>()));
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TLibreOfficeDrawAnalyzer>()));
  aRegistry.RegisterCustomAnalyzer(
      TBaseAnalyzer::AsClipboardAnalyzer(std::make_shared<TLibreOfficeCommonAnalyzer>()));
}
