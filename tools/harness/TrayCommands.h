#pragma once

// The command ids of Pagekeep's tray menu, as another process posts them to
// the tray window with WM_COMMAND. The menu numbers its items in the order
// the program adds them: the top level down to "Current page information",
// then the ten page items, then the rest of the top level.

namespace Harness {

enum TTrayCommand : unsigned {
  tcPrivateMode = 1,
  tcPreviousHistory = 4,
  tcNextHistory = 5,
  tcPreviousPage = 6,
  tcNextPage = 7,
  tcInfo = 8,
  tcKeepPages = 20,
  tcClose = 21
};

inline unsigned PageCommand(int aPage) {
  return 9u + static_cast<unsigned>(aPage);
}

} // namespace Harness
