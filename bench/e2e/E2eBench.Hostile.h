#pragma once

#include "E2eBench.Support.h"

#include <optional>

namespace Bench {

// Milliseconds from a page hotkey to the first card it brings while the
// source program of the copy being read hangs in a render (the card of the
// copy cut short; the switch follows once the source is gone); aRun picks
// the page and the source.
std::optional<double> HotkeyDuringHungRender(TProgram &aProgram, unsigned aRun);
// Milliseconds the clipboard stays held after the capture of a copy from a
// program that never renders starts.
std::optional<double> ClipboardHeldAfterNeverRenders(TProgram &aProgram, unsigned aRun);

} // namespace Bench
