// TClipboardAnalyzers, registration: the process-wide registry, analyzers in fixed order.
#include "analysis/ClipboardAnalyzer.Service.h"

#include "analysis/Format.Default.h"
#include "analysis/Format.Firefox.h"
#include "analysis/Format.InternetExplorer.h"
#include "analysis/Format.LibreOffice.h"
#include "analysis/Format.Universal.h"
#include "analysis/Format.hDrop.h"

#include <array>

namespace {

using TModuleRegistration = void (*)(TClipboardAnalyzers &);

// Each analyzer module registers its own analyzers with the kind of
// registration it needs; this table only fixes their order. It lives here and
// not in static objects of the modules because a static library's object
// that nothing references is dropped by the linker, and its registration
// with it.
constexpr std::array<TModuleRegistration, 6> ModulesInOrder{
    RegisterFormatDefault,          RegisterFormatFirefox,     RegisterFormatHDrop,
    RegisterFormatInternetExplorer, RegisterFormatLibreOffice, RegisterFormatUniversal,
};

TClipboardAnalyzers BuildRegistry() {
  TClipboardAnalyzers registry;
  for (const TModuleRegistration registerModule : ModulesInOrder)
    registerModule(registry);
  return registry;
}

} // namespace

TClipboardAnalyzers &ClipboardAnalyzers() {
  static TClipboardAnalyzers registry = BuildRegistry();
  return registry;
}
