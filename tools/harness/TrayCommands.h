#pragma once

// The command ids of Pagekeep's tray menu, as another process posts them to
// the tray window with WM_COMMAND. The menu numbers its items in the order
// the program adds them: the whole top level, then the ten page items.

namespace Harness {

enum TTrayCommand : unsigned {
  tcPrivateMode = 1,
  tcPreviousHistory = 4,
  tcNextHistory = 5,
  tcPreviousPage = 6,
  tcNextPage = 7,
  tcInfo = 8,
  tcKeepPages = 10,
  tcSettings = 11,
  tcClose = 12
};

inline unsigned PageCommand(int aPage) {
  return 13u + static_cast<unsigned>(aPage);
}

} // namespace Harness
