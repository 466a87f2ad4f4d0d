#pragma once

// Pasting into the window that was in front: the checks before Ctrl+V and
// the keys themselves.

#include <windows.h>

namespace Paste {

// Any of Shift, Ctrl, Alt or Win held down now: a Ctrl+V sent then would
// arrive as another combination (Alt+Ctrl+V, or a bare "v" once Ctrl is
// released by the user in the middle).
bool AnyModifierDown();

// Whether aWindow's process runs with higher rights than this one: the
// system then drops the keys this process sends it.
bool RunsWithHigherRights(HWND aWindow);

// Ctrl down, V down, V up, Ctrl up, in one SendInput so that no key of the
// user's falls between them; false when the system did not take all four.
bool SendPasteKeys();

} // namespace Paste
